#!/usr/bin/env python3
"""Draws the buttons' pictures and the program's icons and writes them as XPM files.

    tools/draw_pictures.py           write ui/pictures/*.xpm
    tools/draw_pictures.py --check   exit with 1 if a file there differs from the drawing

Every picture is an ASCII-art grid, one character per pixel, looked up in a palette;
pictures with text in them are put together from the grids of a few small fonts. Edit
the drawings here and run the script again; the XPM files are its output, committed so
that the build needs no Python. Standard library only, and no font: the two Chinese
pictures were rendered once from the 16-pixel bitmap strike of WenQuanYi Zen Hei
(package fonts-wqy-zenhei) and are kept here as grids, so the output is the same on
every machine.
"""

import argparse
import pathlib
import sys
import textwrap

PICTURES_DIR = pathlib.Path(__file__).resolve().parent.parent / "ui" / "pictures"

# The 16-colour VGA palette. White is '.', the background of the button pictures: the
# loader draws the colour of a button picture's bottom-left pixel transparent.
VGA = {
    "#": "#000000",  # black
    "m": "#800000",  # maroon
    "g": "#008000",  # green
    "o": "#808000",  # olive
    "n": "#000080",  # navy
    "p": "#800080",  # purple
    "t": "#008080",  # teal
    "s": "#C0C0C0",  # silver
    "d": "#808080",  # grey (dark beside silver)
    "r": "#FF0000",  # red
    "l": "#00FF00",  # lime
    "y": "#FFFF00",  # yellow
    "b": "#0000FF",  # blue
    "f": "#FF00FF",  # fuchsia
    "c": "#00FFFF",  # aqua
    ".": "#FFFFFF",  # white
}

# Pixels left out of the picture: the icons' background, and the outside of a symbol
# that is pasted onto another picture.
CLEAR = "-"

# The bulb is the one true-colour picture. Its background is black, so its highlight
# may be white.
BULB_COLOURS = {
    "#": "#000000",  # background
    "w": "#FFFFFF",  # glint
    "L": "#FFFFB0",  # lit glass
    "Y": "#FFFF00",  # glass
    "y": "#E8C800",  # glass in shade
    "o": "#A08000",  # rim of the glass
    "B": "#5A6CFF",  # base, lit thread
    "b": "#0000FF",  # base
    "n": "#000090",  # base, thread in shade
    "k": "#303050",  # contact
}


def grid(text):
    """Rows of an ASCII-art block written indented inside triple quotes."""
    return textwrap.dedent(text).strip("\n").splitlines()


def canvas(width, height, fill="."):
    return [fill * width for _ in range(height)]


def paste(target, art, left, top):
    """Draws art onto target; CLEAR pixels of art and parts outside target are skipped."""
    rows = [list(row) for row in target]
    for y, line in enumerate(art):
        for x, pixel in enumerate(line):
            if pixel != CLEAR and 0 <= top + y < len(rows) and 0 <= left + x < len(rows[0]):
                rows[top + y][left + x] = pixel
    return ["".join(row) for row in rows]


def recolour(art, mapping):
    return ["".join(mapping.get(pixel, pixel) for pixel in row) for row in art]


def text(font, string, colour):
    """The string set in the font, ink in colour, one clear column between letters."""
    glyphs = [font[character] for character in string]
    height = len(glyphs[0])
    rows = [""] * height
    for index, glyph in enumerate(glyphs):
        for y in range(height):
            gap = CLEAR if index else ""
            rows[y] += gap + glyph[y].replace(".", CLEAR).replace("#", colour)
    return rows


def font(glyph_grids):
    return {character: grid(art) for character, art in glyph_grids.items()}


# 5 x 7 with one row below the line for the comma: the red text of the factory picture.
SMALL_FONT = font({
    "0": """
        .###.
        #...#
        #...#
        #...#
        #...#
        #...#
        .###.
        .....
        """,
    "1": """
        ..#..
        .##..
        ..#..
        ..#..
        ..#..
        ..#..
        .###.
        .....
        """,
    "2": """
        .###.
        #...#
        ....#
        ...#.
        ..#..
        .#...
        #####
        .....
        """,
    "8": """
        .###.
        #...#
        #...#
        .###.
        #...#
        #...#
        .###.
        .....
        """,
    "9": """
        .###.
        #...#
        #...#
        .####
        ....#
        ...#.
        .##..
        .....
        """,
    ",": """
        ..
        ..
        ..
        ..
        ..
        .#
        .#
        #.
        """,
    ":": """
        .
        .
        #
        .
        .
        #
        .
        .
        """,
    " ": """
        ..
        ..
        ..
        ..
        ..
        ..
        ..
        ..
        """,
    "e": """
        .....
        .....
        .###.
        #...#
        #####
        #....
        .###.
        .....
        """,
    "o": """
        .....
        .....
        .###.
        #...#
        #...#
        #...#
        .###.
        .....
        """,
    "d": """
        ....#
        ....#
        .####
        #...#
        #...#
        #...#
        .####
        .....
        """,
    "l": """
        ##.
        .#.
        .#.
        .#.
        .#.
        .#.
        ###
        ...
        """,
    "D": """
        ####.
        #...#
        #...#
        #...#
        #...#
        #...#
        ####.
        .....
        """,
    "H": """
        #...#
        #...#
        #...#
        #####
        #...#
        #...#
        #...#
        .....
        """,
    "I": """
        ###
        .#.
        .#.
        .#.
        .#.
        .#.
        ###
        ...
        """,
})

