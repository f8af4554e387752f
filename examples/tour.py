"""The README's tour, run from the repository root: a page's text, its words
with boxes, and a rendering to PNG."""

import textloom

doc = textloom.open("src/textloom/sample.pdf")
page = doc[1]
print(page.get_text(sort="xycut")[:120])

for x0, y0, x1, y1, word, block, line, _ in page.get_text("words", sort="xycut")[:4]:
    print(f"{word:>8}  x {x0:6.1f} to {x1:6.1f}   y {y0:5.1f} to {y1:5.1f}   block {block} line {line}")

image = page.render(dpi=100)
image.save("page-2.png")
print(image.width, "x", image.height, "pixels in page-2.png")
