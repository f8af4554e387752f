"""``textloom text``: the text of PDFs on stdout (or ``-o``), every page in reading order."""

from __future__ import annotations

import argparse

from textloom._batch.work import plan_text, text_piece
from textloom._cli.stream import input_files, output, run_options, stream
from textloom._options import ReadOptions
from textloom._sample import sample_path


def run(args: argparse.Namespace) -> int:
    options = ReadOptions(format=args.format, sort=args.sort, pages=args.pages,
                          password=args.password, dehyphenate=args.dehyphenate,
                          ligatures=args.ligatures, offpage=args.offpage, forms=args.forms,
                          tables=args.tables,
                          ocr=args.ocr, ocr_dpi=args.ocr_dpi, ocr_language=args.ocr_language,
                          jsonl=args.jsonl)
    files = input_files(args.paths) if args.paths else [str(sample_path())]
    with output(args.output) as out:
        return stream(files, plan_text, text_piece, options, run_options(args), out,
                      quiet=args.quiet)