# Bold capitals with two-pixel strokes: the maker's name on the factory picture.
LOGO_FONT = font({
    "V": """
        ##....##
        ##....##
        ##....##
        ##....##
        .##..##.
        .##..##.
        .##..##.
        ..####..
        ..####..
        ...##...
        ...##...
        """,
    "A": """
        ...##...
        ..####..
        ..####..
        .##..##.
        .##..##.
        ##....##
        ##....##
        ########
        ########
        ##....##
        ##....##
        """,
    "N": """
        ##....##
        ###...##
        ###...##
        ####..##
        ##.##.##
        ##.##.##
        ##..####
        ##...###
        ##...###
        ##....##
        ##....##
        """,
    "T": """
        ########
        ########
        ...##...
        ...##...
        ...##...
        ...##...
        ...##...
        ...##...
        ...##...
        ...##...
        ...##...
        """,
    "R": """
        ######..
        #######.
        ##...##.
        ##....##
        ##...##.
        #######.
        ######..
        ##..##..
        ##...##.
        ##...##.
        ##....##
        """,
    "E": """
        ########
        ########
        ##......
        ##......
        ######..
        ######..
        ##......
        ##......
        ##......
        ########
        ########
        """,
    "L": """
        ##......
        ##......
        ##......
        ##......
        ##......
        ##......
        ##......
        ##......
        ##......
        ########
        ########
        """,
})

# Five pixels high and as narrow as each letter allows: the maker's name has to fit
# across the 32-pixel application icon.
TINY_FONT = font({
    "V": """
        #...#
        #...#
        .#.#.
        .#.#.
        ..#..
        """,
    "A": """
        .#.
        #.#
        ###
        #.#
        #.#
        """,
    "N": """
        #..#
        ##.#
        #.##
        #..#
        #..#
        """,
    "T": """
        ###
        .#.
        .#.
        .#.
        .#.
        """,
    "R": """
        ##.
        #.#
        ##.
        #.#
        #.#
        """,
    "E": """
        ###
        #..
        ##.
        #..
        ###
        """,
    "L": """
        #..
        #..
        #..
        #..
        ###
        """,
})

# The module symbol: a grey DIN-rail I/O module, terminal screws along the top and the
# bottom, a coloured face ('F') with its LEDs between them.
MODULE_16 = grid("""
    ----------------
    --############--
    --#sdsdsdsdsd#--
    --#dddddddddd#--
    --#s########d#--
    --#s#FFFFFF#d#--
    --#s#FlFlFF#d#--
    --#s#FFFFFF#d#--
    --#s#FrFrFF#d#--
    --#s#FFFFFF#d#--
    --#s########d#--
    --#dddddddddd#--
    --#sdsdsdsdsd#--
    --############--
    ----------------
    ----------------
    """)

MODULE_32 = grid("""
    --------------------------------
    --############################--
    --#sssssssssssssssssssssssssd#--
    --#sd##dd##dd##dd##dd##dd##dd#--
    --#s#ss##ss##ss##ss##ss##ss#d#--
    --#s#sd##sd##sd##sd##sd##sd#d#--
    --#sd##dd##dd##dd##dd##dd##dd#--
    --#sddddddddddddddddddddddddd#--
    --#sd######################dd#--
    --#sd#FFFFFFFFFFFFFFFFFFFF#dd#--
    --#sd#FllFFFF####FFFFFFFFF#dd#--
    --#sd#FFFFFFFFFFFFFFFFFFFF#dd#--
    --#sd#FllFFFF####FFFFFFFFF#dd#--
    --#sd#FFFFFFFFFFFFFFFFFFFF#dd#--
    --#sd#FrrFFFF####FFFFFFFFF#dd#--
    --#sd#FFFFFFFFFFFFFFFFFFFF#dd#--
    --#sd#FllFFFF####FFFFFFFFF#dd#--
    --#sd#FFFFFFFFFFFFFFFFFFFF#dd#--
    --#sd#FFFFFFFFFFFFFFFFFFFF#dd#--
    --#sd#FFFFFFFFFFFFFFFFFFFF#dd#--
    --#sd#FFFFFFFFFFFFFFFFFFFF#dd#--
    --#sd#FFFFFFFFFFFFFFFFFFFF#dd#--
    --#sd######################dd#--
    --#sddddddddddddddddddddddddd#--
    --#sd##dd##dd##dd##dd##dd##dd#--
    --#s#ss##ss##ss##ss##ss##ss#d#--
    --#s#sd##sd##sd##sd##sd##sd#d#--
    --#sd##dd##dd##dd##dd##dd##dd#--
    --#dddddddddddddddddddddddddd#--
    --############################--
    --------------------------------
    --------------------------------
    """)


