"""How ``textloom grep`` writes what it finds on a page: a line per match,
``file:page: text`` (``file:page:line: text`` with ``-n``), the text being
the page lines the match stands on (and ``context`` lines around them) joined
by spaces; or with ``jsonl`` a JSON object per match. Runs in the worker
processes; pages and lines count from 1."""

from __future__ import annotations

from typing import TYPE_CHECKING

from textloom._batch.page_output import to_json_row
from textloom._options import GrepOptions, ReadOptions

if TYPE_CHECKING:
    from textloom._page import Page
    from textloom._search import Match


def format_matches(page: Page, path: str, options: ReadOptions) -> tuple[str, int]:
    """The page's matches (in its text as ``get_text("text")`` gives it, in the
    options' order) as ``textloom grep`` prints them (nothing when it counts),
    and how many there are."""
    grep = _grep(options)
    text_map = page.text_map(sort=options.sort, ocr=options.ocr)
    matches = text_map.find(grep.pattern, regex=grep.regex, case=grep.case, words=grep.words,
                            diacritics=True)
    if grep.counting:  # the file's count is written once, after its pages
        return "", len(matches)
    text = text_map.text
    number = page.index + 1
    out = []
    for match in matches:
        line = text.count("\n", 0, match.start) + 1
        if options.jsonl:
            out.append(to_json_row({"file": path, "page": number, "line": line, "text": match.text,
                                    "start": match.start, "end": match.end,
                                    "boxes": [list(box) for box in match.boxes]}) + "\n")
            continue
        where = f"{path}:{number}:{line}:" if grep.line_number else f"{path}:{number}:"
        out.append(f"{where} {_lines_around(text, match, grep.context)}\n")
    return "".join(out), len(matches)


def format_count(path: str, options: ReadOptions, count: int) -> str:
    """A file's count of matches: ``file:count``, or a JSON object."""
    if options.jsonl:
        return to_json_row({"file": path, "count": count}) + "\n"
    return f"{path}:{count}\n"


def _lines_around(text: str, match: Match, context: int) -> str:
    """The lines of ``text`` the match stands on, ``context`` more on each side,
    joined by spaces."""
    start = text.rfind("\n", 0, match.start) + 1
    for _ in range(context):
        if start == 0:
            break
        start = text.rfind("\n", 0, start - 1) + 1
    end = text.find("\n", max(match.end - 1, match.start))
    for _ in range(context):
        if end < 0:
            break
        end = text.find("\n", end + 1)
    return " ".join(text[start:len(text) if end < 0 else end].rstrip("\n").split("\n"))


def _grep(options: ReadOptions) -> GrepOptions:
    if options.grep is None:
        raise ValueError("textloom grep needs a pattern")
    return options.grep
