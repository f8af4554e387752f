"""Page.search and Page.text_map on a generated page of known geometry: line
breaks and hyphenated line ends matched as joined text, ligatures, case,
whole words, accents, patterns, a box per line, ranges of the page text, and
Document.search stopping when its reader stops; on the corpus, match counts
against a count made apart from the page text."""

from __future__ import annotations

import re
import unicodedata

import pytest

import textloom
from textloom import _native

import pdfgen
from conftest import corpus_files, readable_pages, shared_document

LINES = ["The first exam-", "ple spans two lines; ﬁne words", "Café and CAFE, caféine"]


ROTATIONS = [0, 90, 180, 270]  # one page each


@pytest.fixture(scope="module")
def doc():
    writer = pdfgen.PdfWriter()
    for rotate in ROTATIONS:
        sheet = writer.page(width=400, height=200, rotate=rotate)
        for number, line in enumerate(LINES):
            sheet.text(20, 160 - 20 * number, line, font="U")
    with textloom.open(writer.tobytes(), ligatures=True) as opened:  # "ﬁ" stays one char
        yield opened


@pytest.fixture
def page(doc):
    return doc[0]


@pytest.mark.parametrize("query, options, found", [
    ("example", {}, ["exam-\nple"]),                       # a hyphenated line end, joined
    ("exam- ple", {}, []),
    ("lines; fine", {}, ["lines; ﬁne"]),                   # a ligature as its letters
    ("first   exam", {}, ["first exam"]),                  # a run of white space
    ("café", {}, ["Café", "café"]),                        # case folded
    ("café", {"case": True}, ["café"]),
    ("cafe", {"diacritics": False}, ["Café", "CAFE", "café"]),
    ("cafe", {"diacritics": False, "words": True}, ["Café", "CAFE"]),
    ("caf", {"words": True}, []),                          # "é" is a word character
    (r"\bt\w+ l", {"regex": True}, ["two l"]),
    (r"caf\w", {"regex": True, "words": True}, ["Café", "CAFE"]),
])
def test_matches(page, query, options, found):
    assert [match.text for match in page.search(query, **options)] == found


@pytest.mark.parametrize("index", range(len(ROTATIONS)), ids=[f"rotate {r}" for r in ROTATIONS])
def test_boxes_and_ranges_come_from_the_page(doc, index):
    """A match's boxes are its words' boxes, in the view of a turned page too."""
    page = doc[index]
    text = page.get_text()
    words = {row[4]: row[:4] for row in page.get_text("words", rotated=True)}
    (spanning,) = page.search("example", rotated=True)
    assert text[spanning.start:spanning.end] == spanning.text
    assert len({(f.block, f.line) for f in spanning.fragments}) == len(spanning.boxes) == 2
    assert spanning.boxes[0] == pytest.approx(words["exam-"])
    assert spanning.boxes[1] == pytest.approx(words["ple"])
    (word,) = page.search("spans", rotated=True)
    assert word.boxes == [pytest.approx(words["spans"])]
    mapped = page.text_map(rotated=True)
    assert mapped.text == text and mapped.boxes(word.start, word.end) == word.boxes


HEBREW = ["\u05e9", 1200, "\u05dc", 1200, "\u05d5", 1200, "\u05dd"]  # drawn right to left


def test_scripts_and_many_matches():
    """Right-to-left text matches in its logical order, and a page of 10,000
    overlapping matches gives each apart, left to right, with its own box."""
    writer = pdfgen.PdfWriter()
    sheet = writer.page(width=1500, height=900)
    sheet.text(72, 860, "", font="U", size=10, kerning=HEBREW)
    for row in range(100):
        sheet.text(20, 800 - 7 * row, " ".join(["aaa"] * 100), font="U", size=6)
    with textloom.open(writer.tobytes()) as opened:
        page = opened[0]
        # The lines of "aaa" read as garbled text: not to be read by OCR here.
        (hebrew,) = page.search("\u05e9\u05dc\u05d5\u05dd", ocr="never")
        many = page.search("aa", ocr="never")
    assert len(hebrew.boxes) == 1
    assert len(many) == 10_000 and {m.text for m in many} == {"aa"}
    assert [m.start for m in many[:2]] == [many[0].start, many[0].start + 4]  # apart, not "aa" twice in "aaa"
    assert len({m.boxes[0] for m in many}) == 10_000


