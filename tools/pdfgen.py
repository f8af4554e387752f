"""Writes small PDFs with exact text geometry for the tests.

Every run of text is its own BT/ET with an explicit text matrix, so the tests
know each character's origin, size and direction to the last bit. Two fonts:
the standard Helvetica (WinAnsi, not embedded) and a Type0 font ``U`` whose
character codes are Unicode code points (two bytes, BMP) with a ToUnicode map,
so any BMP text can be placed without a font program; its glyphs are 600 units
wide unless the writer is told otherwise. A code can map to several characters
(``U`` with ``expand={0xFB01: "fi"}``), which is how PDF ligatures look.
Pages can carry link annotations to a URI or to a position on a page.
"""

from __future__ import annotations

import zlib
from dataclasses import dataclass, field


def _pdf_string(data: bytes) -> bytes:
    return b"<" + data.hex().encode() + b">"


def _num(value: float) -> str:
    text = f"{value:.6f}".rstrip("0").rstrip(".")
    return text if text not in ("", "-0") else "0"


@dataclass
class Run:
    text: str
    x: float
    y: float
    size: float = 12.0
    font: str = "F1"  # F1 Helvetica, U the Unicode font
    matrix: tuple[float, float, float, float] = (1.0, 0.0, 0.0, 1.0)
    kerning: list | None = None  # TJ array items: str or number (thousandths of an em)
    color: tuple[float, float, float] | None = None
    char_spacing: float = 0.0
    word_spacing: float = 0.0
    render_mode: int = 0  # 3: invisible, as OCR layers are drawn


@dataclass
class Link:
    rect: tuple[float, float, float, float]  # l, b, r, t in PDF user space
    uri: str | None = None
    page: int | None = None  # target page index, with an /XYZ destination at (left, top)
    left: float = 0.0
    top: float = 0.0


@dataclass
class Page:
    width: float = 612.0
    height: float = 792.0
    rotate: int = 0
    crop: tuple[float, float, float, float] | None = None  # l, b, r, t
    media_origin: tuple[float, float] = (0.0, 0.0)
    runs: list[Run] = field(default_factory=list)
    raw: list[bytes] = field(default_factory=list)
    links: list[Link] = field(default_factory=list)

    def text(self, x: float, y: float, text: str, **kwargs) -> Run:
        run = Run(text, x, y, **kwargs)
        self.runs.append(run)
        return run

    def link(self, rect: tuple[float, float, float, float], uri: str | None = None,
             page: int | None = None, left: float = 0.0, top: float = 0.0) -> Link:
        link = Link(rect, uri, page, left, top)
        self.links.append(link)
        return link


