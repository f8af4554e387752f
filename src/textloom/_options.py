"""The package's vocabulary: every option's values, default, check and message.

The library's keyword arguments, the command line's flags, the batch engines
and ``textloom.ray.read_pdfs`` take their options from here, so an option is
spelled, defaulted, checked and worded once whichever door it comes through.
The native module keeps its own defaults and messages; where it checks an
option too (the sort, the flags), the words here are its words.

Page numbers: the Python API counts pages from 0, the command line and the
rows it writes from 1; ``PageRanges`` is where one becomes the other.
"""

from __future__ import annotations

import math
import os
from typing import Any, NamedTuple

from textloom._types import Sort

# -- sort ---------------------------------------------------------------------------

SORTS = ("none", "simple", "xycut", "reading")
"""The reading orders of blocks: as stored, by position, XY-cut, as a reader reads."""

DEFAULT_SORT = "reading"
"""The package's one default: the order a reader takes in the viewer's frame
(columns, rotated pages, scrambled content streams), which is what users come
for. The native module's own default (None, the content's order) is left as it is."""


def quoted(text: str) -> str:
    """``text`` in double quotes with control and invisible characters escaped,
    as the native module quotes values in its messages."""
    out = ['"']
    for ch in text:
        if ch in '"\\':
            out.append("\\" + ch)
        elif ch in "\t\r\n\0":
            out.append({"\t": "\\t", "\r": "\\r", "\n": "\\n", "\0": "\\0"}[ch])
        elif ch.isprintable() or ch == " ":
            out.append(ch)
        else:
            out.append(f"\\u{{{ord(ch):x}}}")
    out.append('"')
    return "".join(out)


def check_sort(sort: object) -> Sort:
    """``sort`` when the native module takes it (None, a bool, "" or a name of
    SORTS); ValueError "unknown sort "..."" for any other string, TypeError for
    any other type."""
    if sort is None or isinstance(sort, bool):
        return sort
    if isinstance(sort, str):
        if sort in ("", *SORTS):
            return sort
        raise ValueError(f"unknown sort {quoted(sort)}")
    raise TypeError(f"sort must be one of {', '.join(SORTS)}, not {type(sort).__name__}")


# -- table strategies -----------------------------------------------------------------

STRATEGIES = ("auto", "lines", "text")
"""How ``find_tables`` finds tables: rules and word alignment (rules winning
where they exist), rules only, word alignment only."""


def check_strategy(strategy: object) -> str:
    """``strategy`` when it is one of STRATEGIES; ValueError naming them otherwise."""
    if isinstance(strategy, str) and strategy in STRATEGIES:
        return strategy
    shown = quoted(strategy) if isinstance(strategy, str) else type(strategy).__name__
    raise ValueError(f"unknown strategy {shown}: expected {_one_of(STRATEGIES)}")


# -- OCR ------------------------------------------------------------------------------

OCR_MODES = ("auto", "always", "never")
"""When a page is read by OCR: where ``Page.text_signals`` says it needs it
(and an engine is installed), always, or never."""
DEFAULT_OCR = "auto"
DEFAULT_OCR_DPI = 300.0  # what OCR engines are trained on: small print stays legible
DEFAULT_OCR_LANGUAGE = "eng"


def check_ocr(ocr: object) -> str:
    """``ocr`` when it is one of OCR_MODES; ValueError naming them otherwise."""
    if isinstance(ocr, str) and ocr in OCR_MODES:
        return ocr
    shown = quoted(ocr) if isinstance(ocr, str) else type(ocr).__name__
    raise ValueError(f"unknown ocr {shown}: expected {_one_of(OCR_MODES)}")


# -- formats ------------------------------------------------------------------------

TEXT_FORMATS = ("text", "blocks", "words", "dict", "rawdict", "pdftext", "markdown")
"""What ``textloom text`` prints of a page: the five text schemas, pdftext's
blocks and Markdown."""

ROW_FORMATS = ("text", "words", "dict", "tables")
"""The payloads of a row of ``textloom extract`` and ``read_pdfs``: the text
formats whose result is a fixed set of columns, and the page's tables."""

TABLE_FORMATS = ("markdown", "csv", "html", "json")
"""How ``textloom tables`` writes each table found."""

def check_format(format: object, formats: tuple[str, ...] = TEXT_FORMATS) -> str:
    """``format`` when it is one of ``formats``; ValueError naming them otherwise."""
    if isinstance(format, str) and format in formats:
        return format
    shown = quoted(format) if isinstance(format, str) else type(format).__name__
    raise ValueError(f"unknown format {shown}: expected {_one_of(formats)}")


def _one_of(names: tuple[str, ...]) -> str:
    return ", ".join(names[:-1]) + " or " + names[-1] if len(names) > 1 else names[0]


# -- flags, counts, time-outs, memory -------------------------------------------------


def check_flag(name: str, value: object) -> bool:
    """``value`` when it is True or False, in the words the native module uses."""
    if isinstance(value, bool):
        return value
    raise TypeError(f"argument '{name}': '{type(value).__name__}' object cannot be "
                    "converted to 'PyBool'")


