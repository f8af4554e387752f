"""PDFium's two multiple-master substitute fonts, set to one design before pages load.

PDFium draws a non-embedded font that no system font matches with one of two
built-in multiple-master fonts (sans and serif), each shared by the whole
process. Drawing a glyph first sets its font's design (weight and width) to
fit that glyph; loading a page then measures glyph boxes in whatever design
the last glyph drawn left, and the document keeps the boxes it measured
first. Without this module a page's boxes in such a font would depend on what
had been rendered before, in any document.

``settle`` draws a width-0 glyph of normal weight in each font, which sets
both to weight 400 and their default width (0.1 to 0.2 ms). Page loads call
it; it draws only after a rendering (``unsettle``) and before the first load
of the process, as the design PDFium starts with is not one a drawing can set
again. Renderings made through pypdfium2 itself, outside this package, are
not seen. A glyph PDFium has cached draws nothing and sets nothing, so each
settling draws at a shear of its own: while a document whose substituted text
was rendered stays open, each settling keeps about 300 bytes in PDFium's glyph
cache, which goes with the last such document (bench/substitutes_bench.py).
Callers hold ``pdfium_lock``.
"""

from __future__ import annotations

_WEIGHT = 400  # the normal weight of a PDF font descriptor
_SIZE = 3  # points: glyphs that stay on the 16-pixel bitmap, moved by 4, under any shear used
# Shears step by 1e-4: PDFium's glyph cache tells transforms of a glyph this
# size apart from a few 1e-5 on (measured), so each step is a glyph of its own.
# 10,000 steps on each of two axes give 10**8 transforms before one comes back.
_SHEAR_STEP = 1e-4
_STEPS = 10_000


def _pdf() -> bytes:
    """One page with a "3" in a sans and a serif font that no system font matches."""
    objects = [b"<< /Type /Catalog /Pages 2 0 R >>", b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
               b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 8 8] /Resources << /Font << "
               b"/F0 4 0 R /F1 6 0 R >> >> /Contents 8 0 R >>"]
    for number, flags in ((4, 32), (6, 34)):  # nonsymbolic; nonsymbolic and serif
        name = f"TextloomSettle{number}"
        objects.append(f"<< /Type /Font /Subtype /TrueType /BaseFont /{name} /FirstChar 51 "
                       f"/LastChar 51 /Widths [0] /FontDescriptor {number + 1} 0 R >>".encode())
        objects.append(f"<< /Type /FontDescriptor /FontName /{name} /Flags {flags} /FontBBox "
                       f"[0 -200 1000 900] /ItalicAngle 0 /Ascent 900 /Descent -200 /CapHeight 700 "
                       f"/StemV 80 /FontWeight {_WEIGHT} >>".encode())
    content = (f"BT /F0 {_SIZE} Tf 1 0 0 1 1 3 Tm (3) Tj ET "
               f"BT /F1 {_SIZE} Tf 1 0 0 1 4 3 Tm (3) Tj ET").encode()
    objects.append(b"<< /Length %d >>\nstream\n%s\nendstream" % (len(content), content))
    data = bytearray(b"%PDF-1.7\n")
    offsets = []
    for number, body in enumerate(objects, 1):
        offsets.append(len(data))
        data += b"%d 0 obj\n%s\nendobj\n" % (number, body)
    xref = len(data)
    data += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    data += b"".join(b"%010d 00000 n \n" % offset for offset in offsets)
    data += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1,
                                                                                xref)
    return bytes(data)


class _State:
    settled = False
    count = 0  # settlings so far: the next shear
    pdf: bytes | None = None


def unsettle() -> None:
    """Marks that glyphs were drawn: the next page load settles the fonts first."""
    _State.settled = False


def settle() -> None:
    """Sets both substitute fonts to the one design, unless nothing was drawn since."""
    if _State.settled:
        return
    import ctypes

    import pypdfium2.raw as raw

    data = _State.pdf = _State.pdf or _pdf()
    step = _State.count
    _State.count += 1
    shear_x = _SHEAR_STEP * (step % _STEPS - _STEPS // 2)
    shear_y = _SHEAR_STEP * (step // _STEPS % _STEPS - _STEPS // 2)
    buffer = ctypes.create_string_buffer(data, len(data))
    document = raw.FPDF_LoadMemDocument(buffer, len(data), None)
    if not document:
        return
    page = raw.FPDF_LoadPage(document, 0)
    bitmap = raw.FPDFBitmap_Create(16, 16, 0) if page else None
    try:
        if bitmap:
            matrix = raw.FS_MATRIX(1.0, shear_y, shear_x, 1.0, 4.0, 4.0)
            raw.FPDF_RenderPageBitmapWithMatrix(bitmap, page, matrix, raw.FS_RECTF(0, 0, 16, 16), 0)
            _State.settled = True
    finally:
        if bitmap:
            raw.FPDFBitmap_Destroy(bitmap)
        if page:
            raw.FPDF_ClosePage(page)
        raw.FPDF_CloseDocument(document)
