"""Link annotations of a page, and the targets of PDF actions and destinations.

One reader for every consumer (``Page.links``, the outline, text exporters):
a link is its box in page space (origin at the crop box's top-left corner,
y down, as every text coordinate) with a URI or a target page index.
Callers hold the PDFium lock.
"""

from __future__ import annotations

import ctypes
from typing import Any

import pypdfium2.raw as raw

from textloom._types import Link


def dest_page(document: Any, dest: Any) -> int | None:
    """Page index a destination points to, or None."""
    if not dest:
        return None
    index = int(raw.FPDFDest_GetDestPageIndex(document, dest))
    return index if index >= 0 else None


def action_target(document: Any, action: Any) -> tuple[str | None, int | None]:
    """(URI, page index) of a URI or go-to action; (None, None) for any other."""
    if not action:
        return None, None
    kind = raw.FPDFAction_GetType(action)
    if kind == raw.PDFACTION_URI:
        size = int(raw.FPDFAction_GetURIPath(document, action, None, 0))
        buffer = ctypes.create_string_buffer(size)
        raw.FPDFAction_GetURIPath(document, action, buffer, size)
        return buffer.value.decode("utf-8", "replace") or None, None
    if kind == raw.PDFACTION_GOTO:
        return None, dest_page(document, raw.FPDFAction_GetDest(document, action))
    return None, None


def read_links(document: Any, page: Any, crop: tuple[float, float, float, float]) -> list[Link]:
    """The page's links that lead somewhere, in annotation order; ``crop`` is the
    page's crop box (left, bottom, right, top) in PDF user space."""
    left, top = crop[0], crop[3]
    links: list[Link] = []
    position = ctypes.c_int(0)
    link = raw.FPDF_LINK()
    rect = raw.FS_RECTF()
    while raw.FPDFLink_Enumerate(page, ctypes.byref(position), ctypes.byref(link)):
        if not raw.FPDFLink_GetAnnotRect(link, rect):
            continue
        action = raw.FPDFLink_GetAction(link)
        if action:
            uri, target = action_target(document, action)
        else:
            uri, target = None, dest_page(document, raw.FPDFLink_GetDest(document, link))
        if uri is None and target is None:
            continue
        x0, x1 = sorted((rect.left, rect.right))
        y0, y1 = sorted((rect.bottom, rect.top))
        links.append(Link((x0 - left, top - y1, x1 - left, top - y0), uri, target))
    return links