def test_a_phrase_of_a_vertical_line_is_one_box_of_its_chars(corpus):
    with shared_document(corpus / "japanese-jo.pdf") as doc:
        page = doc[0]
        chars = [c for b in page.get_text("rawdict")["blocks"] for line in b["lines"]
                 if line["wmode"] == 1 for span in line["spans"] for c in span["chars"]]
        text = "".join(c["c"] for c in chars)
        at = text.index("みんなといっしょ")
        matches = page.search("みんなといっしょ")
    mine = chars[at:at + 8]
    assert len(matches) == 1 and matches[0].boxes == [pytest.approx((
        min(c["bbox"][0] for c in mine), min(c["bbox"][1] for c in mine),
        max(c["bbox"][2] for c in mine), max(c["bbox"][3] for c in mine)))]


def test_document_search_goes_page_by_page_and_stops_with_its_reader(doc, monkeypatch):
    from textloom._handle import DocumentHandle

    loaded = []
    load = DocumentHandle.load_glyphs
    monkeypatch.setattr(DocumentHandle, "load_glyphs",
                        lambda self, index: loaded.append(index) or load(self, index))
    found = doc.search("café", pages=[2, 0])
    assert next(found)[0] == 2 and loaded == [2]
    assert [index for index, _ in found] == [2, 0, 0]
    assert [index for index, _ in doc.search("ﬁne")] == [0, 1, 2, 3]


@pytest.mark.parametrize("pattern, message", [
    ("(", "bad pattern at offset 1: missing closing parenthesis"),
    (r"(a+)+$", "pattern search failed: match limit exceeded"),  # on a page of a's and a b
])
def test_bad_and_runaway_patterns_are_value_errors(pattern, message):
    with pytest.raises(ValueError, match=f"^{re.escape(message)}$"):
        _native.find_pattern(pattern, "a" * 40 + "b")


def test_pattern_offsets_count_code_points():
    assert _native.find_pattern(r"\w+é", "ab café x né") == [(3, 7), (10, 12)]
    assert _native.find_pattern("x*", "ab") == []  # empty matches left out


def test_markdown_chunk_spans_lead_back_to_the_page():
    with textloom.open(textloom.sample_path()) as sample:
        chunk = sample.to_markdown(page_chunks=True)[0]
        mapped = sample[0].text_map()
        words = sample[0].get_text("words")
    text, spans = chunk["text"], chunk["spans"]
    units = [unit for block in text.split("\n\n") for unit in block.split("\n") if unit.strip()]
    assert len(spans) == len(units)
    heading = spans[0]
    assert text[heading["start"]:heading["end"]] == "textloom sample document"  # without its "# "
    first_line = [row for row in words if (row[5], row[6]) == (words[0][5], words[0][6])]
    assert heading["boxes"] == [pytest.approx((first_line[0][0], min(r[1] for r in first_line),
                                              first_line[-1][2], max(r[3] for r in first_line)))]
    assert all(mapped.boxes(0, 1) != [] and span["boxes"] for span in spans)


def test_markdown_chunk_spans_of_table_cells():
    """Each cell of a table written in a chunk is a span of its text and box."""
    with textloom.open(textloom.sample_path()) as sample:
        chunk = sample.to_markdown(pages=[1], page_chunks=True)[0]
        (table,) = sample[1].find_tables()
    text, spans = chunk["text"], chunk["spans"]
    cells = [(text[s["start"]:s["end"]], s["boxes"]) for s in spans
             if s["boxes"] in [[cell.bbox] for cell in table.cells]]
    assert cells == [(cell.text, [cell.bbox]) for cell in table.cells if cell.text]
    assert [s["start"] for s in spans] == sorted(s["start"] for s in spans)


def _folded_char_by_char(text, case, diacritics):
    """The search folding written plainly, one character at a time."""
    out, origin = [], []
    index = -1
    while (index := index + 1) < len(text):
        ch = text[index]
        if ch == "-" and 0 < index < len(text) - 2 and text[index + 1] == "\n" \
                and text[index - 1].isalpha() and text[index + 2].isalpha():
            index += 1  # and its line feed
            continue
        if ch.isspace():
            if out and out[-1] != " ":
                out.append(" ")
                origin.append(index)
            continue
        folded = unicodedata.normalize("NFKC", ch)
        folded = folded if case else folded.casefold()
        if not diacritics:
            folded = "".join(c for c in unicodedata.normalize("NFD", folded)
                             if not unicodedata.combining(c))
        out += folded
        origin += [index] * len(folded)
    return "".join(out), origin


