"""textloom.compat.pdftext against pdftext itself, where pdftext is installed
(the peer benchmark's environment, bench/requirements-peers.txt; elsewhere
these tests skip): the same keys and types at every level of every corpus
page, words that agree (the word-sequence similarity of every document is
printed), the same links and references, and the options and errors behaving
alike (passwords are test_compat_pdftext.py's).

It runs in the peers' environment only, beside the benchmarks against the
same peers, with the test suite's fixtures:

    /work/venv-peers/bin/python -m pytest -s -p no:cacheprovider --rootdir . \
        --confcutdir tests/python bench/pdftext_peer_check.py
"""

from __future__ import annotations

import difflib
from collections import defaultdict
from typing import Any

import pytest

import sys
from pathlib import Path

sys.path[:0] = [str(Path(__file__).resolve().parents[1] / part) for part in ("tests/python", "tools")]
import pdfgen  # noqa: E402
from conftest import corpus_files  # noqa: E402

extraction = pytest.importorskip("pdftext.extraction")

from textloom.compat import pdftext as compat  # noqa: E402  (after the skip)

# Word-sequence similarity of the plain texts: at least this, on every document...
SIMILAR = 0.9
# ...but these, whose text differs for reasons of layout, not of this module.
SIMILAR_ONLY = {
    # No space is inserted after a character from U+0700 up outside U+2000 to
    # U+20CF, which holds for the book's arrows and operators ("x ∈X", "f: X →Y").
    "latex-book-geotopo.pdf": 0.84,
    # Vertical columns: ours read from the right; pdftext swaps pairs of them.
    "japanese-jo.pdf": 0.6,
    # Three words with the Latin and Arabic runs cut apart differently.
    "arabic-habibi.pdf": 0.5,
}


def shapes(value: Any, path: str, found: dict[str, set[Any]]) -> None:
    """For each level of a result, the key sets and value types seen there."""
    if isinstance(value, dict):
        found[path].add(("dict", frozenset(value)))
        for key, item in value.items():
            shapes(item, f"{path}.{key}", found)
    elif isinstance(value, (list, tuple)):
        found[path].add(type(value).__name__)
        for item in value:
            shapes(item, path + "[]", found)
    elif type(value).__name__ == "Reference":
        found[path].add("Reference")
        for name in ("idx", "page", "coord", "ref", "url"):
            shapes(getattr(value, name), f"{path}.{name}", found)
    else:
        found[path].add(type(value).__name__)


def words(text: str) -> list[str]:
    return text.split()


@pytest.mark.parametrize("path", corpus_files(), ids=lambda p: p.name)
def test_keys_and_types_and_words(path):
    for keep_chars in (False, True):
        theirs: dict[str, set[Any]] = defaultdict(set)
        ours: dict[str, set[Any]] = defaultdict(set)
        for page, mine in zip(extraction.dictionary_output(path, keep_chars=keep_chars),
                              compat.dictionary_output(path, keep_chars=keep_chars)):
            shapes(page, "page", theirs)
            shapes(mine, "page", ours)
            assert list(mine) == list(page)
        # pdftext's spans cut at links have their keys in another order; the
        # key sets and the types agree at every level.
        for level in set(theirs) | set(ours):
            assert ours[level] <= theirs[level] and ours[level], (level, ours[level], theirs[level])
    similarity = difflib.SequenceMatcher(
        None, words(extraction.plain_text_output(path)), words(compat.plain_text_output(path)),
        autojunk=False).ratio()
    print(f"\n{path.name}: word-sequence similarity {similarity:.4f}")
    assert similarity >= SIMILAR_ONLY.get(path.name, SIMILAR)


def char_urls(pages: list[dict[str, Any]]) -> dict[tuple[int, int], str]:
    """The URL of each character of the page (by page and PDFium index) but spaces."""
    return {(page["page"], char["char_idx"]): span["url"]
            for page in pages for block in page["blocks"] for line in block["lines"]
            for span in line["spans"] for char in span["chars"] if char["char"].strip()}


def refs(pages: list[dict[str, Any]]) -> list[list[tuple[int, int, list[float], str]]]:
    return [[(ref.idx, ref.page, ref.coord, ref.url) for ref in page["refs"]] for page in pages]


