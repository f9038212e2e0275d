#!/usr/bin/python3
"""Where a picture's top-left block is on a screenshot, pixel for pixel.

  screen-match.py SCREEN.png EXPECTED.png [--at X,Y] [--size WxH]

Looks for the top-left W x H pixels of EXPECTED (default 400 x 300) in SCREEN, exactly, and prints
where they lie as "X,Y". With --at, looks only there. Exits 1, saying how close it came, when the
block is nowhere (or not at X,Y).
"""
import argparse
import sys

from PIL import Image


def rows_of(image, width, height):
    data = image.convert("RGB").tobytes()
    stride = image.width * 3
    return [data[y * stride:(y * stride) + width * 3] for y in range(height)], data, stride


def matches_at(screen, stride, block, x, y):
    for row, expected in enumerate(block):
        start = (y + row) * stride + x * 3
        if screen[start:start + len(expected)] != expected:
            return row
    return len(block)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("screen")
    parser.add_argument("expected")
    parser.add_argument("--at")
    parser.add_argument("--size", default="400x300")
    arguments = parser.parse_args()
    screen_image = Image.open(arguments.screen)
    expected_image = Image.open(arguments.expected)
    width, height = (int(side) for side in arguments.size.split("x"))
    width = min(width, expected_image.width, screen_image.width)
    height = min(height, expected_image.height, screen_image.height)
    block, _, _ = rows_of(expected_image, width, height)
    screen = screen_image.convert("RGB").tobytes()
    stride = screen_image.width * 3

    if arguments.at:
        x, y = (int(part) for part in arguments.at.split(","))
        good = matches_at(screen, stride, block, x, y) if x + width <= screen_image.width and \
            y + height <= screen_image.height else 0
        if good == height:
            print(f"{x},{y}")
            return 0
        print(f"the block is not at {x},{y}: {good} of its {height} rows match", file=sys.stderr)
        return 1

    best = 0
    first_row = block[0]
    for y in range(screen_image.height - height + 1):
        row = screen[y * stride:(y + 1) * stride]
        start = row.find(first_row)
        while start >= 0:
            if start % 3 == 0:
                x = start // 3
                good = matches_at(screen, stride, block, x, y)
                if good == height:
                    print(f"{x},{y}")
                    return 0
                best = max(best, good)
            start = row.find(first_row, start + 1)
    print(f"the block is nowhere on the screen: at best {best} of its {height} rows match", file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main())
