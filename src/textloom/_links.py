"""Link annotations with their PDFium destinations, and the targets of PDF
actions and destinations, for the outline and the pdftext module.

``Page.links`` reads the same links natively with the page's glyphs (the same
rule: a URI action's URI, a go-to action's page, or the link's own
destination's page); this reader keeps each link's destination handle too.
Boxes are in page space (origin at the crop box's top-left corner, y down, as
every text coordinate). Callers hold the PDFium lock.
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


def _action_dest(document: Any, action: Any) -> tuple[str | None, Any]:
    """(URI, destination) of a URI or go-to action; (None, None) for any other."""
    if not action:
        return None, None
    kind = raw.FPDFAction_GetType(action)
    if kind == raw.PDFACTION_URI:
        size = int(raw.FPDFAction_GetURIPath(document, action, None, 0))
        buffer = ctypes.create_string_buffer(size)
        raw.FPDFAction_GetURIPath(document, action, buffer, size)
        return buffer.value.decode("utf-8", "replace") or None, None
    if kind == raw.PDFACTION_GOTO:
        return None, raw.FPDFAction_GetDest(document, action)
    return None, None


def action_target(document: Any, action: Any) -> tuple[str | None, int | None]:
    """(URI, page index) of a URI or go-to action; (None, None) for any other."""
    uri, dest = _action_dest(document, action)
    return uri, dest_page(document, dest)


def dest_point(dest: Any) -> tuple[float, float] | None:
    """The position a destination shows, (x, y) in PDF user space of its page,
    or None when it names no position (a whole-page fit, a null coordinate)."""
    has_x, has_y, has_zoom = ctypes.c_int(), ctypes.c_int(), ctypes.c_int()
    x, y, zoom = ctypes.c_float(), ctypes.c_float(), ctypes.c_float()
    if not dest or not raw.FPDFDest_GetLocationInPage(
            dest, ctypes.byref(has_x), ctypes.byref(has_y), ctypes.byref(has_zoom),
            ctypes.byref(x), ctypes.byref(y), ctypes.byref(zoom)):
        return None
    return (x.value, y.value) if has_x.value and has_y.value else None


def read_link_dests(document: Any, page: Any,
                    crop: tuple[float, float, float, float]) -> list[tuple[Link, Any]]:
    """The page's links that lead somewhere, in annotation order, each with its
    PDFium destination (None for a URI), valid while the page is open;
    ``crop`` is the page's crop box (left, bottom, right, top) in PDF user space."""
    left, top = crop[0], crop[3]
    links: list[tuple[Link, Any]] = []
    position = ctypes.c_int(0)
    link = raw.FPDF_LINK()
    rect = raw.FS_RECTF()
    while raw.FPDFLink_Enumerate(page, ctypes.byref(position), ctypes.byref(link)):
        if not raw.FPDFLink_GetAnnotRect(link, rect):
            continue
        action = raw.FPDFLink_GetAction(link)
        if action:
            uri, dest = _action_dest(document, action)
        else:
            uri, dest = None, raw.FPDFLink_GetDest(document, link)
        target = dest_page(document, dest)
        if uri is None and target is None:
            continue
        x0, x1 = sorted((rect.left, rect.right))
        y0, y1 = sorted((rect.bottom, rect.top))
        links.append((Link((x0 - left, top - y1, x1 - left, top - y0), uri, target), dest))
    return links