def links_pdf(path):
    """Rows of M (9.996 units wide each, from x 72) under links that cover them
    partly, down to fractions of a unit, and links to a second page."""
    writer = pdfgen.PdfWriter()
    page = writer.page()
    target = writer.page()
    target.text(72, 700, "Target page", size=12)
    y = 760
    for x0 in (80.0, 80.5, 80.75, 81.0, 81.4, 81.5, 81.6, 82.0, 82.5):
        for wide in (0.3, 0.6, 1.0, 1.5):
            page.text(72, y, "MMM", size=12)
            page.link((x0, y - 3, x0 + wide, y + 9), uri=f"u-{x0}-{wide}")
            y -= 20
    for number, (left, top) in enumerate([(50.7, 600.3), (0, 0), (10.5, 10.5), (50.7, 600.3)]):
        page.text(300, 700 - 20 * number, "Linked", size=12)
        page.link((300, 697 - 20 * number, 330, 709 - 20 * number), page=1, left=left, top=top)
    page.text(300, 560, "No target", size=12)
    page.link((300, 557, 330, 569), page=1)  # no position shown: pdftext's (0, 0)
    writer.save(path)
    return path


def test_links_and_references(tmp_path):
    for path in [links_pdf(tmp_path / "links.pdf"), *corpus_files()]:
        theirs = extraction.dictionary_output(path, keep_chars=True)
        ours = compat.dictionary_output(path, keep_chars=True)
        assert refs(ours) == refs(theirs), path.name
        their_urls, our_urls = char_urls(theirs), char_urls(ours)
        both = their_urls.keys() & our_urls.keys()
        linked = [key for key in both if their_urls[key] or our_urls[key]]
        agree = sum(their_urls[key] == our_urls[key] for key in linked)
        if path.name == "links.pdf":  # placed exactly: every character agrees
            assert agree == len(linked) > 60
        elif linked:
            # pdftext's characters next to a link go either way at the edges.
            print(f"\n{path.name}: {agree} of {len(linked)} linked characters agree")
            assert agree >= 0.9 * len(linked)


def generated(tmp_path):
    """Paragraphs drawn bottom first, and a hyphenated line end."""
    writer = pdfgen.PdfWriter()
    page = writer.page()
    for y in (300, 286, 272):
        page.text(72, y, "Bottom paragraph line", size=12)
    for y in (700, 686, 672):
        page.text(72, y, "Top paragraph line", size=12)
    page = writer.page()
    page.text(72, 700, "A word split at the line's exam-", size=12)
    page.text(72, 686, "ple ends here", size=12)
    path = tmp_path / "generated.pdf"
    writer.save(path)
    return path


@pytest.mark.parametrize("kwargs", [
    {}, {"sort": True}, {"hyphens": True}, {"page_range": [1, 0, 1]}, {"page_range": []},
    {"page_range": [1], "sort": True}, {"workers": 2},
], ids=repr)
def test_text_options_alike(tmp_path, kwargs):
    """The same words in the same order (pdftext adds an empty line after a
    hyphenated one that it keeps)."""
    path = generated(tmp_path)
    assert [words(text) for text in compat.paginated_plain_text_output(path, **kwargs)] == \
        [words(text) for text in extraction.paginated_plain_text_output(path, **kwargs)]


@pytest.mark.parametrize("kwargs", [
    {}, {"keep_chars": True}, {"page_range": [1, 0]}, {"sort": True}, {"disable_links": True},
], ids=repr)
def test_dictionary_options_alike(tmp_path, kwargs):
    path = generated(tmp_path)
    theirs = extraction.dictionary_output(path, **kwargs)
    ours = compat.dictionary_output(path, **kwargs)
    assert [page["page"] for page in ours] == [page["page"] for page in theirs]
    for mine, page in zip(ours, theirs):
        texts = [[span["text"] for line in block["lines"] for span in line["spans"]]
                 for block in page["blocks"]]
        assert ["".join(text).split() for text in texts] == [
            "".join(span["text"] for line in block["lines"] for span in line["spans"]).split()
            for block in mine["blocks"]]
        spans = [span for block in mine["blocks"] for line in block["lines"]
                 for span in line["spans"]]
        assert all(("chars" in span) == bool(kwargs.get("keep_chars")) for span in spans)


@pytest.mark.parametrize("source, kwargs", [
    (None, {"page_range": [2]}), (None, {"page_range": [-1]}), (None, {"page_range": [0, 7]}),
    ("missing.pdf", {}), (pdfgen.__file__, {}), (b"not a pdf", {}),
], ids=["past the end", "negative", "one of two", "missing", "not a pdf", "bytes"])
def test_errors_alike(tmp_path, source, kwargs):
    path = generated(tmp_path) if source is None else source
    errors = []
    for module in (extraction, compat):
        with pytest.raises(Exception) as info:
            module.dictionary_output(path, **kwargs)
        errors.append(info.value)
    theirs, ours = errors
    assert type(ours) is type(theirs)
    if isinstance(theirs, ValueError):
        assert str(ours) == str(theirs)
