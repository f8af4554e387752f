"""The word comparison of the OCR benchmarks (ocr_bench.py, ocr_peers_bench.py),
importable without textloom so the peers' environment shares it.

A word is compared as its letters and digits, any script, after NFKC and case
folding: "Über," and "über" match, "ü" and "u" do not. Punctuation is the
part of OCR that least changes a search or a language model's reading, and
its marks are what the engines' ink boxes cut differently (a hyphen at a
line end, quotes beside a word); "-" alone is no word.
"""

from __future__ import annotations

import collections
import re
import unicodedata

_NOT_WORD = re.compile(r"[\W_]+")


def words_of(text: str) -> collections.Counter[str]:
    """The multiset of ``text``'s words, compared as above."""
    keys = (_NOT_WORD.sub("", unicodedata.normalize("NFKC", word).casefold()) for word in text.split())
    return collections.Counter(key for key in keys if key)


def counts(truth: collections.Counter[str], read: collections.Counter[str]) -> tuple[int, int, int]:
    """Words read right, words read, words there."""
    return sum((truth & read).values()), sum(read.values()), sum(truth.values())
