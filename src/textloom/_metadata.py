"""Document metadata and outline, read through pypdfium2 (callers hold the PDFium lock)."""

from __future__ import annotations

import re
from datetime import datetime, timedelta, timezone
from typing import Any

# Info dictionary key -> our key.
_KEYS = {
    "Title": "title", "Author": "author", "Subject": "subject", "Keywords": "keywords",
    "Creator": "creator", "Producer": "producer",
    "CreationDate": "creation_date", "ModDate": "modification_date",
}
_DATE_KEYS = ("CreationDate", "ModDate")

# D:YYYYMMDDHHmmSSOHH'mm' where everything after the year is optional; some
# producers drop the "D:" or write "Z00'00'".
_PDF_DATE = re.compile(
    r"\s*(?:D:)?(\d{4})(\d\d)?(\d\d)?(\d\d)?(\d\d)?(\d\d)?"
    r"(?:(Z)(?:00'?00'?)?|([+-])(\d\d)'?(?:(\d\d)'?)?)?\s*$")


def pdf_date_to_iso(text: str) -> str:
    """A PDF date as ISO 8601 (``2016-12-31T18:43:23+01:00``), or ``text`` unchanged
    when it does not parse. Missing month and day count as 01, missing time fields as 0."""
    match = _PDF_DATE.match(text)
    if match is None:
        return text
    year, month, day, hour, minute, second, zulu, sign, tz_hours, tz_minutes = match.groups()
    tz: timezone | None = None
    if zulu:
        tz = timezone.utc
    elif sign:
        offset = timedelta(hours=int(tz_hours), minutes=int(tz_minutes or 0))
        tz = timezone(-offset if sign == "-" else offset)
    try:
        moment = datetime(int(year), int(month or 1), int(day or 1), int(hour or 0),
                          int(minute or 0), int(second or 0), tzinfo=tz)
    except ValueError:  # month 13, hour 25, offset of a day or more
        return text
    return moment.isoformat()


def read_metadata(pdf: Any) -> dict[str, str | None]:
    """The info dictionary of a pypdfium2 document: empty values as None, dates as ISO 8601."""
    result: dict[str, str | None] = {}
    for pdf_key, key in _KEYS.items():
        value = str(pdf.get_metadata_value(pdf_key))
        if value and pdf_key in _DATE_KEYS:
            value = pdf_date_to_iso(value)
        result[key] = value or None
    return result


def read_toc(pdf: Any) -> list[tuple[int, str, int | None]]:
    """The outline as (level from 1, title, target page index or None); an entry
    may point at its page through a destination or through a go-to action."""
    import pypdfium2.raw as raw

    from textloom._links import action_target, dest_page

    toc: list[tuple[int, str, int | None]] = []
    for bookmark in pdf.get_toc():
        index = dest_page(pdf.raw, raw.FPDFBookmark_GetDest(pdf.raw, bookmark.raw))
        if index is None:
            index = action_target(pdf.raw, raw.FPDFBookmark_GetAction(bookmark.raw))[1]
        toc.append((int(bookmark.level) + 1, str(bookmark.get_title()), index))
    return toc
