"""The package's vocabulary: every option's bad value gets the same message
through every door that takes the option (the API, ``textloom text``,
``textloom extract``, ``read_pdfs``), and exit status 2 on the command line."""

from __future__ import annotations

import pytest

import textloom
from textloom.ray import read_pdfs

from conftest import SAMPLE, cli

# option -> (the API's call with the value, or None; the flag; the value as the
# API and read_pdfs take it, the value as the flag takes it; the exception and
# the message, whose start is what every door says).
OPTIONS = {
    "sort": (lambda doc, value: doc[0].get_text(sort=value), "--sort", "diagonal", "diagonal",
             ValueError, 'unknown sort "diagonal"'),
    "format": (None, "--format", "html", "html", ValueError, 'unknown format "html": expected text'),
    "pages": (None, "--pages", "3-1", "3-1", ValueError,
              "bad page range '3-1': the range runs backwards"),
    "timeout": (lambda doc, value: doc[0].render(timeout=value), "--timeout", 0, "0", ValueError,
                "timeout must be a number of seconds above 0, not 0"),
    "max_memory": (None, "--max-memory", "lots", "lots", ValueError, "bad size 'lots'"),
    "password": (lambda doc, value: textloom.open(SAMPLE, password=value), None, 3, None, TypeError,
                 "password must be str or bytes, not int"),
    "dehyphenate": (lambda doc, value: doc[0].get_text(dehyphenate=value), None, 1, None, TypeError,
                    "argument 'dehyphenate': 'int' object cannot be converted to 'PyBool'"),
}
DOORS = ["api", "text", "extract", "read_pdfs"]


@pytest.mark.parametrize("door", DOORS)
@pytest.mark.parametrize("option", OPTIONS)
def test_a_bad_value_reads_the_same_through_every_door(tmp_path, option, door):
    api, flag, value, text, exception, message = OPTIONS[option]
    if door == "api" and api is None or door in ("text", "extract") and flag is None:
        pytest.skip(f"{option} does not come through {door}")
    if door in ("text", "extract"):
        command = ["-o", tmp_path / "out"] if door == "extract" else []
        done = cli(door, SAMPLE, *command, flag, text)
        assert done.returncode == 2 and message in done.stderr.decode()
        return
    with pytest.raises(exception) as raised, textloom.open(SAMPLE) as doc:
        if door == "api":
            api(doc, value)
        else:
            read_pdfs(SAMPLE, **{option: value})
    assert str(raised.value).startswith(message)
