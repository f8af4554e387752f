"""Memory over many OCR'd pages in one process: the resident set after every
``--every`` pages of a scanned document read with ``ocr="always"``.

    python bench/ocr_memory.py [--pages 1000] [--every 100] [--dpi 300]

The scan is the bundled sample's first page rendered to an image-only PDF of
one page, opened afresh for each page read, as a worker reads file after file.
"""

from __future__ import annotations

import argparse
import io
import resource
import time

import textloom


def resident_mib() -> float:
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * resource.getpagesize() / 2**20


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--pages", type=int, default=1000)
    parser.add_argument("--every", type=int, default=100)
    parser.add_argument("--dpi", type=float, default=300)
    options = parser.parse_args()
    with textloom.open(textloom.sample_path()) as doc:
        out = io.BytesIO()
        doc[0].render(dpi=150).to_pil().save(out, format="PDF", resolution=150)
    scan = out.getvalue()
    began = time.perf_counter()
    for number in range(1, options.pages + 1):
        with textloom.open(scan, ocr_dpi=options.dpi) as page_doc:
            page_doc[0].get_text(ocr="always")
        if number % options.every == 0 or number == 1:
            print(f"{number} pages: {resident_mib():.1f} MiB resident, "
                  f"{(time.perf_counter() - began) / number:.3f} s a page", flush=True)


if __name__ == "__main__":
    main()
