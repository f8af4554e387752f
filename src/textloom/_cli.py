"""The command line: ``textloom text|extract|render|info`` (also ``python -m textloom``).

Exit status: 0 when every input worked, 1 when one failed (each failure is
one line on stderr naming the file), 2 for usage errors. Without a command,
``text`` is meant; without files, the bundled sample.
"""

from __future__ import annotations

import argparse
import contextlib
import os
import sys
from collections.abc import Iterator, Sequence
from pathlib import Path
from typing import IO, Any

from textloom import __version__
from textloom._cli_format import FORMATS, SORTS, TextOptions, to_json
from textloom._cli_pages import PageRanges, parse_page_ranges
from textloom._inputs import list_inputs

SAMPLE = Path(__file__).with_name("sample.pdf")
COMMANDS = ("text", "extract", "render", "info")
EXTRACT_FORMATS = ("text", "words", "dict")  # the payloads of the Parquet schema


def _positive(kind: type[int] | type[float]) -> Any:
    def convert(text: str) -> int | float:
        try:
            value = kind(text)
        except ValueError:
            raise argparse.ArgumentTypeError(f"not a number: {text!r}") from None
        if not value > 0:
            raise argparse.ArgumentTypeError(f"must be above 0: {text!r}")
        return value
    return convert


def _page_ranges(text: str) -> PageRanges:
    try:
        return parse_page_ranges(text)
    except ValueError as error:
        raise argparse.ArgumentTypeError(str(error)) from None


def _default_jobs() -> int:
    affinity = getattr(os, "sched_getaffinity", None)
    return len(affinity(0)) if affinity else os.cpu_count() or 1


def _parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(
        prog="textloom", description="Text, words and renderings of PDF pages, on every core.",
        epilog="Without a command, 'text' is meant. Exit status: 0 all inputs done, "
               "1 some input failed, 2 usage error.")
    parser.add_argument("--version", action="version", version=f"textloom {__version__}")
    commands = parser.add_subparsers(dest="command", required=True, metavar="COMMAND")

    workers = argparse.ArgumentParser(add_help=False)
    workers.add_argument("--jobs", "-j", type=_positive(int), default=_default_jobs(), metavar="N",
                         help="worker processes (default: the number of cores)")
    workers.add_argument("--timeout", type=_positive(float), default=300.0, metavar="S",
                         help="seconds one file may take before it counts as failed (default 300)")
    workers.add_argument("--password", metavar="PW", help="password of encrypted PDFs")

    jobs = argparse.ArgumentParser(add_help=False, parents=[workers])
    jobs.add_argument("--quiet", "-q", action="store_true", help="no progress bar")
    jobs.add_argument("--jsonl", action="store_true",
                      help="one JSON object per page (per file for info); a failed file "
                           "gets an object with its 'error'")

    pages = argparse.ArgumentParser(add_help=False)
    pages.add_argument("--pages", type=_page_ranges, metavar="RANGES",
                       help="1-based pages like 1-3,7,10-N (N: the last page); pages past "
                            "a file's end are skipped")
    pages.add_argument("--dehyphenate", action="store_true",
                       help="join words split by a hyphen at a line end")

    text = commands.add_parser(
        "text", parents=[jobs, pages], help="print the text of PDFs",
        description="Print the text of every page, in reading order. A directory stands for "
                    "every *.pdf below it. Pages end with a form feed; words and blocks are "
                    "tab-separated rows (page, x0, y0, x1, y1, numbers, text); dict, rawdict "
                    "and pdftext are JSON, a page per line; markdown is a file's pages as one "
                    "Markdown document (with --jsonl, a page per line).")
    text.add_argument("paths", nargs="*", metavar="PATH",
                      help="PDF files or directories (default: the bundled sample)")
    text.add_argument("--sort", choices=SORTS, default="reading",
                      help="reading order of blocks (default: reading)")
    text.add_argument("--format", choices=FORMATS, default="text", help="what to print per page")
    text.add_argument("--ligatures", action="store_true", help="keep ligatures as one character")
    text.add_argument("-o", "--output", metavar="OUT", help="write to OUT instead of stdout")

    extract = commands.add_parser(
        "extract", parents=[workers, pages], help="write the pages of PDFs to Parquet",
        description="Write a row per page to Parquet files in OUT_DIR (columns path, page, "
                    "width, height, rotation, the format's payload, error; a failed file or page "
                    "is a row with its error; a page named twice in --pages is one row). A rerun "
                    "with the same options skips the inputs already written. --timeout counts "
                    "for each part of a split file. Needs pyarrow: pip install "
                    "'textloom[parquet]'.")
    extract.add_argument("paths", nargs="+", metavar="PATH",
                         help="PDF files, directories, globs or URIs (s3://, gs://, file://)")
    extract.add_argument("-o", "--output", required=True, metavar="OUT_DIR",
                         help="folder of the Parquet files and the run's manifest")
    extract.add_argument("--engine", choices=("local", "ray"), default="local",
                         help="this machine's worker processes (default), or Ray "
                              "(pip install 'textloom[ray]')")
    extract.add_argument("--address", metavar="ADDR",
                         help="the Ray cluster to join (default: $RAY_ADDRESS, else a Ray "
                              "started here)")
    extract.add_argument("--format", choices=EXTRACT_FORMATS, default="text",
                         help="the payload: text, words (list columns) or dict (JSON)")
    extract.add_argument("--sort", choices=SORTS, default="xycut",
                         help="reading order of blocks (default: xycut)")
    extract.add_argument("--pages-per-task", type=_positive(int), default=64, metavar="N",
                         help="files of more pages are split into parts of N pages, run "
                              "apart; small files are grouped into tasks of N pages (default 64)")
    extract.add_argument("--overwrite", action="store_true",
                         help="replace what OUT_DIR holds from earlier runs")
    extract.add_argument("--rows-per-file", type=_positive(int), default=10000, metavar="N",
                         help="rows per Parquet file (default 10000); each file is written "
                              "when full, or after a minute, so an interrupted run loses little")

    render = commands.add_parser("render", help="render a page to PNG")
    render.add_argument("path", metavar="PATH")
    render.add_argument("--page", type=_positive(int), required=True, metavar="N",
                        help="1-based page number")
    size = render.add_mutually_exclusive_group()
    size.add_argument("--scale", type=_positive(float), metavar="S", help="pixels per point")
    size.add_argument("--dpi", type=_positive(float), metavar="D", help="dots per inch (72: scale 1)")
    render.add_argument("--password", metavar="PW", help="password of an encrypted PDF")
    render.add_argument("-o", "--output", metavar="OUT",
                        help="PNG to write (default: <name>-<page>.png here)")

    info = commands.add_parser("info", parents=[jobs], help="pages, page sizes and metadata")
    info.add_argument("paths", nargs="+", metavar="PATH", help="PDF files or directories")
    return parser


