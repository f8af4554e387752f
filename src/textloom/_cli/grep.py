"""``textloom grep``: the matches of a phrase or pattern in PDFs, page by page,
with grep's exit statuses: 0 something matched, 1 nothing did, 2 an error."""

from __future__ import annotations

import argparse

from textloom._batch.work import grep_piece, plan_grep
from textloom._cli.errors import EXIT_OK, EXIT_USAGE, UsageError
from textloom._cli.stream import input_files, output, run_options, stream
from textloom._options import GrepOptions, ReadOptions, check_query

NOTHING_MATCHED = 1


def run(args: argparse.Namespace) -> int:
    try:
        pattern = check_query(args.pattern)
        if args.regex:  # a bad pattern is the command's mistake, said once
            from textloom import _native

            _native.find_pattern(pattern, "")
    except ValueError as error:
        raise UsageError(f"{error}: {args.pattern!r}") from None
    search = GrepOptions(pattern, regex=args.regex, case=not args.ignore_case, words=args.words,
                         counting=args.count, line_number=args.line_number, context=args.context)
    options = ReadOptions(sort=args.sort, pages=args.pages, password=args.password, ocr=args.ocr,
                          ocr_dpi=args.ocr_dpi, ocr_language=args.ocr_language, jsonl=args.jsonl,
                          grep=search)
    hits = [0]
    with output(args.output) as out:
        status = stream(input_files(args.paths), plan_grep, grep_piece, options,
                        run_options(args), out, quiet=args.quiet, hits=hits)
    if status != EXIT_OK:
        return EXIT_USAGE  # grep's status for an error: 2, whatever matched
    return EXIT_OK if hits[0] else NOTHING_MATCHED
