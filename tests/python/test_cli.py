"""The README's main job end to end: `python -m textloom` prints the bundled
sample, whose contents tools/make_sample.py states."""

from __future__ import annotations

import re
import subprocess
import sys

from make_sample import PARAGRAPH

BULLETS = ["\u2022 glyphs with boxes and fonts", "\u2022 lines, blocks and words",
           "\u2022 reading order"]
HYPHENATED = ["A word cut at the end of a line comes back as one: exam-",
              "ple text follows on the next line."]
PAGES = [  # (header after the page number, lines that stand alone, the page's words in order)
    ("595.3 x 841.9 pt, rotation 0", ["textloom sample document", *HYPHENATED, *BULLETS],
     ["textloom sample document", PARAGRAPH * 2, *HYPHENATED, *BULLETS]),
    ("595.3 x 841.9 pt, rotation 0", ["Two columns under one heading"],
     ["Two columns under one heading", "Left column.", PARAGRAPH * 3, "Right column.",
      PARAGRAPH * 3]),
    ("841.9 x 595.3 pt, rotation 90",
     ["A landscape page that the viewer shows turned by 90 degrees."],
     ["A landscape page that the viewer shows turned by 90 degrees."]),
]


def test_main_job_prints_the_sample():
    done = subprocess.run([sys.executable, "-m", "textloom"], capture_output=True, text=True,
                          timeout=120)
    assert (done.returncode, done.stderr) == (0, "")
    parts = re.split(r"^=== sample\.pdf page (\d+): (.*), (\d+) glyphs\n", done.stdout, flags=re.M)
    assert parts[0] == ""
    pages = [parts[i:i + 4] for i in range(1, len(parts), 4)]
    assert [int(page[0]) for page in pages] == list(range(1, len(PAGES) + 1))
    for (_, header, n_glyphs, text), (want_header, lines, words) in zip(pages, PAGES):
        assert header == want_header
        assert set(lines) <= set(text.splitlines())
        assert text.split() == " ".join(words).split()
        assert int(n_glyphs) == len(text.replace("\n", ""))  # every glyph printed, none added
