#!/usr/bin/env python3
"""The package's AppStream metainfo: valid under appstreamcli validate --pedantic with nothing to
report, its id the launcher's file name, its screenshot the picture in docs/screenshots, and its
release the version and date of the changelog's first entry.
Reads VORDA_DEB_DIR, VORDA_SOURCE_DIR, VORDA_VERSION and VORDA_RELEASE_DATE from the environment."""

import email.utils
import gzip
import os
import pathlib
import re
import subprocess
import sys
import xml.etree.ElementTree as ET

failures = []


def fail(message):
    print(f"FAIL: {message}", file=sys.stderr)
    failures.append(message)


root = pathlib.Path(os.environ["VORDA_DEB_DIR"]) / "root"
source = pathlib.Path(os.environ["VORDA_SOURCE_DIR"])
version = os.environ["VORDA_VERSION"]
release_date = os.environ["VORDA_RELEASE_DATE"]

files = sorted((root / "usr/share/metainfo").glob("*.metainfo.xml"))
if len(files) != 1:
    sys.exit(f"FAIL: not one metainfo file: {files}")
metainfo = files[0]
app_id = metainfo.name.removesuffix(".metainfo.xml")

# --no-net: this machine may not reach the web; every note, pedantic ones included, counts.
validation = subprocess.run(
    ["appstreamcli", "validate", "--pedantic", "--no-net", "--explain", str(metainfo)],
    capture_output=True, text=True, check=False)
print(validation.stdout, end="")
notes = re.findall(r"^[EWIP]: .*$", validation.stdout, re.MULTILINE)
# The developer block came with AppStream 1.0 (Debian 13), which calls the older developer_name
# deprecated; a validator before 1.0 (Debian 12) does not know the block yet, and says only that.
version_answer = subprocess.run(["appstreamcli", "--version"], capture_output=True, text=True, check=False).stdout
validator = re.search(r"(\d+)\.(\d+)", version_answer)
if validator and int(validator.group(1)) < 1:
    notes = [note for note in notes if not re.fullmatch(r"I: [\w.]+:\d+: unknown-tag developer", note)]
if validation.returncode != 0 or notes:
    fail("appstreamcli validate --pedantic reports something")

component = ET.parse(metainfo).getroot()


def text_of(path):
    element = component.find(path)
    return "" if element is None or element.text is None else element.text.strip()


if text_of("id") != app_id:
    fail(f"the id {text_of('id')!r} is not the file's name {app_id!r}")
if not re.fullmatch(r"[a-z0-9]+(\.[a-z0-9_-]+){2,}", app_id):
    fail(f"{app_id} is not a reverse-DNS id")
launchable = text_of("launchable[@type='desktop-id']")
if launchable != f"{app_id}.desktop" or not (root / "usr/share/applications" / launchable).is_file():
    fail(f"the launchable {launchable!r} is not the package's launcher {app_id}.desktop")
for path, expected in (("project_license", "MIT"), ("name", "Vorda Dictionary")):
    if text_of(path) != expected:
        fail(f"{path} is {text_of(path)!r}, not {expected!r}")
for path in ("summary", "description/p", "categories/category"):
    if not text_of(path):
        fail(f"no {path}")
icon = text_of("icon[@type='stock']")
if not (root / f"usr/share/icons/hicolor/256x256/apps/{icon}.png").is_file():
    fail(f"the stock icon {icon!r} is not in the package")

# The screenshot: the tests' picture of the tray with the popup open, as published.
image = text_of("screenshots/screenshot[@type='default']/image")
picture = source / "docs/screenshots" / image.rsplit("/", 1)[-1]
if not image.startswith("https://") or not picture.is_file() or picture.read_bytes()[:8] != b"\x89PNG\r\n\x1a\n":
    fail(f"the screenshot {image!r} is not a PNG of docs/screenshots")
if not text_of("screenshots/screenshot/caption"):
    fail("the screenshot has no caption")

# The newest release and the changelog's first entry: one version, one date.
releases = component.findall("releases/release")
if not releases:
    fail("no release")
else:
    newest = releases[0]
    if (newest.get("version"), newest.get("date")) != (version, release_date):
        fail(f"the newest release is {newest.get('version')} of {newest.get('date')}, not {version} of {release_date}")
changelog = gzip.decompress((root / "usr/share/doc/vorda-dictionary/changelog.gz").read_bytes()).decode()
heading = re.match(r"vorda-dictionary \(([^)]+)\)", changelog)
trailer = re.search(r"^ -- .+?  (.+)$", changelog, re.MULTILINE)
if heading is None or heading.group(1) != version:
    fail(f"the changelog's first entry is not version {version}")
if trailer is None or email.utils.parsedate_to_datetime(trailer.group(1)).date().isoformat() != release_date:
    fail(f"the changelog's first entry is not dated {release_date}")

if failures:
    sys.exit(1)
print(f"PASS: {metainfo.name} is valid and matches the launcher, the screenshot and the changelog")
