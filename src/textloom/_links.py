"""Targets of PDF actions and destinations, for the outline.

A page's links are read by the native extraction with its glyphs (the same
rule: a URI action's URI, a go-to action's page, or the link's own
destination's page). Callers hold the PDFium lock.
"""

from __future__ import annotations

import ctypes
from typing import Any

import pypdfium2.raw as raw


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
