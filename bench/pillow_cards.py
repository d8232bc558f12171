#!/usr/bin/python3
"""The card composition done with Pillow, as the yardstick for tessivanev-render.

Per card, in one process: open the template BMP, paste the default photo
resized to 60 x 65 with a Lanczos filter at (324, 15), draw the one-pixel black
frame around it, write the eight texts (name twice, sex, age, "10", year,
month, day) in Noto Serif CJK SC Bold at 13 px in grey 0x606060, and save a
24-bit BMP. The font is loaded once, as any batch script would.

  /usr/bin/python3 bench/pillow_cards.py --count 200 --out-dir /tmp/pillow-cards
prints the wall time of the loop and the time per card.
"""
import argparse
import os
import time

from PIL import Image, ImageDraw, ImageFont

FONT_FILE = "/usr/share/fonts/opentype/noto/NotoSerifCJK-Bold.ttc"
FONT_INDEX_SC = 2  # the collection holds JP, KR, SC, TC, HK in that order
GREY = (96, 96, 96)
ASSETS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "pictures", "assets")
TEMPLATES = ["template-blue.bmp", "template-purple.bmp", "template-brown-a.bmp", "template-brown-b.bmp"]
SEXES = ["男", "女", "保密"]


def make_card(template_path, photo_path, font, name, sex, age, date, out_path):
    card = Image.open(template_path).convert("RGB")
    photo = Image.open(photo_path).convert("RGB").resize((60, 65), Image.LANCZOS)
    card.paste(photo, (324, 15))
    draw = ImageDraw.Draw(card)
    draw.rectangle((324, 15, 383, 79), outline=(0, 0, 0))
    year, month, day = date
    for (x, y), text in (((245, 17), name), ((292, 107), name), ((245, 34), sex), ((245, 51), age),
                         ((358, 222), "10"), ((282, 240), str(year)), ((325, 240), str(month)),
                         ((355, 240), str(day))):
        if text:
            draw.text((x, y), text, font=font, fill=GREY)
    card.save(out_path, "BMP")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--count", type=int, default=200)
    parser.add_argument("--out-dir", required=True)
    args = parser.parse_args()
    os.makedirs(args.out_dir, exist_ok=True)
    font = ImageFont.truetype(FONT_FILE, 13, index=FONT_INDEX_SC)
    photo = os.path.join(ASSETS, "default-photo.bmp")
    start = time.perf_counter()
    for i in range(args.count):
        make_card(os.path.join(ASSETS, TEMPLATES[i % 4]), photo, font, "张三%d" % i, SEXES[i % 3], str(20 + i % 50),
                  (2025, 1, 9), os.path.join(args.out_dir, "card-%04d.bmp" % (i + 1)))
    elapsed = time.perf_counter() - start
    print("pillow: %d cards in %.3f s, %.3f ms per card" % (args.count, elapsed, 1000 * elapsed / args.count))


if __name__ == "__main__":
    main()
