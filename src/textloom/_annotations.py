"""A page's annotations and form fields, read through PDFium's annotation and
form-fill API (pypdfium2's raw binding). Callers hold the PDFium lock.

Boxes are in page space, as every text coordinate. Damage is skipped, never
raised: an annotation whose rectangle is not finite, a widget without a
field; texts are cut at ``MAX_TEXT`` characters.
"""

from __future__ import annotations

import ctypes
import math
from typing import Any

import pypdfium2.raw as raw

from textloom._metadata import pdf_date_to_iso
from textloom._types import Annotation, FormField, Rect

MAX_TEXT = 100_000
"""Characters kept of one annotation's or field's text: a page of prose is a
few thousand; megabytes in a note are damage or a dump, not a comment. The
page's text cuts the values it shows at the same count (kMostShownChars)."""

# FPDF_ANNOT_* values, in their order, by the subtype names PDF gives them.
SUBTYPES = ("Unknown", "Text", "Link", "FreeText", "Line", "Square", "Circle", "Polygon",
            "PolyLine", "Highlight", "Underline", "Squiggly", "StrikeOut", "Stamp", "Caret", "Ink",
            "Popup", "FileAttachment", "Sound", "Movie", "Widget", "Screen", "PrinterMark",
            "TrapNet", "Watermark", "3D", "RichMedia", "XFAWidget", "Redact")
# FPDF_FORMFIELD_* values; the XFA kinds (8 and up) read as the kinds they stand for.
FIELD_TYPES = {1: "button", 2: "checkbox", 3: "radio", 4: "combo", 5: "list", 6: "text",
               7: "signature", 8: "unknown", 9: "checkbox", 10: "combo", 11: "button",
               12: "checkbox", 13: "button", 14: "list", 15: "signature", 16: "text"}
_READ_ONLY = 1  # bit 1 of a field's /Ff
WIDGETS = (raw.FPDF_ANNOT_WIDGET, raw.FPDF_ANNOT_XFAWIDGET)


def _utf16(getter: Any, *args: Any) -> str | None:
    """The text a PDFium getter writes as UTF-16LE: ``getter(*args, buffer, size)``
    returns the bytes the whole text needs, its NUL included (and writes nothing
    into a smaller buffer); None when it is empty. Kept: ``MAX_TEXT`` characters."""
    size = int(getter(*args, None, 0))
    if size <= 2:
        return None
    buffer = ctypes.create_string_buffer(size)
    getter(*args, ctypes.cast(buffer, getter.argtypes[-2]), size)  # FPDF_WCHAR* or void*
    text = buffer.raw[:min(size - 2, 2 * MAX_TEXT)].decode("utf-16-le", "replace").rstrip("\0")
    return text or None


def bbox_of(annot: Any, crop: tuple[float, float, float, float]) -> Rect | None:
    rect = raw.FS_RECTF()
    if not raw.FPDFAnnot_GetRect(annot, rect):
        return None
    x0, x1 = sorted((rect.left, rect.right))
    y0, y1 = sorted((rect.bottom, rect.top))
    box = (x0 - crop[0], crop[3] - y1, x1 - crop[0], crop[3] - y0)
    return box if all(math.isfinite(value) for value in box) else None


def annotation_string(annot: Any, key: bytes) -> str | None:
    return _utf16(raw.FPDFAnnot_GetStringValue, annot, key)


class Annots:
    """The page's annotations, each closed after it is read."""

    def __init__(self, page: Any) -> None:
        self.page = page

    def __iter__(self) -> Any:
        for index in range(max(0, int(raw.FPDFPage_GetAnnotCount(self.page)))):
            annot = raw.FPDFPage_GetAnnot(self.page, index)
            if not annot:
                continue
            try:
                yield annot
            finally:
                raw.FPDFPage_CloseAnnot(annot)


def field_value(formenv: Any, annot: Any, kind: str) -> str | bool | list[str] | None:
    if kind in ("checkbox", "radio"):
        return bool(raw.FPDFAnnot_IsChecked(formenv, annot))
    text = _utf16(raw.FPDFAnnot_GetFormFieldValue, formenv, annot)
    if kind in ("combo", "list"):
        count = max(0, int(raw.FPDFAnnot_GetOptionCount(formenv, annot)))
        chosen = []
        for option in range(min(count, MAX_TEXT)):
            if raw.FPDFAnnot_IsOptionSelected(formenv, annot, option):
                chosen.append(_utf16(raw.FPDFAnnot_GetOptionLabel, formenv, annot, option) or "")
        return chosen or ([text] if text else [])  # an editable combo box's own text
    return text if kind == "text" else None


def read_form_fields(formenv: Any, page: Any, crop: tuple[float, float, float, float]) -> list[FormField]:
    """The page's widgets that belong to a form field, in annotation order."""
    fields = []
    for annot in Annots(page):
        if raw.FPDFAnnot_GetSubtype(annot) not in WIDGETS:
            continue
        kind = FIELD_TYPES.get(int(raw.FPDFAnnot_GetFormFieldType(formenv, annot)))
        box = bbox_of(annot, crop)
        if kind is None or box is None:  # a widget without a field, or a box of damage
            continue
        name = _utf16(raw.FPDFAnnot_GetFormFieldName, formenv, annot)
        flags = int(raw.FPDFAnnot_GetFormFieldFlags(formenv, annot))
        fields.append(FormField(name or "", kind, field_value(formenv, annot, kind), box,
                                bool(flags & _READ_ONLY)))
    return fields


def _make_appearances(page: Any) -> None:
    """Has PDFium make the appearances the file leaves out, as drawing annotations
    does, where they show nothing: making one sets the annotation's rectangle to
    the one it draws in (a 20-point icon for a note, the reach of an ink's strokes)."""
    bitmap = raw.FPDFBitmap_Create(1, 1, 0)
    if not bitmap:
        raise MemoryError("cannot create a 1x1 bitmap")
    try:  # the page moved 2 pixels past the bitmap's corner: nothing of it is drawn
        raw.FPDF_RenderPageBitmapWithMatrix(bitmap, page, raw.FS_MATRIX(1, 0, 0, 1, 2, 2),
                                            raw.FS_RECTF(0, 0, 1, 1), raw.FPDF_ANNOT)
    finally:
        raw.FPDFBitmap_Destroy(bitmap)


def read_annotations(document: Any, page: Any, crop: tuple[float, float, float, float]) -> list[Annotation]:
    """The page's annotations, in annotation order (form widgets among them), with
    the rectangles a rendering gives them, rendered first or not."""
    from textloom._links import action_target

    _make_appearances(page)
    found = []
    for annot in Annots(page):
        box = bbox_of(annot, crop)
        if box is None:
            continue
        subtype = int(raw.FPDFAnnot_GetSubtype(annot))
        modified = annotation_string(annot, b"M")
        uri = target = None
        if subtype == raw.FPDF_ANNOT_LINK:
            link = raw.FPDFAnnot_GetLink(annot)
            uri, target = action_target(document, raw.FPDFLink_GetAction(link)) if link else (None, None)
            if link and uri is None and target is None:
                from textloom._links import dest_page

                target = dest_page(document, raw.FPDFLink_GetDest(document, link))
        # A widget's /T is its field's name; a markup annotation's, its author.
        author = None if subtype in WIDGETS else annotation_string(annot, b"T")
        found.append(Annotation(SUBTYPES[subtype] if 0 <= subtype < len(SUBTYPES) else "Unknown", box,
                                annotation_string(annot, b"Contents"), author,
                                pdf_date_to_iso(modified) if modified else None, uri, target))
    return found
