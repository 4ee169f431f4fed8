#!/usr/bin/env python3
"""One version everywhere: the project's (VORDA_VERSION, from the top CMakeLists) is the .deb's name
and Version, the changelog's first entry, the metainfo's newest release, the manual page's footer,
the zip's name and its README.txt; Dictionary.exe's version block keeps its own fixed forms, which
must agree with it: 1.0.0 is the numbers 1,0,0,0 and the texts "1.00".
The setup's name and version block carry the version as it is, its fixed numbers 1,0,0,0.
    check_versions.py [--deb DEB_DIR] [--zip ZIP_DIR] [--exe DICTIONARY_EXE] [--setup SETUP_EXE]"""

import argparse
import gzip
import os
import pathlib
import re
import subprocess
import sys
import xml.etree.ElementTree as ET
import zipfile

parser = argparse.ArgumentParser()
parser.add_argument("--deb", type=pathlib.Path)
parser.add_argument("--zip", type=pathlib.Path)
parser.add_argument("--exe", type=pathlib.Path)
parser.add_argument("--setup", type=pathlib.Path)
args = parser.parse_args()
source = pathlib.Path(os.environ["VORDA_SOURCE_DIR"])
version = os.environ["VORDA_VERSION"]
major, minor, patch = (int(part) for part in version.split("."))
windows_numbers = f"{major},{minor},{patch},0"
windows_text = f"{major}.{minor:02d}"

places = []  # (where, what it says, what it should say)


def first(pattern, text, where):
    found = re.search(pattern, text, re.MULTILINE)
    return found.group(1) if found else f"(nothing in {where})"


def windows_block(rc_text):
    return {
        "numbers": [first(rf"^{key}\s+([\d,\s]+?)\s*$", rc_text, key).replace(" ", "") for key in ("FILEVERSION", "PRODUCTVERSION")],
        "texts": [first(rf'VALUE "{key}", "([^"]*)"', rc_text, key) for key in ("FileVersion", "ProductVersion")],
    }


rc = windows_block((source / "src/app/resources/Dictionary.rc").read_text())
for number in rc["numbers"]:
    places.append(("Dictionary.rc, FILEVERSION and PRODUCTVERSION", number, windows_numbers))
for text in rc["texts"]:
    places.append(("Dictionary.rc, FileVersion and ProductVersion", text, windows_text))

def version_block(exe):
    """The fixed file and product versions as "a,b,c,d", and the String entries by key."""
    block = subprocess.run(["wrestool", "-x", "--raw", "--type=16", "--name=1", str(exe)],
                           capture_output=True, check=True).stdout
    start = block.find(b"\xbd\x04\xef\xfe")  # VS_FIXEDFILEINFO's signature
    fields = [int.from_bytes(block[start + 8 + 4 * i:start + 12 + 4 * i], "little") for i in range(4)]
    numbers = [f"{most >> 16},{most & 0xFFFF},{least >> 16},{least & 0xFFFF}" for most, least in (fields[0:2], fields[2:4])]
    # Each String entry: its key, a terminating zero padded to 32 bits, then its value up to a zero.
    strings = block.decode("utf-16-le", "replace")
    return numbers, {key: first(rf"{key}\x00+([^\x00]*)", strings, "the version block") for key in ("FileVersion", "ProductVersion")}


for exe, texts in ((args.exe, windows_text), (args.setup, version)):
    if exe:
        numbers, strings = version_block(exe)
        for said in numbers:
            places.append((f"{exe.name}, fixed file and product version", said, windows_numbers))
        for key, said in strings.items():
            places.append((f"{exe.name}, {key}", said, texts))
if args.setup:
    places.append(("setup file name", args.setup.name, f"VordaDictionary-{version}-setup.exe"))

if args.deb:
    debs = sorted(args.deb.glob("*.deb"))
    places.append((".deb file name", debs[0].name if len(debs) == 1 else str(debs), f"vorda-dictionary_{version}_amd64.deb"))
    control = (args.deb / "control/control").read_text()
    places.append((".deb Version", first(r"^Version: (.+)$", control, "control"), version))
    root = args.deb / "root"
    changelog = gzip.decompress((root / "usr/share/doc/vorda-dictionary/changelog.gz").read_bytes()).decode()
    places.append(("changelog, first entry", first(r"^vorda-dictionary \(([^)]+)\)", changelog, "changelog"), version))
    for metainfo in root.glob("usr/share/metainfo/*.metainfo.xml"):
        release = ET.parse(metainfo).getroot().find("releases/release")
        places.append(("metainfo, newest release", "(none)" if release is None else release.get("version"), version))
    page = gzip.decompress((root / "usr/share/man/man1/vorda-dictionary.1.gz").read_bytes()).decode()
    places.append(("manual page, .TH", first(r'^\.TH .*"vorda-dictionary ([^"]+)"', page, ".TH"), version))

if args.zip:
    zips = sorted(args.zip.glob("*.zip"))
    places.append(("zip file name", zips[0].name if len(zips) == 1 else str(zips), f"VordaDictionary-{version}-win32.zip"))
    if len(zips) == 1:
        with zipfile.ZipFile(zips[0]) as archive:
            readme = archive.read("README.txt").decode("ascii", "replace")
        places.append(("zip, README.txt", first(r"^Vorda Dictionary (\S+) for Windows", readme, "README.txt"), version))

wrong = [place for place in places if place[1] != place[2]]
for where, said, expected in places:
    print(f"{'ok  ' if said == expected else 'FAIL'} {where}: {said}" + ("" if said == expected else f" (not {expected})"))
if wrong:
    sys.exit(1)
print(f"PASS: version {version} in all {len(places)} places")
