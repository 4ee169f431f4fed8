#!/usr/bin/env python3
"""The Windows setup: VordaDictionary-<version>-setup.exe is a 32-bit program that asks for no
administrator rights, shows the program's own icon, and installs the Dictionary.exe the tests checked,
byte for byte, with the zip's README.txt and LICENSE.txt.
    check_win32_setup.py SETUP_EXE TESTED_EXE TEXTS_DIR    (VORDA_SOURCE_DIR and VORDA_VERSION in the environment)"""

import os
import pathlib
import re
import shutil
import struct
import subprocess
import sys
import tempfile

failures = []


def fail(message):
    print(f"FAIL: {message}", file=sys.stderr)
    failures.append(message)


setup, tested_exe, texts = (pathlib.Path(argument) for argument in sys.argv[1:4])
source = pathlib.Path(os.environ["VORDA_SOURCE_DIR"])
version = os.environ["VORDA_VERSION"]

if setup.name != f"VordaDictionary-{version}-setup.exe":
    fail(f"the setup is named {setup.name}")
image = setup.read_bytes()
pe = struct.unpack_from("<I", image, 0x3C)[0]
if image[pe:pe + 4] != b"PE\0\0" or struct.unpack_from("<H", image, pe + 4)[0] != 0x14C:
    fail("the setup is not a 32-bit Windows program")


def resources(kind):
    listing = subprocess.run(["wrestool", "-l", f"--type={kind}", str(setup)], capture_output=True, text=True, check=True).stdout
    return [subprocess.run(["wrestool", "-x", "--raw", f"--type={kind}", f"--name={name}", str(setup)],
                           capture_output=True, check=True).stdout
            for name in re.findall(r"--name=(\d+)", listing)]


manifest = b"".join(resources(24)).decode("utf-8", "replace")
if 'requestedExecutionLevel level="asInvoker"' not in manifest:
    fail("the setup's manifest does not ask to run with the user's own rights (asInvoker)")

# Each image of the program's text icon, as its .ico file holds it, is one of the setup's icons.
ico = (source / "src/app/resources/text.ico").read_bytes()
count = struct.unpack_from("<H", ico, 4)[0]
wanted = [ico[offset:offset + size] for size, offset in
          (struct.unpack_from("<II", ico, 6 + 16 * i + 8) for i in range(count))]
icons = resources(3)
if sorted(icons) != sorted(wanted):
    fail(f"the setup's icons ({[len(icon) for icon in icons]} bytes) are not text.ico's images ({[len(w) for w in wanted]} bytes)")

with tempfile.TemporaryDirectory() as folder:
    # Debian 12's 7zip names its program 7zz, Debian 13's 7z.
    seven_zip = shutil.which("7zz") or shutil.which("7z")
    if not seven_zip:
        sys.exit("FAIL: 7-Zip is not installed; scripts/install-deps.sh --test installs it from 7zip")
    listing = subprocess.run([seven_zip, "x", "-y", f"-o{folder}", str(setup)], capture_output=True, text=True)
    if listing.returncode != 0:
        sys.exit(f"FAIL: 7-Zip could not unpack the setup: {listing.stdout}{listing.stderr}")
    unpacked = pathlib.Path(folder)
    files = sorted(path.name for path in unpacked.iterdir() if path.is_file())
    # Written next to their old selves first, then put in place: each file's name ends in .new.
    expected = ["Dictionary.exe.new", "LICENSE.txt.new", "README.txt.new", "Uninstall.exe.new"]
    # The uninstaller is written by a command of the setup's script, not stored as a file: where
    # 7-Zip says it could not read a command (7-Zip 25 with makensis 3.11's scripts, Debian 13), it
    # lists no uninstaller, and the install tests under Wine are left to check it.
    header = subprocess.run([seven_zip, "l", str(setup)], capture_output=True, text=True).stdout
    if "BadCmd=" in header and "Uninstall.exe.new" not in files:
        expected.remove("Uninstall.exe.new")
    if files != expected:
        fail(f"the setup installs {files}, not {expected}")
    for name, original in (("Dictionary.exe", tested_exe), ("README.txt", texts / "README.txt"), ("LICENSE.txt", texts / "LICENSE.txt")):
        if (unpacked / f"{name}.new").is_file() and (unpacked / f"{name}.new").read_bytes() != original.read_bytes():
            fail(f"the setup's {name} is not {original}, byte for byte")

if failures:
    sys.exit(1)
print(f"PASS: {setup.name}: 32-bit, asInvoker, the program's icon, the tested Dictionary.exe and the zip's texts")