def check_query(query: object) -> str:
    """A search's query: a str with more than white space in it."""
    if not isinstance(query, str):
        raise TypeError(f"query must be a str, not {type(query).__name__}")
    if not query.strip():
        raise ValueError("the query is empty")
    return query


def check_context(value: object) -> int:
    """Lines of context: a whole number, 0 or more."""
    if isinstance(value, int) and not isinstance(value, bool) and value >= 0:
        return value
    raise ValueError(f"context must be a whole number not below 0, not {value!r}")


def check_count(name: str, value: object) -> int:
    """A whole number above 0."""
    if isinstance(value, int) and not isinstance(value, bool) and value > 0:
        return value
    raise ValueError(f"{name} must be a whole number above 0, not {value!r}")


def check_positive(name: str, value: object, unit: str = "a number") -> float:
    """A finite real number above 0 (an int or float, not a bool)."""
    if (isinstance(value, (int, float)) and not isinstance(value, bool) and value > 0
            and math.isfinite(value)):
        return float(value)
    raise ValueError(f"{name} must be {unit} above 0, not {value!r}")


def check_tolerance(name: str, value: object) -> float:
    """A finite real number not below 0 (an int or float, not a bool)."""
    if (isinstance(value, (int, float)) and not isinstance(value, bool) and value >= 0
            and math.isfinite(value)):
        return float(value)
    raise ValueError(f"{name} must be a number not below 0, not {value!r}")


def check_timeout(value: object) -> float:
    """A finite number of seconds above 0."""
    return check_positive("timeout", value, "a number of seconds")


DEFAULT_TIMEOUT = 300.0
"""Seconds one page may take in a worker. A page of dense vector art takes a
second or two; minutes mean PDFium is lost in a hostile page."""

_SIZE = r"(?i)(\d+(?:\.\d+)?)\s*([KMGT]?)(?:i?B)?"  # compiled on first use: import stays light
_UNITS = {"": 1, "K": 1 << 10, "M": 1 << 20, "G": 1 << 30, "T": 1 << 40}
MIN_MEMORY = 256 << 20
"""Below this a worker cannot even import what it needs (Python, pypdfium2, pyarrow)."""


def parse_size(text: str) -> int:
    """Bytes of a size like ``2G``, ``512M``, ``1.5GiB`` (K, M, G, T are powers of 1024);
    ValueError when it is no size or below ``MIN_MEMORY``."""
    import re

    match = re.fullmatch(_SIZE, text.strip())
    if match is None:
        raise ValueError(f"bad size {text!r}: expected a number and K, M, G or T, like 2G")
    size = int(float(match[1]) * _UNITS[match[2].upper()])
    if size < MIN_MEMORY:
        raise ValueError(f"bad size {text!r}: a worker needs at least {format_size(MIN_MEMORY)}")
    return size


def format_size(size: int) -> str:
    """``size`` bytes in the largest unit that keeps it whole, or with one decimal: "2G", "1.5G"."""
    for unit in ("T", "G", "M", "K"):
        scaled = size / _UNITS[unit]
        if scaled >= 1:
            return f"{scaled:.0f}{unit}" if scaled == int(scaled) else f"{scaled:.1f}{unit}"
    return f"{size}B"


def default_jobs() -> int:
    """The cores this process may run on."""
    affinity = getattr(os, "sched_getaffinity", None)
    return len(affinity(0)) if affinity else os.cpu_count() or 1


