"""The cost of reading filled form fields into a page's text.

    python bench/forms_bench.py [--fields 100] [--repeat 200]

A generated page of body text with ``--fields`` filled text fields: the
median CPU time of the thread (the cores are shared) of ``get_text("words")``
on a new Page of an open document, with the fields' values read (the
default) and with that reading switched off, interleaved, and the time to
open the document with its form environment (once per document); the same
for the bundled sample, a page with no annotations (where only the native
count of annotations is added). The
values are read inside the page's native extraction; "without" passes no
form environment, so the widgets are counted but not read. And the same
form page flattened (each field's value drawn into the page as text): what
the same words cost when they are no form, so the form's own share of the
cost shows apart from reading and laying out the words it adds.
"""

from __future__ import annotations

import argparse
import statistics
import sys
import time
from pathlib import Path

import textloom
from textloom._handle import DocumentHandle

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tools"))
sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "python"))
from conftest import raw_pdf, stream  # noqa: E402  (the tests' PDF builders)


def form_page(fields: int) -> bytes:
    line = b"(A line of body text above the form's fields.) Tj 0 -12 Td "
    body = b"BT /F1 10 Tf 50 760 Td " + line * 30 + b"ET"
    objects = [b"", b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>", b"",
               b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>", stream(b"", body)]
    widgets = []
    for number in range(fields):
        x, y = 50 + 130 * (number % 4), 380 - 14 * (number // 4)
        objects.append(b"<< /Type /Annot /Subtype /Widget /FT /Tx /T (f%d) /V (value %d) "
                       b"/Rect [%d %d %d %d] /P 3 0 R /DA (/Helv 9 Tf 0 g) /F 4 >>"
                       % (number, number, x, y, x + 120, y + 12))
        widgets.append(len(objects))
    refs = b" ".join(b"%d 0 R" % n for n in widgets)
    objects[0] = (b"<< /Type /Catalog /Pages 2 0 R /AcroForm << /Fields [%s] /DA (/Helv 0 Tf 0 g) "
                  b"/DR << /Font << /Helv 4 0 R >> >> >> >>" % refs)
    objects[2] = (b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 5 0 R "
                  b"/Resources << /Font << /F1 4 0 R >> >> /Annots [%s] >>" % refs)
    return raw_pdf(objects)


def timed(doc: textloom.Document) -> float:
    began = time.thread_time()
    doc[0].get_text("words")  # a new Page: its glyphs and fields read afresh
    return time.thread_time() - began


def compare(data: bytes | Path, repeat: int) -> tuple[float, float, float]:
    """Medians of the document's opening with its form environment, and of a
    page read with and without its fields' values, interleaved."""
    form_address = DocumentHandle.form_address

    def without(self: DocumentHandle) -> int:
        return 0  # no form environment: the fields are not read

    opening: list[float] = []
    with_values: list[float] = []
    plain: list[float] = []
    with textloom.open(data) as doc:
        for _ in range(repeat):
            with_values.append(timed(doc))
            DocumentHandle.form_address = without  # type: ignore[method-assign]
            plain.append(timed(doc))
            DocumentHandle.form_address = form_address  # type: ignore[method-assign]
    for _ in range(max(1, repeat // 10)):
        began = time.thread_time()
        with textloom.open(data) as doc:
            doc[0].form_fields()
        opening.append(time.thread_time() - began)
    return statistics.median(opening), statistics.median(with_values), statistics.median(plain)


def drawn_page(fields: int) -> bytes:
    """The page of ``form_page`` with each field's value drawn as page text in
    the field's box instead (a flattened form), in the font and size the
    fields ask for."""
    line = b"(A line of body text above the form's fields.) Tj 0 -12 Td "
    body = b"BT /F1 10 Tf 50 760 Td " + line * 30 + b"ET"
    for number in range(fields):
        x, y = 50 + 130 * (number % 4), 380 - 14 * (number // 4)
        body += b" BT /F1 9 Tf %d %d Td (value %d) Tj ET" % (x + 2, y + 3, number)
    objects = [b"<< /Type /Catalog /Pages 2 0 R >>", b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
               b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 5 0 R "
               b"/Resources << /Font << /F1 4 0 R >> >> >>",
               b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>", stream(b"", body)]
    return raw_pdf(objects)


def flat_median(data: bytes, repeat: int) -> float:
    with textloom.open(data) as doc:
        return statistics.median(timed(doc) for _ in range(repeat))


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--fields", type=int, default=100)
    parser.add_argument("--repeat", type=int, default=200)
    options = parser.parse_args()
    for name, data in ((f"{options.fields} filled fields", form_page(options.fields)),
                       ("the sample (no annotations)", textloom.sample_path())):
        opening, with_values, plain = compare(data, options.repeat)
        print(f"{name}: a page {with_values * 1e3:.3f} ms with the values, {plain * 1e3:.3f} ms "
              f"without ({(with_values / plain - 1) * 100:+.1f}%); opening the document and "
              f"its form environment {opening * 1e3:.3f} ms")
    form = form_page(options.fields)
    flat = flat_median(drawn_page(options.fields), options.repeat)
    _, with_values, _ = compare(form, options.repeat)
    with textloom.open(drawn_page(options.fields)) as doc, textloom.open(form) as live:
        same = sorted(doc[0].get_text("text").split()) == sorted(live[0].get_text("text").split())
    print(f"the same page flattened (its values drawn as page text; same words: {same}): "
          f"{flat * 1e3:.3f} ms; the form's own cost {(with_values / flat - 1) * 100:+.1f}%")


if __name__ == "__main__":
    main()
