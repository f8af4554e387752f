#!/usr/bin/env python3
"""Writes native/core/unicode_tables.cpp from the Unicode Character Database.

Reads three files of the UCD (Debian's `unicode-data` package installs them
under /usr/share/unicode) and packs four properties of every code point into
one byte, stored as a two-stage table: a block index with one entry per block
of code points, and the deduplicated blocks it points to.

    bits 0-4  Bidi_Class, numbered as the BidiClass enum of unicode.hpp; only
              the explicit entries of DerivedBidiClass.txt count, so a code
              point it does not list (its `@missing` defaults are ignored) is L
    bit 5     General_Category is Mn
    bit 6     Alphabetic (DerivedCoreProperties.txt)
    bit 7     not printable: General_Category Cc, Cf, Cs, Co, Cn, Zl, Zp, or Zs
              other than U+0020 (Cn: not listed in UnicodeData.txt)

The layout constants below mirror native/core/unicode_tables.hpp; the output
checks them against that header with static_asserts, so a mismatch does not
compile. The functions are importable (tests load this file by path).
"""

from __future__ import annotations

import argparse
import re
import sys
from dataclasses import dataclass
from pathlib import Path

DEFAULT_UCD = Path("/usr/share/unicode")
REPO = Path(__file__).resolve().parent.parent
DEFAULT_OUTPUT = REPO / "native" / "core" / "unicode_tables.cpp"

CODE_POINT_END = 0x110000
# 128 code points per block gives the smallest pair of tables for Unicode 15.0
# (about 39 KB; 64 and 256 are both larger) and keeps the index in bytes.
BLOCK_SHIFT = 7
BLOCK_SIZE = 1 << BLOCK_SHIFT

# Bidi_Class short names in the order of the BidiClass enum.
BIDI_CLASSES = (
    "L", "R", "AL", "EN", "ES", "ET", "AN", "CS", "NSM", "BN", "B", "S", "WS", "ON",
    "LRE", "LRO", "RLE", "RLO", "PDF", "LRI", "RLI", "FSI", "PDI",
)
BIDI_MASK = 0x1F
NONSPACING_MARK = 0x20
ALPHABETIC = 0x40
NON_PRINTABLE = 0x80

NON_PRINTABLE_CATEGORIES = frozenset({"Cc", "Cf", "Cs", "Co", "Cn", "Zl", "Zp"})

BEGIN_MARKER = "// BEGIN GENERATED UNICODE TABLES"
END_MARKER = "// END GENERATED UNICODE TABLES"
REGENERATE = "python3 tools/gen_unicode_tables.py --ucd /usr/share/unicode"

INPUTS = ("extracted/DerivedBidiClass.txt", "UnicodeData.txt", "DerivedCoreProperties.txt")


@dataclass(frozen=True)
class Tables:
    version: str           # Unicode version of the input files, e.g. "15.0.0"
    index: list[int]       # block number of every block of code points
    blocks: list[bytes]    # deduplicated blocks of property bytes


def read_version(path: Path) -> str:
    """The version in the first line of a derived UCD file ("# Name-15.0.0.txt")."""
    with path.open(encoding="utf-8") as f:
        first = f.readline()
    m = re.match(r"#\s*\S+-(\d+\.\d+\.\d+)\.txt", first)
    if not m:
        raise ValueError(f"{path}: no version in first line {first!r}")
    return m.group(1)


def parse_ranges(path: Path):
    """Yields (first, last, value) for each data line "XXXX[..YYYY] ; value # ..."."""
    with path.open(encoding="utf-8") as f:
        for line in f:
            data = line.split("#", 1)[0].strip()
            if not data:
                continue  # comments, including the @missing lines
            fields = [field.strip() for field in data.split(";")]
            first, _, last = fields[0].partition("..")
            yield int(first, 16), int(last or first, 16), fields[1]


def general_categories(path: Path) -> list[str]:
    """General_Category of every code point; "Cn" where UnicodeData.txt lists none."""
    cats = ["Cn"] * CODE_POINT_END
    range_start = None
    with path.open(encoding="utf-8") as f:
        for line in f:
            fields = line.split(";")
            if len(fields) < 3:
                continue
            cp, name, cat = int(fields[0], 16), fields[1], fields[2]
            if name.endswith(", First>"):
                range_start = cp
                continue
            if name.endswith(", Last>"):
                if range_start is None:
                    raise ValueError(f"{path}: {fields[0]} closes a range never opened")
                cats[range_start:cp + 1] = [cat] * (cp + 1 - range_start)
                range_start = None
                continue
            cats[cp] = cat
    return cats