class PdfWriter:
    def __init__(self, unicode_width: int = 600, expand: dict[int, str] | None = None,
                 widths: dict[int, int] | None = None,
                 unicode_metrics: tuple[int, int] = (800, -200)):
        self.pages: list[Page] = []
        self.unicode_width = unicode_width
        self.unicode_metrics = unicode_metrics  # the U font's Ascent and Descent
        self.expand = dict(expand or {})
        self.widths = dict(widths or {})

    def page(self, **kwargs) -> Page:
        page = Page(**kwargs)
        self.pages.append(page)
        return page

    # -- encoding ---------------------------------------------------------------

    def _encode(self, run_font: str, text: str) -> bytes:
        if run_font == "U":
            out = bytearray()
            for ch in text:
                code = ord(ch)
                if code > 0xFFFF:
                    raise ValueError("the Unicode test font holds the BMP only")
                out += code.to_bytes(2, "big")
            return bytes(out)
        return text.encode("cp1252")

    def _content(self, page: Page) -> bytes:
        ops: list[bytes] = []
        spacing = (0.0, 0.0)  # Tc and Tw stay set across text objects: reset where a run differs
        for run in page.runs:
            a, b, c, d = run.matrix
            parts = ["BT"]
            if run.color is not None:
                parts.append(" ".join(_num(v) for v in run.color) + " rg")
            parts.append(f"/{run.font} {_num(run.size)} Tf")
            if run.char_spacing != spacing[0]:
                parts.append(f"{_num(run.char_spacing)} Tc")
            if run.word_spacing != spacing[1]:
                parts.append(f"{_num(run.word_spacing)} Tw")
            spacing = (run.char_spacing, run.word_spacing)
            if run.render_mode:
                parts.append(f"{run.render_mode} Tr")
            parts.append(f"{_num(a)} {_num(b)} {_num(c)} {_num(d)} {_num(run.x)} {_num(run.y)} Tm")
            line = " ".join(parts).encode()
            if run.kerning is not None:
                items = []
                for item in run.kerning:
                    if isinstance(item, str):
                        items.append(_pdf_string(self._encode(run.font, item)))
                    else:
                        items.append(_num(item).encode())
                line += b" [" + b" ".join(items) + b"] TJ ET"
            else:
                line += b" " + _pdf_string(self._encode(run.font, run.text)) + b" Tj ET"
            ops.append(line)
        ops.extend(page.raw)
        return b"\n".join(ops) + b"\n"

    def _used_codes(self) -> list[int]:
        codes = set(self.expand)
        for page in self.pages:
            for run in page.runs:
                if run.font != "U":
                    continue
                pieces = run.kerning if run.kerning is not None else [run.text]
                for piece in pieces:
                    if isinstance(piece, str):
                        codes.update(ord(ch) for ch in piece)
        return sorted(codes)

    def _to_unicode(self, codes: list[int]) -> bytes:
        lines = [
            b"/CIDInit /ProcSet findresource begin 12 dict begin begincmap",
            b"/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def",
            b"/CMapName /Adobe-Identity-UCS def /CMapType 2 def",
            b"1 begincodespacerange <0000> <FFFF> endcodespacerange",
        ]
        for start in range(0, len(codes), 100):
            chunk = codes[start:start + 100]
            lines.append(f"{len(chunk)} beginbfchar".encode())
            for code in chunk:
                target = self.expand.get(code, chr(code))
                utf16 = target.encode("utf-16-be")
                lines.append(b"<" + f"{code:04X}".encode() + b"> <" + utf16.hex().upper().encode() + b">")
            lines.append(b"endbfchar")
        lines.append(b"endcmap CMapName currentdict /CMap defineresource pop end end")
        return b"\n".join(lines)

    @staticmethod
    def _link(link: Link, kids: list[int]) -> bytes:
        rect = " ".join(_num(v) for v in link.rect)
        if link.uri is not None:
            target = b"/A << /S /URI /URI " + _pdf_string(link.uri.encode("latin-1")) + b" >>"
        else:
            assert link.page is not None
            target = (f"/Dest [{kids[link.page]} 0 R /XYZ {_num(link.left)} {_num(link.top)} 0]"
                      .encode())
        return f"<< /Type /Annot /Subtype /Link /Rect [{rect}] /Border [0 0 0] ".encode() + target + b" >>"

    # -- file -------------------------------------------------------------------

    def tobytes(self) -> bytes:
        objects: list[bytes] = []

        def add(body: bytes) -> int:
            objects.append(body)
            return len(objects)

        def stream(data: bytes, extra: bytes = b"") -> bytes:
            packed = zlib.compress(data)
            return (b"<< /Length " + str(len(packed)).encode() + b" /Filter /FlateDecode " + extra
                    + b">>\nstream\n" + packed + b"\nendstream")

        catalog = add(b"")
        pages_obj = add(b"")
        helvetica = add(b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica "
                        b"/Encoding /WinAnsiEncoding >>")
        codes = self._used_codes()
        to_unicode = add(stream(self._to_unicode(codes)))
        widths = b" ".join(f"{code} [{self.widths[code]}]".encode() for code in sorted(self.widths))
        ascent, descent = self.unicode_metrics
        descriptor = add(b"<< /Type /FontDescriptor /FontName /TestUnicode /Flags 4 "
                         + f"/FontBBox [0 {descent} 1000 {ascent}] /ItalicAngle 0 /Ascent {ascent} "
                           f"/Descent {descent} ".encode()
                         + b"/CapHeight 700 /StemV 80 >>")
        cid_font = add(b"<< /Type /Font /Subtype /CIDFontType2 /BaseFont /TestUnicode "
                       b"/CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> "
                       b"/FontDescriptor " + f"{descriptor} 0 R".encode()
                       + b" /DW " + str(self.unicode_width).encode()
                       + b" /W [" + widths + b"] /CIDToGIDMap /Identity >>")
        unicode_font = add(b"<< /Type /Font /Subtype /Type0 /BaseFont /TestUnicode "
                           b"/Encoding /Identity-H /DescendantFonts [" + f"{cid_font} 0 R".encode()
                           + b"] /ToUnicode " + f"{to_unicode} 0 R".encode() + b" >>")
        resources = (f"<< /Font << /F1 {helvetica} 0 R /U {unicode_font} 0 R >> >>").encode()

        kids = [add(b"") for _ in self.pages]  # numbered first: links point at pages
        for kid, page in zip(kids, self.pages):
            content = add(stream(self._content(page)))
            ox, oy = page.media_origin
            box = f"/MediaBox [{_num(ox)} {_num(oy)} {_num(ox + page.width)} {_num(oy + page.height)}]"
            if page.crop is not None:
                box += " /CropBox [" + " ".join(_num(v) for v in page.crop) + "]"
            if page.rotate:
                box += f" /Rotate {page.rotate}"
            annots = [add(self._link(link, kids)) for link in page.links]
            if annots:
                box += " /Annots [" + " ".join(f"{a} 0 R" for a in annots) + "]"
            objects[kid - 1] = (f"<< /Type /Page /Parent {pages_obj} 0 R {box} /Resources ".encode()
                                + resources + f" /Contents {content} 0 R >>".encode())
        objects[catalog - 1] = f"<< /Type /Catalog /Pages {pages_obj} 0 R >>".encode()
        objects[pages_obj - 1] = (f"<< /Type /Pages /Count {len(kids)} /Kids ["
                                  + " ".join(f"{k} 0 R" for k in kids) + "] >>").encode()

        out = bytearray(b"%PDF-1.7\n%\xe2\xe3\xcf\xd3\n")
        offsets = []
        for number, body in enumerate(objects, start=1):
            offsets.append(len(out))
            out += f"{number} 0 obj\n".encode() + body + b"\nendobj\n"
        xref = len(out)
        out += f"xref\n0 {len(objects) + 1}\n0000000000 65535 f \n".encode()
        for offset in offsets:
            out += f"{offset:010d} 00000 n \n".encode()
        out += (f"trailer\n<< /Size {len(objects) + 1} /Root {catalog} 0 R >>\n"
                f"startxref\n{xref}\n%%EOF\n").encode()
        return bytes(out)

    def save(self, path) -> None:
        with open(path, "wb") as handle:
            handle.write(self.tobytes())
