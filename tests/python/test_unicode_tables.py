"""The generated Unicode tables: the committed file is the generator's output
byte for byte, and the generator's tables agree with Python's own Unicode
database (the C++ tests read the committed tables through the core's lookup)."""

from __future__ import annotations

import importlib.util
import sys
import unicodedata
from pathlib import Path

import pytest

REPO = Path(__file__).resolve().parents[2]
GENERATOR = REPO / "tools" / "gen_unicode_tables.py"
COMMITTED = REPO / "native" / "core" / "unicode_tables.cpp"
UCD = Path("/usr/share/unicode")

if not all((UCD / name).is_file() for name in
           ("extracted/DerivedBidiClass.txt", "UnicodeData.txt", "DerivedCoreProperties.txt")):
    pytest.skip(f"Unicode Character Database not installed under {UCD} "
                "(Debian package unicode-data)", allow_module_level=True)


def _load_generator():
    module_spec = importlib.util.spec_from_file_location("gen_unicode_tables", GENERATOR)
    module = importlib.util.module_from_spec(module_spec)
    sys.modules[module_spec.name] = module  # dataclasses look their module up
    module_spec.loader.exec_module(module)
    return module


gen = _load_generator()


@pytest.fixture(scope="module")
def tables():
    return gen.build(UCD)


def test_committed_file_is_generator_output(tables):
    assert COMMITTED.read_text(encoding="utf-8") == gen.render(tables), (
        f"native/core/unicode_tables.cpp is stale; regenerate: {gen.REGENERATE}")


def test_agrees_with_unicodedata(tables):
    """Every code point Python's database assigns. Unicode 15.0 re-classified
    no code point of 14.0 on either property (it only added characters, which
    14.0 reports as unassigned), so 14.0 must agree too."""
    if unicodedata.unidata_version not in (tables.version, "14.0.0"):
        pytest.skip(f"Python's Unicode {unicodedata.unidata_version} against the tables' "
                    f"{tables.version}: differences not reviewed")
    mismatches = {}
    checked = 0
    for cp in range(gen.CODE_POINT_END):
        ch = chr(cp)
        category = unicodedata.category(ch)
        if category == "Cn":
            continue
        checked += 1
        props = gen.lookup(tables, cp)
        got = (gen.BIDI_CLASSES[props & gen.BIDI_MASK], bool(props & gen.NONSPACING_MARK))
        want = (unicodedata.bidirectional(ch), category == "Mn")
        if got != want:
            mismatches[f"U+{cp:04X}"] = (want, got)
    assert checked > 280_000 and not mismatches, mismatches
