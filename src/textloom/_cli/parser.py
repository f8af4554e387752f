"""The command line's parser, built from the package's vocabulary.

Every flag is declared once here, with its check and its help, and each
command adds the flags it takes; the checks and their messages are those
of ``textloom._options``, so a bad value reads the same here as in the API.
"""

from __future__ import annotations

import argparse
from collections.abc import Callable
from typing import Any

from textloom import __version__
from textloom._options import (
    DEFAULT_OCR,
    DEFAULT_OCR_DPI,
    DEFAULT_OCR_LANGUAGE,
    DEFAULT_SORT,
    DEFAULT_TIMEOUT,
    OCR_MODES,
    ROW_FORMATS,
    SORTS,
    STRATEGIES,
    TABLE_FORMATS,
    TEXT_FORMATS,
    check_context,
    check_count,
    check_format,
    check_ocr,
    check_positive,
    check_sort,
    check_strategy,
    check_timeout,
    parse_page_ranges,
    parse_size,
)

COMMANDS = ("text", "tables", "grep", "extract", "render", "info")


def _checked(check: Callable[[str], Any]) -> Callable[[str], Any]:
    """An argparse type from a check: its error's message is argparse's."""
    def convert(text: str) -> Any:
        try:
            return check(text)
        except (ValueError, TypeError) as error:
            raise argparse.ArgumentTypeError(str(error)) from None
    return convert


def _number(text: str) -> float | str:
    """``text`` as the number a caller of the API would pass: an int when it is
    whole, so that a refusal quotes it as the API's does."""
    for kind in (int, float):
        try:
            return kind(text)
        except ValueError:
            pass
    return text  # the check words the refusal


def _whole(text: str) -> int | str:
    try:
        return int(text)
    except ValueError:
        return text


def _count(name: str) -> Callable[[str], Any]:
    """The argparse type of a whole number above 0."""
    return _checked(lambda text: check_count(name, _whole(text)))


def _positive(name: str) -> Callable[[str], Any]:
    """The argparse type of a number above 0."""
    return _checked(lambda text: check_positive(name, _number(text)))


# name -> (flags, keywords of add_argument). Defaults that depend on the
# machine (jobs, memory) are filled in by the commands.
FLAGS: dict[str, tuple[tuple[str, ...], dict[str, Any]]] = {
    "sort": (("--sort",), dict(
        type=_checked(check_sort), default=DEFAULT_SORT, metavar="|".join(SORTS),
        help=f"reading order of blocks (default: {DEFAULT_SORT}, the order a reader takes in "
             "the viewer's frame; none: the order of the page's content)")),
    "text_format": (("--format",), dict(
        dest="format", type=_checked(lambda text: check_format(text, TEXT_FORMATS)), default="text",
        metavar="|".join(TEXT_FORMATS), help="what to print per page (default: text)")),
    "row_format": (("--format",), dict(
        dest="format", type=_checked(lambda text: check_format(text, ROW_FORMATS)), default="text",
        metavar="|".join(ROW_FORMATS),
        help="the payload: text, words (list columns), dict (JSON) or tables (the page's "
             "tables as JSON) (default: text)")),
    "table_format": (("--format",), dict(
        dest="format", type=_checked(lambda text: check_format(text, TABLE_FORMATS)),
        default="markdown", metavar="|".join(TABLE_FORMATS),
        help="how each table is written (default: markdown, a pipe table)")),
    "strategy": (("--strategy",), dict(
        type=_checked(check_strategy), default="auto", metavar="|".join(STRATEGIES),
        help="find tables by their rules and the alignment of words (auto, the default), "
             "by rules only (lines) or by alignment only (text)")),
    "pages": (("--pages",), dict(
        type=_checked(parse_page_ranges), metavar="RANGES",
        help="1-based pages like 1-3,7,10-N (N: the last page); a page named twice counts "
             "once; pages past a file's end are skipped, and a file with none of them fails")),
    "password": (("--password",), dict(metavar="PW", help="password of encrypted PDFs")),
    "dehyphenate": (("--dehyphenate",), dict(
        action="store_true", help="join words split by a hyphen at a line end")),
    "ligatures": (("--ligatures",), dict(
        action="store_true", help="keep ligatures as one character")),
    "offpage": (("--offpage",), dict(
        action="store_true", help="keep the words wholly outside the crop box, which no viewer "
                                  "shows (left out by default)")),
    "forms": (("--no-forms",), dict(
        action="store_false", dest="forms", help="leave out the values of filled form fields "
                                                 "(read as text in their boxes by default)")),
    "tables": (("--no-tables",), dict(
        action="store_false", dest="tables", help="write the tables Markdown finds as their lines "
                                                  "(pipe tables by default)")),
    "ocr": (("--ocr",), dict(
        type=_checked(check_ocr), default=DEFAULT_OCR, metavar="|".join(OCR_MODES),
        help="read pages by OCR where they need it and Tesseract is installed (auto, the "
             "default), every page (always), or none (never)")),
    "ocr_dpi": (("--ocr-dpi",), dict(
        type=_positive("ocr-dpi"), default=DEFAULT_OCR_DPI, metavar="DPI",
        help=f"resolution pages are read by OCR at (default {DEFAULT_OCR_DPI:g})")),
    "ocr_language": (("--ocr-language",), dict(
        default=DEFAULT_OCR_LANGUAGE, metavar="LANG",
        help=f"Tesseract's language of OCR, like deu or eng+fra (default {DEFAULT_OCR_LANGUAGE})")),
    "jobs": (("--jobs", "-j"), dict(
        type=_count("jobs"), metavar="N",
        help="worker processes (default: the number of cores)")),
    "timeout": (("--timeout",), dict(
        type=_checked(lambda text: check_timeout(_number(text))), default=DEFAULT_TIMEOUT,
        metavar="S", help=f"seconds one page may take before it counts as failed "
                          f"(default {DEFAULT_TIMEOUT:g})")),
    "max_memory": (("--max-memory",), dict(
        type=_checked(parse_size), metavar="SIZE",
        help="memory one worker may hold, like 2G; a page that needs more fails alone "
             "(default: each worker's share of three quarters of this machine's memory)")),
    "quiet": (("--quiet", "-q"), dict(
        action="store_true", help="no progress bar and no summary line")),
    "jsonl": (("--jsonl",), dict(
        action="store_true", help="one JSON object per page (per file for info); a failed page "
                                  "or file gets an object with its 'error' and 'error_kind'")),
}


