"""File names in the batch output, including names that are not UTF-8.

Python decodes such a name (``os.fsdecode``) with each byte that is not UTF-8
as a code point from U+DC80 to U+DCFF, which no UTF-8 text can hold. The rule,
the same for JSON Lines and Parquet: each such code point is written as the
escape ``\\udcXX``. In JSON Lines that is JSON's own escape, so
``os.fsencode(json.loads(line)["file"])`` gives the name's bytes back; in
Parquet's "path" column the same six characters stand as text, and
``original_name`` turns them back. Names that are UTF-8 are written as they are.
"""

from __future__ import annotations

import re

_STRAY = re.compile("[\udc80-\udcff]")
_ESCAPED = re.compile(r"\\u(dc[89a-f][0-9a-f])")


def is_utf8(name: str) -> bool:
    return name.isascii() or _STRAY.search(name) is None


def escape_stray(text: str) -> str:
    """``text`` with its stray bytes as ``\\udcXX`` escapes."""
    return _STRAY.sub(lambda match: f"\\u{ord(match[0]):04x}", text)


def output_name(path: str) -> str:
    """The path as the output writes it."""
    return path if is_utf8(path) else escape_stray(path)


def original_name(name: str) -> str:
    """The path that ``output_name`` wrote as ``name``."""
    return _ESCAPED.sub(lambda match: chr(int(match[1], 16)), name) if "\\u" in name else name