@pytest.mark.parametrize(("case", "diacritics"), [(False, True), (True, True), (False, False)])
def test_search_folding_agrees_with_folding_char_by_char(case, diacritics, monkeypatch):
    """The native folding, its table of folds filled as characters are met,
    gives what folding each character alone gives."""
    from textloom import _search

    monkeypatch.setattr(_search, "_FOLDS", {key: _native.FoldTable() for key in _search._FOLDS})
    text = " \n lead exam-\nple  ﬁne Straße\tİstanbul x-\n\n1-\n2 café e\u0301 ＡＢ\u00a0end-\n ¨\u2003Ω"
    for _ in range(2):  # the table empty, then full
        folded, origin = _search.normalised(text, case, diacritics)
        assert (folded, list(origin)) == _folded_char_by_char(text, case, diacritics)


def test_a_full_table_of_folds_starts_again_and_folds_every_char(monkeypatch):
    """The table, bounded, is emptied when a text's new characters would pass
    the bound: the characters it knew before are folded again, not lost."""
    from textloom import _search

    monkeypatch.setattr(_search, "_MAX_FOLDS", 3)
    monkeypatch.setattr(_search, "_FOLDS", {key: _native.FoldTable() for key in _search._FOLDS})
    _search.normalised("é ü", False, True)
    text = "é ü ß Ω ＡＢ"
    folded, origin = _search.normalised(text, False, True)
    assert (folded, list(origin)) == _folded_char_by_char(text, False, True)


@pytest.mark.parametrize("folds, message", [
    ({"ab": "x"}, "argument 'folds': keys must be one-character str"),
    ({"é": "e", "ü": 1}, "argument 'folds': values must be str"),
    ([("é", "e")], "argument 'folds': must be dict"),
])
def test_a_table_of_folds_takes_a_whole_dict_of_chars_or_nothing(folds, message):
    table = _native.FoldTable()
    with pytest.raises(TypeError, match=f"^{re.escape(message)}$"):
        table.add(folds)
    assert len(table) == 0
    with pytest.raises(TypeError, match="^argument 'folds': must be FoldTable$"):
        _native.fold_text("é", False, {"é": "e"})


def test_native_find_makes_matches_only_as_tuple_subclasses():
    from textloom import _search

    with textloom.open(textloom.sample_path()) as sample:
        sample[0].search("the")  # the table of folds filled with the page's characters
        laid_out = sample[0].text_map()._map
    folds = _search._FOLDS[False, True]
    plain = laid_out.find("the", folds)
    assert plain and type(plain[0]) is tuple and type(plain[0][3][0]) is tuple
    with pytest.raises(TypeError, match="^argument 'match': must be a tuple subclass or None$"):
        laid_out.find("the", folds, match=list)


def test_search_white_space_is_pythons():
    """Every character Python calls white space, and none of its look-alikes,
    is white space to the native folding."""
    spaces = [chr(cp) for cp in range(0x110000) if chr(cp).isspace()]
    others = ["\u200b", "\u180e", "\ufeff", "\u00ad"]  # zero-width and soft: not spaces
    folds = _native.FoldTable()
    folds.add({ch: "X" for ch in spaces + others if not ch.isascii()})
    assert _native.fold_text(f"a{'a'.join(spaces)}a", True, folds)[0] == " ".join("a" * (len(spaces) + 1))
    assert _native.fold_text(" ".join(others), True, folds)[0] == " ".join("X" * len(others))


@pytest.mark.parametrize("path", corpus_files(), ids=lambda p: getattr(p, "name", p))
@pytest.mark.parametrize("word", ["the", "data"])
def test_corpus_match_counts_agree_with_the_text(path, word):
    """On every corpus page, whole-word matches of a word as many as a count
    made apart from the page text: hyphenated line ends joined, case folded."""
    with shared_document(path) as doc:
        for page, text in readable_pages(doc, textloom.Page.get_text):
            joined = re.sub(r"(?<=[^\W\d_])-\n(?=[^\W\d_])", "", text).casefold()
            expected = len(re.findall(rf"(?<![^\W_]){word}(?![^\W_])", joined))
            assert len(page.search(word, words=True)) == expected, page.index


def test_a_page_keeps_its_text_map_per_order():
    """Searches of a page share its text map (and its folding), one per order."""
    with textloom.open(textloom.sample_path()) as sample:
        page = sample[1]
        assert page.text_map() is page.text_map(sort="reading")
        assert page.text_map(sort=None) is not page.text_map()
        assert page.text_map(sort=None).text == page.get_text(sort=None)
