#!/usr/bin/env python3
"""Draws Blinkorb's icon and writes it as a Windows icon file.

The icon is a cube seen from above and to the front, its three visible faces
lettered M, F and C. The file holds two images, 32x32 and 16x16, each drawn
for its own size in the 16 VGA colours and fully opaque.

Usage: make_icon.py OUTPUT.ico
"""

import struct
import sys

# The standard VGA colours, in the order of their indices.
PALETTE = [
    (0x00, 0x00, 0x00),
    (0x00, 0x00, 0xAA),
    (0x00, 0xAA, 0x00),
    (0x00, 0xAA, 0xAA),
    (0xAA, 0x00, 0x00),
    (0xAA, 0x00, 0xAA),
    (0xAA, 0x55, 0x00),
    (0xAA, 0xAA, 0xAA),
    (0x55, 0x55, 0x55),
    (0x55, 0x55, 0xFF),
    (0x55, 0xFF, 0x55),
    (0x55, 0xFF, 0xFF),
    (0xFF, 0x55, 0x55),
    (0xFF, 0x55, 0xFF),
    (0xFF, 0xFF, 0x55),
    (0xFF, 0xFF, 0xFF),
]
BLACK, BLUE, CYAN, LIGHT_GRAY, DARK_GRAY, YELLOW, WHITE = 0, 1, 3, 7, 8, 14, 15

BACKGROUND = CYAN
OUTLINE = BLACK
# The faces go by their shades. Light falls from the upper left: the top is
# brightest, the right face darkest.
TOP, LEFT, RIGHT = WHITE, LIGHT_GRAY, DARK_GRAY
INK = {TOP: BLUE, LEFT: BLUE, RIGHT: YELLOW}

# Letters as they would be drawn on a face seen head-on, one string per row,
# top row first, '#' for ink. The sides shear them and the top lays them down.
LARGE_LETTERS = {
    "M": [
        "##......##",
        "###....###",
        "####..####",
        "##.####.##",
        "##..##..##",
        "##......##",
        "##......##",
        "##......##",
        "##......##",
        "##......##",
        "##......##",
    ],
    "F": [
        "########",
        "########",
        "##......",
        "##......",
        "######..",
        "######..",
        "##......",
        "##......",
        "##......",
        "##......",
        "##......",
    ],
    "C": [
        "..######.",
        ".########",
        "###......",
        "##.......",
        "##.......",
        "##.......",
        "##.......",
        "##.......",
        "###......",
        ".########",
        "..######.",
    ],
}

# At 16 pixels sheared letters no longer read: these stand upright.
SMALL_LETTERS = {
    "M": ["#...#", "##.##", "#.#.#", "#...#", "#...#"],
    "F": ["####", "#...", "###.", "#...", "#..."],
    "C": [".###", "#...", ".###"],
}


