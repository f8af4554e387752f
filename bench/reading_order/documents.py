"""The reading-order benchmark's documents: generated pages whose true word
order is known because we place every word ourselves.

Each document is built from frames (a heading, a paragraph, a footnote, a
table cell, a block of vertical columns) laid out in viewer coordinates
(u to the right, v down, in points) and written with tools/pdfgen.py. The
true order is the frames' logical order; the content stream holds them in
that order or, for some documents, shuffled, as layout programs place frames
in any order. Text is in pdfgen's Unicode font, whose glyphs are all 0.6 em
wide, so every word's extent is known exactly.

``documents()`` returns (name, writer, true words) for each; score.py writes
the PDFs and checks the true orders against the frozen copies in truth/.
"""

from __future__ import annotations

import random
import sys
from collections.abc import Callable
from dataclasses import dataclass, field
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
import pdfgen  # noqa: E402

ADVANCE = 0.6  # em: every glyph of the Unicode font
SYLLABLES = ("ka", "lo", "mi", "ne", "ru", "to", "sa", "vi", "de", "po", "gu", "fe", "zi",
             "ba", "cho", "ri", "nu", "ly", "xe", "wo", "qa", "tes", "mar", "dun")
HEBREW = "אבגדהוזחטיכלמנסעפצקרשת"
CJK = "春夏秋冬山川海空雨風花鳥月星光影水火木金土日人心夢道言詩歌声色"


@dataclass
class Frame:
    """Words set in lines; `lines` holds (u, v baseline, [(u, word)]) in viewer space."""

    size: float
    lines: list[tuple[float, list[tuple[float, str]]]] = field(default_factory=list)
    vertical: list[list[tuple[float, float, str]]] = field(default_factory=list)  # CJK columns

    def words(self) -> list[str]:
        if self.vertical:
            return [ch for column in self.vertical for _, _, ch in column]
        return [word for _, words in self.lines for _, word in words]


class Words:
    """Made-up words from syllables: reproducible, and rarely repeated on a page."""

    def __init__(self, seed: int):
        self.rng = random.Random(seed)

    def word(self) -> str:
        return "".join(self.rng.choice(SYLLABLES) for _ in range(self.rng.randint(1, 3)))

    def take(self, n: int) -> list[str]:
        return [self.word() for _ in range(n)]


def paragraph(words: list[str], u: float, v: float, width: float, size: float,
              leading: float = 1.2, justify: bool = False) -> tuple[Frame, float]:
    """Sets words in lines of at most `width` from the top-left (u, v); returns the
    frame and the v just below its last line."""
    frame = Frame(size)
    advance = ADVANCE * size
    space = advance
    line: list[str] = []
    rows: list[list[str]] = []
    used = 0.0
    for word in words:
        extent = len(word) * advance
        if line and used + space + extent > width:
            rows.append(line)
            line, used = [], 0.0
        used += (space if line else 0.0) + extent
        line.append(word)
    if line:
        rows.append(line)
    baseline = v + 0.8 * size
    for k, row in enumerate(rows):
        ink = sum(len(w) for w in row) * advance
        gap = space
        if justify and k + 1 < len(rows) and len(row) > 1:
            gap = (width - ink) / (len(row) - 1)
        placed, x = [], u
        for w in row:
            placed.append((x, w))
            x += len(w) * advance + gap
        frame.lines.append((baseline, placed))
        baseline += leading * size
    return frame, baseline - leading * size + 0.2 * size


def centred(words: list[str], centre: float, v: float, size: float) -> tuple[Frame, float]:
    width = (sum(len(w) for w in words) + len(words) - 1) * ADVANCE * size
    return paragraph(words, centre - width / 2, v, width + 1, size)


def columns(w: Words, n_columns: int, u: float, v: float, width: float, gutter: float,
            size: float, paragraphs: list[int], justify: bool = False,
            leading: float = 1.2, spacing: float = 0.7) -> tuple[list[Frame], float]:
    """Paragraphs of the given word counts flowed through columns of equal
    height (a paragraph never breaks across columns); returns the frames in
    reading order and the v below the lowest column."""
    col_width = (width - (n_columns - 1) * gutter) / n_columns
    # Column k takes the k-th slice of the paragraphs.
    chunk = (len(paragraphs) + n_columns - 1) // n_columns
    per_column = [paragraphs[k * chunk:(k + 1) * chunk] for k in range(n_columns)]
    frames: list[Frame] = []
    bottom = v
    for k, counts in enumerate(per_column):
        cu = u + k * (col_width + gutter)
        cv = v
        for count in counts:
            frame, end = paragraph(w.take(count), cu, cv, col_width, size, leading, justify)
            frames.append(frame)
            cv = end + spacing * size
        bottom = max(bottom, cv)
    return frames, bottom


# -- writing frames into a page -------------------------------------------------

