"""``textloom tables``: the tables of PDFs on stdout (or ``-o``), page by page."""

from __future__ import annotations

import argparse

from textloom._batch.work import plan_tables, tables_piece
from textloom._cli.stream import input_files, output, run_options, stream
from textloom._options import TABLE_FORMATS, ReadOptions


def run(args: argparse.Namespace) -> int:
    options = ReadOptions.checked(formats=TABLE_FORMATS, format=args.format, pages=args.pages,
                                  password=args.password, strategy=args.strategy, ocr=args.ocr,
                                  ocr_dpi=args.ocr_dpi, ocr_language=args.ocr_language,
                                  jsonl=args.jsonl)
    with output(args.output) as out:
        return stream(input_files(args.paths), plan_tables, tables_piece, options,
                      run_options(args), out, quiet=args.quiet)
