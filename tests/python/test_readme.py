"""The README does what it shows, against the installed package, in an empty
folder: every Python block prints the text block that follows it (the first
is examples/tour.py), and every `$` command of the console blocks prints the
lines under it, in order, in one folder (the set-up block at the top is what
CI runs itself)."""

from __future__ import annotations

import os
import re
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
README = (ROOT / "README.md").read_text()
SUMMARY = re.compile(r"textloom: \d+ files, \d+ pages, \d+ failed, .*\n")  # its time varies


def blocks(kind: str) -> list[str]:
    return re.findall(rf"```{kind}\n(.*?)```", README, re.S)


def test_every_python_block_prints_what_the_readme_shows(tmp_path):
    examples = re.findall(r"```python\n(.*?)```\s*```text\n(.*?)```", README, re.S)
    assert len(examples) == len(blocks("python")) >= 1
    tour = (ROOT / "examples" / "tour.py").read_text()
    assert examples[0][0] == tour[tour.index('"""', 3) + 4:].lstrip("\n")  # without the docstring
    for code, expected in examples:
        done = subprocess.run([sys.executable, "-c", code], cwd=tmp_path, capture_output=True,
                              text=True, timeout=300)
        assert (done.returncode, done.stderr, done.stdout) == (0, "", expected), code


def test_console_commands_print_what_the_readme_shows(tmp_path):
    path = f"{Path(sys.executable).parent}{os.pathsep}{os.environ.get('PATH', '')}"
    for session in blocks("console"):
        for command, expected in re.findall(r"^\$ (.*)\n((?:(?!\$ ).*\n)*)", session, re.M):
            done = subprocess.run(command, shell=True, cwd=tmp_path, capture_output=True, text=True,
                                  timeout=300, env={**os.environ, "COLUMNS": "80", "PATH": path})
            shown = done.stdout + SUMMARY.sub("", done.stderr)
            assert shown == expected, command
            # A command fails exactly where the README shows it say why.
            assert (done.returncode != 0) == ("textloom: " in expected), command