def viewer_map(rotate: int, page_w: float, page_h: float
               ) -> tuple[Callable[[float, float], tuple[float, float]], tuple[float, ...]]:
    """Viewer point (u, v) to PDF user space, and the text matrix of upright
    text, for a page of unrotated size page_w x page_h shown with /Rotate."""
    if rotate == 0:
        return (lambda u, v: (u, page_h - v)), (1, 0, 0, 1)
    if rotate == 90:
        return (lambda u, v: (v, u)), (0, 1, -1, 0)
    if rotate == 180:
        return (lambda u, v: (page_w - u, v)), (-1, 0, 0, -1)
    if rotate == 270:
        return (lambda u, v: (page_w - v, page_h - u)), (0, -1, 1, 0)
    raise ValueError(rotate)


def write(page: pdfgen.Page, frames: list[Frame], to_pdf, matrix) -> None:
    for frame in frames:
        for baseline, placed in frame.lines:
            for u, word in placed:
                x, y = to_pdf(u, baseline)
                page.text(x, y, word, size=frame.size, font="U", matrix=matrix)
        for column in frame.vertical:
            for u, baseline, ch in column:
                x, y = to_pdf(u, baseline)
                # PDFium keeps no text object of one lone CJK glyph without a
                # font program; a trailing space keeps it (and layout still
                # stacks a character with a space).
                page.text(x, y, ch + " ", size=frame.size, font="U", matrix=matrix)


def document(frames: list[Frame], stream: list[int] | None = None, rotate: int = 0,
             drawn: int | None = None, width: float = 612, height: float = 792
             ) -> tuple[pdfgen.PdfWriter, list[str]]:
    """One page holding the frames, written in `stream` order (default: reading
    order). `drawn` is the rotation the text is drawn for (default `rotate`):
    text drawn for 90 on a page with /Rotate 0 runs up the viewer's page."""
    drawn = rotate if drawn is None else drawn
    writer = pdfgen.PdfWriter()
    page_w, page_h = (height, width) if drawn in (90, 270) else (width, height)
    page = writer.page(width=page_w, height=page_h, rotate=rotate)
    to_pdf, matrix = viewer_map(drawn, page_w, page_h)
    order = stream if stream is not None else list(range(len(frames)))
    write(page, [frames[k] for k in order], to_pdf, matrix)
    return writer, [word for frame in frames for word in frame.words()]


def shuffled(n: int, seed: int) -> list[int]:
    order = list(range(n))
    random.Random(seed).shuffle(order)
    return order


# -- the documents ----------------------------------------------------------------

def titled_columns(seed: int, n_columns: int, gutter: float, size: float, paragraphs: list[int],
                   justify: bool = False, width: float = 612, margin: float = 60,
                   abstract: bool = False) -> list[Frame]:
    w = Words(seed)
    frames = []
    title, v = centred(w.take(5), width / 2, 60, 16)
    frames.append(title)
    author, v = centred(w.take(2), width / 2, v + 14, 11)
    frames.append(author)
    v += 18
    if abstract:
        head, v = paragraph(["Abstract"], margin, v, 200, 12)
        frames.append(head)
        v += 6
    body, _ = columns(w, n_columns, margin, v, width - 2 * margin, gutter, size, paragraphs,
                      justify=justify)
    return frames + body


def two_columns_wide(seed: int) -> list[Frame]:
    return titled_columns(seed, 2, 24, 10, [60, 45, 70, 50, 55, 65, 40, 60])


def latex_like(seed: int) -> list[Frame]:
    """Two justified columns 10 units apart, as LaTeX's two-column article sets them."""
    return titled_columns(seed, 2, 10, 10, [30, 80, 65, 90, 55, 70, 85, 60], justify=True,
                          margin=72, abstract=True)


def three_columns(seed: int, gutter: float) -> list[Frame]:
    return titled_columns(seed, 3, gutter, 9, [45, 60, 35, 50, 40, 55, 45, 50, 40],
                          justify=True, margin=40)


def headings_across(seed: int, gutter: float = 18) -> list[Frame]:
    """Title, two columns, a spanning section heading, two more columns, a
    spanning figure caption, two columns again."""
    w = Words(seed)
    frames = []
    title, v = centred(w.take(4), 306, 50, 16)
    frames.append(title)
    v += 14
    for section in range(3):
        body, v = columns(w, 2, 60, v, 492, gutter, 10, [35, 30, 40, 30] if section != 1
                          else [28, 32])
        frames += body
        if section == 0:
            head, v = paragraph(w.take(6), 60, v + 8, 492, 13)
            frames.append(head)
            v += 10
        elif section == 1:
            v += 80  # the figure, drawn as nothing but room
            caption, v = paragraph(["Figure", "1:"] + w.take(22), 60, v, 492, 9)
            frames.append(caption)
            v += 12
    return frames


def footnotes(seed: int) -> tuple[pdfgen.PdfWriter, list[str]]:
    """Two columns and, under both, full-width footnotes in small type, written
    into the stream between the columns."""
    w = Words(seed)
    frames = []
    title, v = centred(w.take(4), 306, 50, 16)
    frames.append(title)
    body, v = columns(w, 2, 60, v + 16, 492, 16, 10, [55, 60, 50, 45, 60, 50])
    frames += body
    note, _ = paragraph(["1"] + w.take(40), 60, 720, 492, 8)
    note2, _ = paragraph(["2"] + w.take(20), 60, 740, 492, 8)
    frames += [note, note2]
    return document(frames, [0, 1, 2, 3, 7, 8, 4, 5, 6])