class Cube:
    """A cube drawn in 2:1 pixel isometry, laid out column by column.

    The silhouette spans 2 * half_width columns from column left. In a column
    at distance d from the centre line, the top face's upper edge lies at row
    top + d // 2 and its lower edge at top + depth - d // 2; the side face
    below it is height rows tall. Edges thus step one row every two columns
    and meet exactly at the side corners.
    """

    def __init__(self, left, top, half_width, height):
        self.left = left
        self.top = top
        self.half_width = half_width
        self.height = height
        self.depth = 2 * ((half_width - 1) // 2)

    def column(self, x):
        """Which half x lies in ('left' or 'right') and its distance d from the centre."""
        c = x - self.left - self.half_width
        return ("left", -1 - c) if c < 0 else ("right", c)

    def upper(self, d):
        return self.top + d // 2

    def middle(self, d):
        return self.top + self.depth - d // 2

    def lower(self, d):
        return self.middle(d) + self.height

    def columns(self):
        return range(self.left, self.left + 2 * self.half_width)


def draw(size, cube, letters, place):
    """The image as rows of palette indices, top row first.

    place(image, cube, letter, face) draws each face's letter.
    """
    image = [[BACKGROUND] * size for _ in range(size)]
    outermost = cube.half_width - 1
    for x in cube.columns():
        half, d = cube.column(x)
        side = LEFT if half == "left" else RIGHT
        for y in range(cube.upper(d), cube.lower(d)):
            image[y][x] = TOP if y < cube.middle(d) else side
        image[cube.upper(d)][x] = OUTLINE
        image[cube.lower(d) - 1][x] = OUTLINE
        if d == outermost:
            for y in range(cube.middle(d), cube.lower(d)):
                image[y][x] = OUTLINE

    for face, letter in zip((TOP, LEFT, RIGHT), "CMF"):
        place(image, cube, letters[letter], face)
    return image


def in_perspective(image, cube, letter, face):
    """Draws letter as if painted on the face."""
    if face == TOP:
        letter_on_top(image, cube, letter)
    else:
        letter_on_side(image, cube, letter, face)


def upright(image, cube, letter, face):
    """Draws letter unsheared about the middle of the face."""
    rows, cols = len(letter), len(letter[0])
    if face == TOP:
        centre_x = cube.left + cube.half_width
        centre_y = cube.top + cube.depth / 2 + 0.5
    else:
        centre_x = cube.left + cube.half_width / 2 + 0.5
        if face == RIGHT:
            centre_x += cube.half_width - 1
        _, d = cube.column(int(centre_x))
        centre_y = cube.middle(d) + (cube.height - 1) / 2
    first_x = round(centre_x - cols / 2)
    first_y = round(centre_y - rows / 2)
    for gy in range(rows):
        for gx in range(cols):
            if letter[gy][gx] == "#":
                image[first_y + gy][first_x + gx] = INK[face]


def letter_on_side(image, cube, letter, face):
    """Draws letter upright in the middle of a side face, sheared with it:
    each of its columns moves with the face's edges above and below."""
    rows, cols = len(letter), len(letter[0])
    inner_columns = cube.half_width - 1
    inner_rows = cube.height - 1
    first_x = cube.left + (1 if face == LEFT else cube.half_width)
    first_x += (inner_columns - cols + 1) // 2
    first_row = (inner_rows - rows + 1) // 2
    for gx in range(cols):
        _, d = cube.column(first_x + gx)
        for gy in range(rows):
            if letter[gy][gx] == "#":
                image[cube.middle(d) + first_row + gy][first_x + gx] = INK[face]


def letter_on_top(image, cube, letter):
    """Draws letter lying on the top face, its baseline along the front left
    edge, by mapping each pixel of the face back onto the letter."""
    rows, cols = len(letter), len(letter[0])
    centre_x = cube.left + cube.half_width
    centre_y = cube.top + cube.depth / 2 + 0.5
    half_height = cube.depth / 2
    margin = 0.15
    for x in cube.columns():
        _, d = cube.column(x)
        for y in range(cube.upper(d) + 1, cube.middle(d)):
            # a runs left to right and b top to bottom across the rhombus, from -1 to 1.
            a = (x + 0.5 - centre_x) / cube.half_width
            b = (y + 0.5 - centre_y) / half_height
            # From the left corner (-1, 0), u runs towards the front corner and v
            # towards the back one.
            u = (1 + a + b) / 2
            v = (1 + a - b) / 2
            gx = (u - margin) / (1 - 2 * margin) * cols
            gy = (1 - v - margin) / (1 - 2 * margin) * rows
            if 0 <= gx < cols and 0 <= gy < rows and letter[int(gy)][int(gx)] == "#":
                image[y][x] = INK[TOP]


def bitmap(image):
    """One icon image: header, palette, 4-bit colour bitmap and 1-bit mask."""
    size = len(image)
    xor_stride = (size * 4 + 31) // 32 * 4
    and_stride = (size + 31) // 32 * 4
    xor = bytearray()
    for row in reversed(image):
        packed = bytes(row[i] << 4 | row[i + 1] for i in range(0, size, 2))
        xor += packed.ljust(xor_stride, b"\0")
    # Every pixel is opaque: the mask is all zero.
    mask = bytes(and_stride * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    palette = b"".join(struct.pack("<BBBx", b, g, r) for r, g, b in PALETTE)
    return header + palette + bytes(xor) + mask


def icon_file(images):
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    data = b""
    for image in images:
        size = len(image)
        body = bitmap(image)
        directory += struct.pack("<BBBBHHII", size, size, len(PALETTE), 0, 1, 4, len(body),
                                 offset + len(data))
        data += body
    return directory + data


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__.strip().splitlines()[-1])
    large = draw(32, Cube(left=1, top=1, half_width=15, height=16), LARGE_LETTERS,
                 in_perspective)
    small = draw(16, Cube(left=0, top=0, half_width=8, height=10), SMALL_LETTERS, upright)
    with open(sys.argv[1], "wb") as out:
        out.write(icon_file([large, small]))


if __name__ == "__main__":
    main()
