#!/usr/bin/env python3
"""The Windows download: VordaDictionary-<version>-win32.zip holds Dictionary.exe, byte for byte the
one the tests checked, a README.txt that says what the program does, that it writes the machine-wide
Run value and how to remove that, and the licence; both texts with Windows line ends.
    check_win32_zip.py ZIP_DIR TESTED_EXE    (VORDA_SOURCE_DIR and VORDA_VERSION in the environment)"""

import os
import pathlib
import sys
import zipfile

failures = []


def fail(message):
    print(f"FAIL: {message}", file=sys.stderr)
    failures.append(message)


zip_dir, tested_exe = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
source = pathlib.Path(os.environ["VORDA_SOURCE_DIR"])
version = os.environ["VORDA_VERSION"]

expected_name = f"VordaDictionary-{version}-win32.zip"
zips = sorted(zip_dir.glob("*.zip"))
if [z.name for z in zips] != [expected_name]:
    sys.exit(f"FAIL: the zips are {[z.name for z in zips]}, not [{expected_name!r}]")
with zipfile.ZipFile(zips[0]) as archive:
    if archive.testzip() is not None:
        fail("the zip is damaged")
    names = sorted(archive.namelist())
    if names != ["Dictionary.exe", "LICENSE.txt", "README.txt"]:
        fail(f"the zip holds {names}")
    content = {name: archive.read(name) for name in names}

if content.get("Dictionary.exe") != tested_exe.read_bytes():
    fail(f"the zip's Dictionary.exe is not {tested_exe}, byte for byte")

licence = (source / "LICENSE").read_bytes().replace(b"\n", b"\r\n")
if content.get("LICENSE.txt") != licence:
    fail("LICENSE.txt is not the project's LICENSE with Windows line ends")

readme = content.get("README.txt", b"")
if b"\n" in readme.replace(b"\r\n", b""):
    fail("README.txt has lines that do not end in CR LF")
readme_text = " ".join(readme.decode("ascii", "replace").split())
for phrase in (f"Vorda Dictionary {version}", "look the copied text up", "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run",
               "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run",
               "VordaDictionary", "Removing it", "answer No", "reg delete", "LICENSE.txt"):
    if phrase not in readme_text:
        fail(f"README.txt does not say {phrase!r}")

if failures:
    sys.exit(1)
print(f"PASS: {expected_name}: the tested Dictionary.exe, README.txt and LICENSE.txt")