def default_max_memory(jobs: int) -> int:
    """Each of ``jobs`` workers' share of three quarters of the machine's memory
    (the rest for the main process, the page cache and everything else running),
    and at least ``MIN_MEMORY``."""
    try:
        total = os.sysconf("SC_PAGE_SIZE") * os.sysconf("SC_PHYS_PAGES")
    except (ValueError, OSError, AttributeError):  # no sysconf: not Linux or macOS
        total = 8 << 30
    return max(MIN_MEMORY, total * 3 // 4 // max(1, jobs))


# -- passwords ------------------------------------------------------------------------


def check_password(password: object) -> str | bytes | None:
    """None, a str, or bytes (the password's own bytes, for PDFs of older
    encryption whose passwords are no UTF-8)."""
    if password is None or isinstance(password, (str, bytes)):
        return password
    raise TypeError(f"password must be str or bytes, not {type(password).__name__}")


# -- page ranges ----------------------------------------------------------------------

LAST = 0  # stands for "N" in a bound; real page numbers start at 1

_ITEM = r"(\d+|N)(?:(-)(\d+|N)?)?"  # compiled on first use


class PageRanges(NamedTuple):
    """Items (first, last) with 1-based bounds, ``LAST`` meaning the document's last page."""

    items: tuple[tuple[int, int], ...]

    def select(self, count: int) -> list[int]:
        """0-based indices of the pages of a ``count``-page document: each page
        once, in the order first named; pages past its end are skipped."""
        indices: dict[int, None] = {}
        for first, last in self.items:
            first, last = first or count, last or count
            indices.update(dict.fromkeys(range(first - 1, min(last, count))))
        return list(indices)

    def __str__(self) -> str:
        def bound(value: int) -> str:
            return "N" if value == LAST else str(value)
        return ",".join(bound(a) if a == b else f"{bound(a)}-{bound(b)}" for a, b in self.items)


def parse_page_ranges(text: str) -> PageRanges:
    """Parses ``1-3,7,10-N`` (``N-`` and ``5-`` run to the end); ValueError names a bad item."""
    import re

    items = []
    for item in (part.strip() for part in text.split(",")):
        match = re.fullmatch(_ITEM, item)
        if match is None:
            raise ValueError(f"bad page range {item!r}: expected N, N-M or N- (N a page or 'N')")
        first_token, dash, last_token = match.groups()
        if any(token not in (None, "N") and int(token) == 0 for token in (first_token, last_token)):
            raise ValueError(f"bad page range {item!r}: pages count from 1")
        first = LAST if first_token == "N" else int(first_token)
        last = first if not dash else LAST if last_token in (None, "N") else int(last_token)
        if LAST not in (first, last) and last < first:
            raise ValueError(f"bad page range {item!r}: the range runs backwards")
        items.append((first, last))
    return PageRanges(tuple(items))


def check_pages(pages: object) -> PageRanges | None:
    """None, ``PageRanges``, or a string of page ranges parsed."""
    if pages is None or isinstance(pages, PageRanges):
        return pages
    if isinstance(pages, str):
        return parse_page_ranges(pages)
    raise TypeError(f"pages must be a string of page ranges like '1-3,7' or None, "
                    f"not {type(pages).__name__}")


# -- option records -------------------------------------------------------------------


class GrepOptions(NamedTuple):
    """What ``textloom grep`` looks for and how it prints what it finds."""

    pattern: str
    regex: bool = False  # a PCRE2 pattern, else a phrase matched as Page.search matches it
    case: bool = True  # match case, as grep does unless -i
    words: bool = False  # whole words only
    counting: bool = False  # a count per file instead of the matches
    line_number: bool = False  # each match's line in its page's text, from 1
    context: int = 0  # lines of the page's text around each match's own


class ReadOptions(NamedTuple):
    """What to read of each file and page: handed to every worker (picklable),
    the same for ``textloom text``, ``textloom extract`` and ``read_pdfs``."""

    format: str = "text"
    sort: Sort = DEFAULT_SORT
    pages: PageRanges | None = None
    password: str | bytes | None = None
    dehyphenate: bool = False
    ligatures: bool = False
    offpage: bool = False  # keep the words wholly outside the crop box, which no viewer shows
    forms: bool = True  # the values of filled form fields as text in their boxes
    tables: bool = True  # Markdown writes the tables it finds as pipe tables in their places
    ocr: str = DEFAULT_OCR  # when pages are read by OCR
    ocr_dpi: float = DEFAULT_OCR_DPI  # the resolution pages are read by OCR at
    ocr_language: str = DEFAULT_OCR_LANGUAGE  # Tesseract's language name ("eng", "deu+fra")
    strategy: str = "auto"  # how tables are found (format "tables" and textloom tables)
    jsonl: bool = False  # a JSON object per page, rather than the format's own text
    grep: GrepOptions | None = None  # textloom grep's search

    @classmethod
    def checked(cls, *, formats: tuple[str, ...] = TEXT_FORMATS, **values: Any) -> ReadOptions:
        """The record of ``values``, each checked and worded as this module words them."""
        options = cls(**values)
        check_format(options.format, formats)
        check_sort(options.sort)
        check_flag("dehyphenate", options.dehyphenate)
        check_flag("ligatures", options.ligatures)
        check_flag("offpage", options.offpage)
        check_flag("forms", options.forms)
        check_flag("tables", options.tables)
        check_ocr(options.ocr)
        check_positive("ocr_dpi", options.ocr_dpi)
        check_strategy(options.strategy)
        check_password(options.password)
        return options._replace(pages=check_pages(options.pages))


class RunOptions(NamedTuple):
    """How a batch runs: worker processes, the time one page may take, and the
    memory one worker may hold."""

    jobs: int
    timeout: float = DEFAULT_TIMEOUT
    max_memory: int | None = None  # bytes; None: default_max_memory(jobs)

    @classmethod
    def checked(cls, jobs: object = None, timeout: object = DEFAULT_TIMEOUT,
                max_memory: object = None) -> RunOptions:
        count = default_jobs() if jobs is None else check_count("jobs", jobs)
        memory = (parse_size(max_memory) if isinstance(max_memory, str)
                  else None if max_memory is None else check_count("max_memory", max_memory))
        return cls(count, check_timeout(timeout), memory)

    @property
    def memory_limit(self) -> int:
        return self.max_memory if self.max_memory is not None else default_max_memory(self.jobs)
