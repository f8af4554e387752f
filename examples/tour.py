"""The README's tour, run from any folder (tests/python/test_readme.py checks
that the README shows this code and what it prints)."""

import textloom

with textloom.open(textloom.sample_path()) as doc:  # the sample PDF inside the package
    page = doc[1]  # in Python, pages count from 0
    print(*page.get_text().splitlines()[:3], sep="\n")  # text in reading order
    for x0, y0, x1, y1, word, block, line, _ in page.get_text("words")[:3]:
        print(f"{word:8} ({x0:5.1f}, {y0:5.1f}) to ({x1:5.1f}, {y1:5.1f})  block {block} line {line}")
    image = page.render(dpi=100)  # also .to_numpy() (needs textloom[numpy]) and .to_pil()
    image.save("page-2.png")  # PNG, JPEG, WebP or TIFF by the extension (needs textloom[image])
    print(image.width, "x", image.height, "pixels in page-2.png")