def rotated(seed: int, rotate: int, drawn: int | None = None) -> tuple[pdfgen.PdfWriter, list[str]]:
    """A titled two-column page upright in the viewer (or, with `drawn`, text
    drawn for that rotation on a page whose /Rotate differs), frames written
    in shuffled order."""
    landscape = (drawn if drawn is not None else rotate) in (90, 270)
    width = 792 if landscape else 612
    frames = titled_columns(seed, 2, 20, 10, [40, 35, 45, 30, 35, 40] if landscape
                            else [55, 60, 50, 45, 60, 50], width=width)
    return document(frames, shuffled(len(frames), seed), rotate=rotate, drawn=drawn,
                    width=width, height=612 if landscape else 792)


def right_to_left(seed: int) -> tuple[pdfgen.PdfWriter, list[str]]:
    """Hebrew paragraphs under a heading: lines drawn in visual order, words right to left."""
    rng = random.Random(seed)

    def word() -> str:
        return "".join(rng.choice(HEBREW) for _ in range(rng.randint(2, 6)))

    writer = pdfgen.PdfWriter()
    page = writer.page()
    truth: list[str] = []
    right, size, baseline = 552.0, 11.0, 80.0
    blocks = [[5], [60, 45, 70], [50, 40]]
    for block in blocks:
        for count in block:
            words = [word() for _ in range(count)]
            truth += words
            line: list[str] = []
            for w in words + [None]:
                used = sum(len(x) + 1 for x in line)
                if w is None or (line and (used + len(w)) * ADVANCE * size > 480):
                    x = right
                    for lw in line:  # logical order, placed from the right edge leftwards
                        x -= len(lw) * ADVANCE * size
                        page.text(x, 792 - baseline, lw[::-1], size=size, font="U")
                        x -= ADVANCE * size
                    baseline += 1.2 * size
                    line = []
                if w is not None:
                    line.append(w)
            baseline += 0.8 * size
        baseline += 10
    return writer, truth


def vertical_cjk(seed: int) -> tuple[pdfgen.PdfWriter, list[str]]:
    """Two tiers of blocks of vertical columns (each character drawn on its own,
    stacked); a tier's blocks run right to left, the tiers top to bottom. Each
    block's columns are written right to left, the blocks of a tier left to
    right, as frames placed by position."""
    rng = random.Random(seed)
    size, pitch, step = 12.0, 18.0, 13.0
    tiers = [(60.0, [(540.0, 6), (400.0, 5), (250.0, 7)]), (420.0, [(520.0, 8), (330.0, 6)])]
    frames: list[Frame] = []
    stream: list[int] = []
    for top, blocks in tiers:
        first = len(frames)
        for right, n_columns in blocks:
            frame = Frame(size)
            for c in range(n_columns):
                u = right - c * pitch
                length = rng.randint(14, 22)
                frame.vertical.append([(u, top + size * 0.8 + k * step, rng.choice(CJK))
                                       for k in range(length)])
            frames.append(frame)
        stream += list(range(len(frames) - 1, first - 1, -1))
    return document(frames, stream)


def table(seed: int) -> tuple[pdfgen.PdfWriter, list[str]]:
    """A caption, a table of single-line cells read row by row, a paragraph under it."""
    w = Words(seed)
    frames = []
    caption, v = paragraph(["Table", "1:"] + w.take(8), 60, 60, 492, 11)
    frames.append(caption)
    v += 12
    cols = (60.0, 190.0, 300.0, 420.0)
    for _ in range(12):
        for k, u in enumerate(cols):
            cell, _ = paragraph(w.take(1 if k else 2), u, v, 120, 10)
            frames.append(cell)
        v += 16
    body, _ = paragraph(w.take(90), 60, v + 14, 492, 10)
    frames.append(body)
    return document(frames)


def documents() -> list[tuple[str, pdfgen.PdfWriter, list[str]]]:
    out: list[tuple[str, pdfgen.PdfWriter, list[str]]] = []

    def add(name: str, made: tuple[pdfgen.PdfWriter, list[str]]) -> None:
        out.append((name, *made))

    add("two-columns-wide", document(two_columns_wide(1)))
    add("latex-like-10", document(latex_like(2)))
    frames = three_columns(3, 9)
    add("three-columns-9pt-gutter-9", document(frames))
    frames = three_columns(4, 8)
    add("three-columns-9pt-gutter-8-shuffled", document(frames, shuffled(len(frames), 4)))
    add("headings-across", document(headings_across(5)))
    add("footnotes", footnotes(6))
    frames = headings_across(7, gutter=10)
    add("scrambled-stream", document(frames, shuffled(len(frames), 7)))
    for k, rotate in enumerate((0, 90, 180, 270)):
        add(f"rotate-{rotate}", rotated(10 + k, rotate))
    add("text-rotated-on-page", rotated(20, 0, drawn=90))
    add("right-to-left", right_to_left(21))
    add("vertical-cjk", vertical_cjk(22))
    add("table", table(23))
    return out