class _Reporter:
    """Progress bar (tqdm, only on a terminal) and one stderr line per failed file."""

    def __init__(self, total: int, quiet: bool) -> None:
        self.bar: Any = None
        if not quiet and sys.stderr.isatty():
            try:
                from tqdm import tqdm
            except ImportError:  # installed without its dependencies: no bar
                return
            tqdm.monitor_interval = 0  # no monitor thread: workers are forked later
            self.bar = tqdm(total=total, unit="file", file=sys.stderr, leave=False)

    def fail(self, path: str, reason: str) -> None:
        line = f"textloom: {path}: {reason}"
        if self.bar is not None:
            self.bar.write(line, file=sys.stderr)
        else:
            print(line, file=sys.stderr, flush=True)

    def done(self) -> None:
        if self.bar is not None:
            self.bar.update()

    def close(self) -> None:
        if self.bar is not None:
            self.bar.close()


def _run_files(files: list[str], work: Any, options: Any, args: argparse.Namespace,
               out: IO[bytes]) -> int:
    from textloom._cli_jobs import describe
    from textloom._pool import run_in_order

    reporter = _Reporter(len(files), args.quiet)
    failed = False
    try:
        for event in run_in_order(files, work, options, describe, jobs=args.jobs,
                                  timeout=args.timeout):
            out.write(event.output)
            if event.done:
                if event.error is not None:
                    failed = True
                    reporter.fail(event.path, event.error)
                    if args.jsonl:
                        out.write((to_json({"file": event.path, "error": event.error}) + "\n")
                                  .encode("utf-8", "replace"))
                out.flush()
                reporter.done()
    finally:
        reporter.close()
    return 1 if failed else 0


@contextlib.contextmanager
def _output(path: str | None) -> Iterator[IO[bytes]]:
    if path is None:
        yield sys.stdout.buffer
        return
    with open(path, "wb") as out:
        yield out


def _text(args: argparse.Namespace) -> int:
    from textloom._cli_jobs import text_piece

    options = TextOptions(format=args.format, sort=args.sort, dehyphenate=args.dehyphenate,
                          ligatures=args.ligatures, password=args.password, jsonl=args.jsonl,
                          pages=args.pages)
    files = list_inputs(args.paths) if args.paths else [str(SAMPLE)]
    with _output(args.output) as out:
        return _run_files(files, text_piece, options, args, out)


def _extract(args: argparse.Namespace) -> int:
    from textloom._extract import extract
    from textloom._extract_jobs import ExtractOptions

    options = ExtractOptions(format=args.format, sort=args.sort, pages=args.pages,
                             password=args.password, dehyphenate=args.dehyphenate)
    return extract(args, options)


def _info(args: argparse.Namespace) -> int:
    from textloom._cli_jobs import InfoOptions, info_piece

    options = InfoOptions(jsonl=args.jsonl, password=args.password)
    return _run_files(list_inputs(args.paths), info_piece, options, args, sys.stdout.buffer)


def _render(args: argparse.Namespace) -> int:
    import textloom

    output = args.output or f"{Path(args.path).stem}-{args.page}.png"
    try:
        with textloom.open(args.path, password=args.password) as document:
            if args.page > len(document):
                raise textloom.PdfError(args.path, f"no page {args.page}: it has {len(document)}")
            image = document[args.page - 1].render(args.scale, dpi=args.dpi)
        image.save(output)
    except (textloom.PdfError, OSError, ImportError) as error:
        reason = str(error)
        if isinstance(error, OSError):
            from textloom._cli_jobs import describe_os_error

            reason = describe_os_error(error, args.path)
        print(f"textloom: {reason}", file=sys.stderr)
        return 1
    print(f"{output}: {image.width} x {image.height} pixels", file=sys.stderr)
    return 0


def main(argv: Sequence[str] | None = None) -> int:
    """Runs the command line on ``argv`` (default: ``sys.argv[1:]``); returns the exit status."""
    arguments = list(sys.argv[1:] if argv is None else argv)
    if not arguments or arguments[0] not in (*COMMANDS, "-h", "--help", "--version"):
        arguments.insert(0, "text")
    try:
        args = _parser().parse_args(arguments)
    except SystemExit as exit:  # argparse: usage errors are 2, --help and --version 0
        return exit.code if isinstance(exit.code, int) else 2
    run = {"text": _text, "extract": _extract, "render": _render, "info": _info}[args.command]
    try:
        return run(args)
    except BrokenPipeError:  # the reader went away (| head): stop quietly
        devnull = os.open(os.devnull, os.O_WRONLY)
        os.dup2(devnull, sys.stdout.fileno())
        return 1
    except KeyboardInterrupt:
        return 130
