#!/usr/bin/env python3
"""Finds the program's tray icon in a screenshot and checks it pixel for pixel against its pictures.

    icon_pixels.py SCREENSHOT PICTURES-PREFIX CROP

PICTURES-PREFIX-SIZE.png are the pictures the program draws at each size (its icon tool writes
them). The icon is found by the pure yellow, red and blue of its 16 colours, which the desktops' own
panels do not use; the box of those pixels must be a picture's box in whole multiples (a host's own
exact scaling), and then every opaque pixel of that picture, so scaled, must be on the screen
unchanged; where the picture is transparent the host may draw anything. Prints "SIZE K X Y" for
each picture that matches, SIZE its size, K the host's scale and X,Y where its corner is on the
screen, and writes a square about the drawn icon to CROP; exits 1 when none matches, saying
why.
"""

import glob
import re
import subprocess
import sys

SIGNATURE = {(255, 255, 0), (255, 0, 0), (0, 0, 255)}


def load(path):
    size = subprocess.run(["convert", path, "-format", "%w %h", "info:"], check=True, capture_output=True,
                          text=True).stdout.split()
    width, height = int(size[0]), int(size[1])
    data = subprocess.run(["convert", path, "-depth", "8", "rgba:-"], check=True, capture_output=True).stdout
    return width, height, data


def signature_box(width, height, data):
    xs, ys = [], []
    for y in range(height):
        row = data[y * width * 4:(y + 1) * width * 4]
        for x in range(width):
            pixel = row[x * 4:x * 4 + 4]
            if pixel[3] == 255 and (pixel[0], pixel[1], pixel[2]) in SIGNATURE:
                xs.append(x)
                ys.append(y)
    if not xs:
        return None
    return min(xs), min(ys), max(xs) - min(xs) + 1, max(ys) - min(ys) + 1


def mismatches(shot, picture, k, left, top):
    sw, sh, sdata = shot
    pw, ph, pdata = picture
    wrong = 0
    for y in range(ph):
        for x in range(pw):
            p = pdata[(y * pw + x) * 4:(y * pw + x) * 4 + 4]
            if p[3] == 0:
                continue
            for dy in range(k):
                for dx in range(k):
                    sx, sy = left + x * k + dx, top + y * k + dy
                    if not (0 <= sx < sw and 0 <= sy < sh):
                        wrong += 1
                        continue
                    s = sdata[(sy * sw + sx) * 4:(sy * sw + sx) * 4 + 3]
                    if s != p[:3]:
                        wrong += 1
    return wrong


def main():
    shot_path, prefix, crop = sys.argv[1:4]
    shot = load(shot_path)
    box = signature_box(*shot)
    if box is None:
        print("no pixel of the icon's pure colours on the screen")
        return 1
    bx, by, bw, bh = box
    # A square about the box, wide enough for a smoothed icon's paler edges.
    side = max(bw, bh) + 12
    left, top = bx + bw // 2 - side // 2, by + bh // 2 - side // 2
    subprocess.run(["convert", shot_path, "-crop", f"{side}x{side}+{left}+{top}", "+repage", crop], check=True)
    found, tried = [], []
    pictures = sorted(glob.glob(glob.escape(prefix) + "-*.png"),
                      key=lambda path: int(re.search(r"-(\d+)\.png$", path).group(1)))
    for path in pictures:
        size = int(re.search(r"-(\d+)\.png$", path).group(1))
        picture = load(path)
        px, py, pw, ph = signature_box(*picture)
        if bw % pw or bh % ph or bw // pw != bh // ph:
            continue
        k = bw // pw
        left, top = bx - px * k, by - py * k
        wrong = mismatches(shot, picture, k, left, top)
        tried.append(f"{size} px x{k}: {wrong} pixels differ")
        if wrong == 0:
            found.append(f"{size} {k} {left} {top}")
    if not found:
        print(f"the icon's colours lie in {bw}x{bh}+{bx}+{by}, which no picture matches ("
              + ("; ".join(tried) if tried else "no picture's box is that size in whole multiples") + ")")
        return 1
    print("\n".join(found))
    return 0


if __name__ == "__main__":
    sys.exit(main())