def module(art, face, outside):
    return recolour(art, {"F": face, CLEAR: outside})


SCAN = grid("""
    ...######.......
    ..#cccccc#......
    .#ccsscccc#.....
    #ccsccccccc#....
    #cscccccccc#....
    #ccccccccct#....
    #cccccccctt#....
    #ccccccctt#.....
    .#ccccttt##b....
    ..#ttttt#bbbn...
    ...#####.bbbbn..
    .........nbbbbn.
    ..........nbbbbn
    ...........nbbbn
    ............nnn.
    ................
    """)

ID = grid("""
    ................
    ................
    ................
    ....###########.
    ...#sssssssss##.
    ..#sssssssss#d#.
    .###########dd#.
    .#yyyyyyyyy#dd#.
    .#ydddddddd#dd#.
    .#yd######d#dd#.
    .#yd#y##y#d#dd#.
    .#yd######d#dd#.
    .#ydddddddd#d#..
    .############...
    ................
    ................
    """)

BAUD_RATE = grid("""
    ................
    ................
    ..############..
    .#yyyyyyyyyyyy#.
    #yyyyyyyyyyyyyy#
    #yyyo######oyyy#
    #yyo#......#oyy#
    .##.#yyyyyy#.##.
    ...#yyyyyyyy#...
    ..#yyy#yy#yyy#..
    ..#yy#o##o#yy#..
    .#yyyy#yy#yyyy#.
    .#yyyyyyyyyyyy#.
    .#oooooooooooo#.
    .##############.
    ................
    """)

PROCESS = grid("""
    ................................
    ................................
    ................................
    .##############################.
    .#ssssssssssssssssssssssssssss#.
    .#sddddddddddddddddddddddddddd#.
    .#sdd######################ddd#.
    .#sdd#ssssssssssssssssssss#ddd#.
    .#sdd#s#####s#####s#####ss#ddd#.
    .#sdd#s#####s#####s#####ss#ddd#.
    .#sdd#s#####s#####s#####ss#ddd#.
    .#sdd#s#####s#####s#####ss#ddd#.
    .#sdd#ssssssssssssssssssss#ddd#.
    .#sdd######################ddd#.
    .#sddddddddddddddddddddddddddd#.
    .#sddddddddddddddddddddddddddd#.
    .##############################.
    ................................
    ................................
    ................................
    """)

ALL = grid("""
    ######oooo######
    ####ooYYYYoo####
    ###oYLLYYYYYo###
    ##oYLwwYYYYYYo##
    ##oYLwYYYYYYYo##
    ##oYLYYYYYYYyo##
    ##oYYYYYYYYYyo##
    ###oYYYYYYYyo###
    ###oyYYYYYyyo###
    ####oyYYYyyo####
    #####oyyyyo#####
    #####BBbbbb#####
    #####nnnnnn#####
    #####BBbbbb#####
    ######nnnn######
    #######kk#######
    """)

# The language buttons: the characters set in red as the 16-pixel bitmap strike of
# "WenQuanYi Zen Hei Sharp" (wqy-zenhei.ttc) draws them, one blank column around each.
# Outline fonts lose these strokes at this size; the hand-tuned strike keeps them legible.
CHINESE_GB = grid("""
    ..................................
    ..r..r...r..r.........r....r......
    .r....r.r....r.......r.....r......
    ..rrrrr...rrrrr......r.rrrrrrrrr..
    ..r...r...r...r.....rr.....r......
    ..rrrrr...rrrrr.....rr....rrr.....
    ..r...r...r...r....r.r....rrr.....
    ..rrrrr...rrrrr...r..r...r.r.r....
    ..r...........r......r...r.r.r....
    ..r..rrrrrrr..r......r..r..r..r...
    ..r..r.....r..r......r.r.rrrrr.r..
    ..r..rrrrrrr..r......rr....r....r.
    ..r..r.....r..r......r.....r......
    ..r..rrrrrrr..r......r.....r......
    ..r..........rr......r.....r......
    ..................................
    """)