def add_flags(parser: argparse.ArgumentParser, *names: str) -> None:
    for name in names:
        flags, keywords = FLAGS[name]
        parser.add_argument(*flags, **{"dest": name, **keywords})


def build() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(
        prog="textloom", description="Text, words and renderings of PDF pages, on every core.",
        epilog="Without a command, 'text' is meant. Exit status: 0 all inputs done, "
               "1 some input failed, 2 usage error, 130 interrupted.")
    parser.add_argument("--version", action="version", version=f"textloom {__version__}")
    commands = parser.add_subparsers(dest="command", required=True, metavar="COMMAND")
    batch = ("jobs", "timeout", "max_memory", "password", "quiet")

    text = commands.add_parser(
        "text", help="print the text of PDFs",
        description="Print the text of every page, in reading order. A directory stands for "
                    "every *.pdf below it. Pages end with a form feed; words and blocks are "
                    "tab-separated rows (page, x0, y0, x1, y1, numbers, text); dict, rawdict "
                    "and pdftext are JSON, a page per line; markdown is a file's pages as one "
                    "Markdown document (with --jsonl, a page per line). A page that fails is "
                    "a line on stderr (and a row with --jsonl); the file's other pages come out.")
    text.add_argument("paths", nargs="*", metavar="PATH",
                      help="PDF files or directories (default: the bundled sample)")
    add_flags(text, "sort", "text_format", "pages", "dehyphenate", "ligatures", "offpage", "forms",
              "tables", "ocr", "ocr_dpi", "ocr_language", "jsonl", *batch)
    text.add_argument("-o", "--output", metavar="OUT", help="write to OUT instead of stdout")

    tables = commands.add_parser(
        "tables", help="print the tables of PDFs",
        description="Print every table found, page by page: a line naming file, page and "
                    "table, then the table (markdown, csv or html); json and --jsonl give one "
                    "JSON object per table (file, page, table, bbox, rows, cols, header, cells). "
                    "A page that fails is a line on stderr (and a row with --jsonl).")
    tables.add_argument("paths", nargs="+", metavar="PATH", help="PDF files or directories")
    add_flags(tables, "table_format", "strategy", "pages", "ocr", "ocr_dpi", "ocr_language",
              "jsonl", *batch)
    tables.add_argument("-o", "--output", metavar="OUT", help="write to OUT instead of stdout")

    grep = commands.add_parser(
        "grep", help="find a phrase or pattern in PDFs",
        description="Print a line per match, 'file:page: text', the text being the page's lines "
                    "the match stands on; the phrase matches across line breaks and hyphenated "
                    "line ends, ligatures as their letters, full-width forms as theirs. Files "
                    "come in the order given. Exit status: 0 something matched, 1 nothing did, "
                    "2 an error (a file or page that fails is a line on stderr, and the run "
                    "goes on).")
    grep.add_argument("pattern", metavar="PATTERN", help="the phrase (or, with -e, the pattern)")
    grep.add_argument("paths", nargs="+", metavar="PATH", help="PDF files or directories")
    grep.add_argument("-e", "--regex", action="store_true", dest="regex",
                      help="PATTERN is a PCRE2 regular expression (Unicode)")
    grep.add_argument("-F", "--fixed-strings", action="store_false", dest="regex",
                      help="PATTERN is a phrase (the default; the last of -e and -F wins)")
    grep.add_argument("-i", "--ignore-case", action="store_true",
                      help="ignore case (matched by default)")
    grep.add_argument("-w", "--word-regexp", action="store_true", dest="words",
                      help="whole words only")
    grep.add_argument("-c", "--count", action="store_true",
                      help="print each file's count of matches instead ('file:count')")
    grep.add_argument("-n", "--line-number", action="store_true",
                      help="print each match's line in its page's text too ('file:page:line: text')")
    grep.add_argument("--context", type=_checked(lambda text: check_context(_number(text))),
                      default=0, metavar="N", help="N more lines of the page before and after "
                                                   "each match's own")
    add_flags(grep, "sort", "pages", "ocr", "ocr_dpi", "ocr_language", "jsonl", *batch)
    grep.add_argument("-o", "--output", metavar="OUT", help="write to OUT instead of stdout")

    extract = commands.add_parser(
        "extract", help="write the pages of PDFs to Parquet",
        description="Write a row per page to Parquet files in OUT_DIR (columns path, page, "
                    "width, height, rotation, the format's payload, error, error_kind; a failed "
                    "file or page is a row with its error). A rerun with the same options skips "
                    "the inputs already written. Needs pyarrow: pip install 'textloom[parquet]'.")
    extract.add_argument("paths", nargs="+", metavar="PATH",
                         help="PDF files, directories, globs or URIs (s3://, gs://, file://)")
    extract.add_argument("-o", "--output", required=True, metavar="OUT_DIR",
                         help="folder of the Parquet files and the run's manifest")
    add_flags(extract, "sort", "row_format", "strategy", "pages", "dehyphenate", "offpage",
              "forms", "ocr", "ocr_dpi", "ocr_language", *batch)
    extract.add_argument("--engine", choices=("local", "ray"), default="local",
                         help="this machine's worker processes (default), or Ray "
                              "(pip install 'textloom[ray]')")
    extract.add_argument("--address", metavar="ADDR",
                         help="the Ray cluster to join (default: $RAY_ADDRESS, else a Ray "
                              "started here)")
    extract.add_argument("--pages-per-task", type=_count("pages-per-task"),
                         default=64, metavar="N",
                         help="Ray: files of more pages are split into parts of N pages, run "
                              "apart; small files are grouped into tasks of N pages (default 64)")
    extract.add_argument("--overwrite", action="store_true",
                         help="replace what OUT_DIR holds from earlier runs")
    extract.add_argument("--rows-per-file", type=_count("rows-per-file"),
                         default=10000, metavar="N",
                         help="rows per Parquet file (default 10000); each file is written "
                              "when full, or when a quarter of the run's time has passed since the "
                              "last (2 s to a minute), so an interrupted run loses little")

    render = commands.add_parser("render", help="render a page to an image (PNG, JPEG, ...)")
    render.add_argument("path", metavar="PATH")
    render.add_argument("--page", type=_count("page"),
                        required=True, metavar="N", help="1-based page number")
    size = render.add_mutually_exclusive_group()
    size.add_argument("--scale", type=_positive("scale"),
                      metavar="S", help="pixels per point")
    size.add_argument("--dpi", type=_positive("dpi"),
                      metavar="D", help="dots per inch (72: scale 1)")
    add_flags(render, "password")
    render.add_argument("-o", "--output", metavar="OUT",
                        help="image to write, its format by its extension "
                             "(default: <name>-<page>.png here)")

    info = commands.add_parser("info", help="pages, page sizes and metadata")
    info.add_argument("paths", nargs="+", metavar="PATH", help="PDF files or directories")
    add_flags(info, "jsonl", *batch)
    return parser
