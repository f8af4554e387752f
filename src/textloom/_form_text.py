"""What a viewer shows of a page's filled form fields and free-text
annotations, as runs of text for ``RsPage.with_text``: each value in its box,
so that the page's text, words, blocks and Markdown read a filled form as its
values. Callers hold the PDFium lock.

A text field's value is its text (a multi-line field's lines from the top of
the box, wrapped to its width; a single line centred in it), a checked box or
radio button "☒", a choice field its chosen options joined by ", "; an
unchecked box, an empty field, a button and a signature show nothing. A
free-text annotation shows its contents, wrapped, from the top of its box.
Comments (text notes, highlights, pop-ups) are not part of the page's text.
"""

from __future__ import annotations

import ctypes
import re
import textwrap
from typing import Any

import pypdfium2.raw as raw

from textloom._annotations import FIELD_TYPES, WIDGETS, Annots, annotation_string, bbox_of, field_value

Run = tuple[str, float, float, float, float]

CHECKED = "☒"
_MULTILINE = 1 << 12  # bit 13 of a text field's /Ff
PADDING = 2.0
"""Points between a field's border and its text: viewers inset the text by the
border width (1 by default) and as much again."""
AUTO_SIZE = 12.0
"""A field whose size is 0 ("fit the box") is drawn at most this large, the
size viewers cap automatic text at."""
ADVANCE = 0.5
"""Width of a character in ems, Helvetica's average: the field's text is not
drawn by PDFium's text page, so its characters have no measured widths."""
LINE_HEIGHT = 1.15
"""Baseline to baseline in ems for multi-line fields, as viewers set them."""
FREE_TEXT_SIZE = 12.0
"""A free-text annotation whose appearance string names no size is drawn at
this size, PDF's customary default."""
_DEPTH = 0.925  # Helvetica's ascender to descender, in ems: a run's box height per point
_TF = re.compile(r"(\d+(?:\.\d+)?)\s+Tf")  # the size operand of an appearance string's font


def _font_size(formenv: Any, annot: Any, height: float) -> float:
    size = ctypes.c_float(0.0)
    if raw.FPDFAnnot_GetFontSize(formenv, annot, ctypes.byref(size)) and size.value > 0:
        return float(size.value)
    return max(1.0, min(AUTO_SIZE, (height - 2 * PADDING) / _DEPTH))


def _lines(text: str, box: tuple[float, float, float, float], size: float, multiline: bool,
           upright: bool) -> list[Run]:
    x0, y0, x1, y1 = box
    if not upright:  # a rotated page: the whole value along the box, as one line
        return [(" ".join(text.split()), x0, y0, x1, y1)]
    if multiline:
        width = max(1, int((x1 - x0 - 2 * PADDING) / (ADVANCE * size)))  # characters a line holds
        lines = [wrapped for paragraph in text.splitlines()
                 for wrapped in textwrap.wrap(paragraph, width) or [""]]
    else:
        lines = [" ".join(text.splitlines())]
    height = size * _DEPTH
    top = y0 + PADDING if multiline else (y0 + y1 - height) / 2
    runs = []
    for number, line in enumerate(lines):
        line = line.rstrip()
        if not line:
            continue
        start = x0 + PADDING
        end = min(x1 - PADDING, start + ADVANCE * size * len(line))
        line_top = top + number * LINE_HEIGHT * size
        runs.append((line, start, line_top, max(end, start + 1.0), line_top + height))
    return runs


def _free_text(annot: Any, crop: tuple[float, float, float, float], rotation: int) -> list[Run]:
    box, text = bbox_of(annot, crop), annotation_string(annot, b"Contents")
    if box is None or not text:
        return []
    size = _TF.search(annotation_string(annot, b"DA") or "")
    return _lines(text, box, float(size[1]) if size else FREE_TEXT_SIZE, True, rotation == 0)


def shown_runs(formenv: Any, page: Any, crop: tuple[float, float, float, float],
               rotation: int) -> list[Run]:
    """The runs of the page's filled fields (none without ``formenv``, the form
    environment) and free-text annotations, in annotation order."""
    runs: list[Run] = []
    for annot in Annots(page):
        subtype = raw.FPDFAnnot_GetSubtype(annot)
        if subtype == raw.FPDF_ANNOT_FREETEXT:
            runs += _free_text(annot, crop, rotation)
        if subtype not in WIDGETS or formenv is None:
            continue
        kind = FIELD_TYPES.get(int(raw.FPDFAnnot_GetFormFieldType(formenv, annot)))
        box = bbox_of(annot, crop)
        if kind is None or box is None:
            continue
        value = field_value(formenv, annot, kind)
        size = _font_size(formenv, annot, box[3] - box[1])
        if value is True:  # the mark at the field's type size, centred in its box
            side = min(box[2] - box[0], box[3] - box[1], size * _DEPTH)
            x, y = (box[0] + box[2] - side) / 2, (box[1] + box[3] - side) / 2
            runs.append((CHECKED, x, y, x + side, y + side))
        elif isinstance(value, (str, list)) and value:
            text = value if isinstance(value, str) else ", ".join(value)
            multiline = kind == "text" and bool(
                int(raw.FPDFAnnot_GetFormFieldFlags(formenv, annot)) & _MULTILINE)
            runs += _lines(text, box, size, multiline, rotation == 0)
    return runs