CHINESE_BIG5 = grid("""
    ..................................
    ..r........rrrrr...r...r.r.r.r.r..
    .r.rrrrr..r..r.....rrr.r.rrrrrrr..
    ...r.r.r.r.r.r.....r.r.r.r.r.r.r..
    .rrrrrrrr..r.r....rrrrrrrrrrrrrr..
    ..r..r.r....r.....r.....r.........
    ..rrrrrrr..r.r.....rrrrr.rrrrrrr..
    ......r...r...rr...r...r..........
    .....r...r.........rrrrr.rrrrrrr..
    ....rrrrr..........r...r.r.....r..
    .......r....r......rrrrr.rrrrrrr..
    ...rrrrrrrrrrr.....r...r..r...r...
    ........r....r.....r...r...r.r....
    ....r.r.r..r.......r.r.rrrrrrrrrr.
    ...r...r....r......r..r...........
    ..................................
    """)


def factory():
    picture = canvas(100, 50)
    picture = paste(picture, module(MODULE_32, "g", CLEAR), 0, -1)
    picture = paste(picture, text(LOGO_FONT, "VANTREL", "b"), 35, 9)
    for top, line in ((32, "19200,e,8,1"), (41, "ID:01 Hold")):
        art = text(SMALL_FONT, line, "r")
        picture = paste(picture, art, (100 - len(art[0])) // 2, top)
    return picture


def application_icon():
    icon = module(MODULE_32, "g", CLEAR)
    band = canvas(32, 7)
    band = paste(band, text(TINY_FONT, "VANTREL", "b"), 1, 1)
    return paste(icon, band, 0, 13)


class Picture:
    def __init__(self, file_name, size, art, colours=VGA):
        self.file_name = file_name
        self.size = size
        self.art = art
        self.colours = colours


PICTURES = [
    Picture("scan.xpm", (16, 16), SCAN),
    Picture("id.xpm", (16, 16), ID),
    Picture("baud_rate.xpm", (16, 16), BAUD_RATE),
    Picture("mode.xpm", (16, 16), module(MODULE_16, "g", ".")),
    Picture("process.xpm", (32, 20), PROCESS),
    Picture("all.xpm", (16, 16), ALL, BULB_COLOURS),
    Picture("factory.xpm", (100, 50), factory()),
    Picture("chinese_gb.xpm", (34, 16), CHINESE_GB),
    Picture("chinese_big5.xpm", (34, 16), CHINESE_BIG5),
    Picture("window_icon.xpm", (16, 16), module(MODULE_16, "o", CLEAR)),
    Picture("application_icon.xpm", (32, 32), application_icon()),
]


def xpm(picture):
    """The picture as XPM text; raises ValueError where the drawing is malformed."""
    width, height = picture.size
    name = picture.file_name.removesuffix(".xpm")
    if len(picture.art) != height or any(len(row) != width for row in picture.art):
        sizes = sorted({len(row) for row in picture.art})
        raise ValueError(f"{name}: {len(picture.art)} rows of widths {sizes}, "
                         f"drawn for {width} x {height}")
    colours = dict(picture.colours, **{CLEAR: "None"})
    used = {pixel for row in picture.art for pixel in row}
    unknown = sorted(used - colours.keys())
    if unknown:
        raise ValueError(f"{name}: no colour for {unknown}")
    used = sorted(used, key=list(colours).index)
    lines = [f"{width} {height} {len(used)} 1"]
    lines += [f"{pixel} c {colours[pixel]}" for pixel in used]
    lines += picture.art
    body = ",\n".join(f'"{line}"' for line in lines)
    return ("/* XPM */\n"
            "/* Drawn by tools/draw_pictures.py: edit the drawing there, not this file. */\n"
            f"static const char *const {name}_xpm[] = {{\n{body}\n}};\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true",
                        help="compare with the files instead of writing them")
    arguments = parser.parse_args()
    # Every drawing is checked before any file is written, so a mistake leaves the
    # pictures as they were.
    contents = {picture.file_name: xpm(picture) for picture in PICTURES}
    stale = []
    for file_name, content in contents.items():
        path = PICTURES_DIR / file_name
        if arguments.check:
            if not path.exists() or path.read_text() != content:
                stale.append(file_name)
        else:
            PICTURES_DIR.mkdir(exist_ok=True)
            path.write_text(content)
    if stale:
        print("differs from its drawing: " + ", ".join(stale), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
