"""``textloom info``: pages, page sizes and metadata of PDFs."""

from __future__ import annotations

import argparse
import sys

from textloom._batch.work import plan_info
from textloom._cli.stream import input_files, run_options, stream
from textloom._options import ReadOptions


def run(args: argparse.Namespace) -> int:
    options = ReadOptions(password=args.password, jsonl=args.jsonl)
    return stream(input_files(args.paths), plan_info, None, options, run_options(args),
                  sys.stdout.buffer, quiet=args.quiet)