def property_bytes(ucd: Path) -> tuple[str, bytearray]:
    """The Unicode version and the property byte of every code point."""
    bidi_path = ucd / INPUTS[0]
    core_path = ucd / INPUTS[2]
    version = read_version(bidi_path)
    core_version = read_version(core_path)
    if core_version != version:
        raise ValueError(f"mixed UCD versions: {bidi_path} {version}, {core_path} {core_version}")

    props = bytearray(CODE_POINT_END)  # 0 = L, no flags
    bidi_number = {name: i for i, name in enumerate(BIDI_CLASSES)}
    for first, last, value in parse_ranges(bidi_path):
        number = bidi_number[value]
        for cp in range(first, last + 1):
            props[cp] = (props[cp] & ~BIDI_MASK) | number

    for first, last, value in parse_ranges(core_path):
        if value == "Alphabetic":
            for cp in range(first, last + 1):
                props[cp] |= ALPHABETIC

    for cp, cat in enumerate(general_categories(ucd / INPUTS[1])):
        if cat == "Mn":
            props[cp] |= NONSPACING_MARK
        if cat in NON_PRINTABLE_CATEGORIES or (cat == "Zs" and cp != 0x20):
            props[cp] |= NON_PRINTABLE
    return version, props


def build(ucd: Path = DEFAULT_UCD) -> Tables:
    """Reads the UCD at `ucd` and splits the property bytes into the two stages."""
    version, props = property_bytes(ucd)
    numbers: dict[bytes, int] = {}
    index = []
    for start in range(0, CODE_POINT_END, BLOCK_SIZE):
        block = bytes(props[start:start + BLOCK_SIZE])
        index.append(numbers.setdefault(block, len(numbers)))
    if len(numbers) > 256:
        raise ValueError(f"{len(numbers)} distinct blocks do not fit the byte-wide block index")
    return Tables(version, index, list(numbers))


def lookup(tables: Tables, cp: int) -> int:
    """The property byte of `cp`, read as the C++ lookup reads it."""
    if cp >= CODE_POINT_END:
        return 0
    return tables.blocks[tables.index[cp >> BLOCK_SHIFT]][cp & (BLOCK_SIZE - 1)]


def _rows(values, per_row: int, indent: str = "    "):
    for i in range(0, len(values), per_row):
        yield indent + " ".join(f"0x{v:02x}," for v in values[i:i + per_row])


def render(tables: Tables) -> str:
    """The complete text of unicode_tables.cpp."""
    out = [
        "// Unicode property tables for unicode.cpp: Bidi_Class, nonspacing marks,",
        "// Alphabetic and non-printable code points, one byte per code point in two",
        "// stages (unicode_tables.hpp describes the layout).",
        "//",
        "// Generated by tools/gen_unicode_tables.py; do not edit.",
        f"// Input: Unicode Character Database {tables.version} ({', '.join(INPUTS)}).",
        f"// Regenerate from the repository root: {REGENERATE}",
        "",
        '#include "unicode_tables.hpp"',
        "",
        '#include "unicode.hpp"',
        "",
        "namespace textloom::unicode_tables {",
        "",
        BEGIN_MARKER,
        f"// Unicode {tables.version}: {len(tables.blocks)} distinct blocks of {BLOCK_SIZE}.",
        f"static_assert(kBlockShift == {BLOCK_SHIFT});",
        f"static_assert(kBidiMask == 0x{BIDI_MASK:02x} && kNonspacingMark == 0x{NONSPACING_MARK:02x});",
        f"static_assert(kAlphabetic == 0x{ALPHABETIC:02x} && kNonPrintable == 0x{NON_PRINTABLE:02x});",
    ]
    for number, name in enumerate(BIDI_CLASSES):
        out.append(f"static_assert(static_cast<int>(BidiClass::{name}) == {number});")
    out.append("")
    out.append(f"const std::uint8_t kBlockIndex[{len(tables.index)}] = {{")
    per_row = 16
    for row_no, row in enumerate(_rows(tables.index, per_row)):
        out.append(f"{row}  // U+{row_no * per_row * BLOCK_SIZE:06X}")
    out.append("};")
    out.append("")
    out.append(f"const std::uint8_t kBlocks[{len(tables.blocks)} * {BLOCK_SIZE}] = {{")
    for number, block in enumerate(tables.blocks):
        out.append(f"    // block {number}")
        out.extend(_rows(block, 16))
    out.append("};")
    out.append(END_MARKER)
    out.append("")
    out.append("}  // namespace textloom::unicode_tables")
    return "\n".join(out) + "\n"


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n", 1)[0])
    parser.add_argument("--ucd", type=Path, default=DEFAULT_UCD,
                        help="directory of the Unicode Character Database (default %(default)s)")
    parser.add_argument("--output", type=Path, default=DEFAULT_OUTPUT,
                        help="file to write (default native/core/unicode_tables.cpp)")
    args = parser.parse_args(argv)
    text = render(build(args.ucd))
    args.output.write_text(text, encoding="utf-8")
    return 0


if __name__ == "__main__":
    sys.exit(main())
