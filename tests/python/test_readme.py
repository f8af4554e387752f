"""The README shows what its examples do: the tour is examples/tour.py and
prints what the README says, and every `$` command prints the lines under it."""

from __future__ import annotations

import os
import re
import subprocess
import sys
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
README = (ROOT / "README.md").read_text()


def blocks(kind: str) -> list[str]:
    return re.findall(rf"```{kind}\n(.*?)```", README, re.S)


@pytest.fixture
def workdir(tmp_path: Path) -> Path:
    """A scratch copy of the repository's view: the README's relative paths work,
    and the files the examples write land here."""
    for name in ("src", "examples"):
        (tmp_path / name).symlink_to(ROOT / name)
    (tmp_path / ".venv").mkdir()
    (tmp_path / ".venv" / "bin").symlink_to(Path(sys.executable).parent)
    return tmp_path


def test_tour_is_the_example_and_prints_what_the_readme_shows(workdir):
    tour = (ROOT / "examples" / "tour.py").read_text()
    code = tour[tour.index('"""', 3) + 4:].lstrip("\n")  # without the docstring
    assert blocks("python") == [code]
    done = subprocess.run([sys.executable, "examples/tour.py"], cwd=workdir, capture_output=True,
                          text=True, timeout=300, check=True)
    assert done.stdout == blocks("text")[0]


def test_console_commands_print_what_the_readme_shows(workdir):
    (session,) = blocks("console")
    for command, expected in re.findall(r"^\$ (.*)\n((?:(?!\$ ).*\n)*)", session, re.M):
        done = subprocess.run(command, shell=True, cwd=workdir, capture_output=True, text=True,
                              timeout=300, env={**os.environ, "COLUMNS": "80"})
        summary = re.sub(r"textloom: \d+ files, .*\n", "", done.stderr)  # its time varies
        assert (done.returncode, done.stdout + summary) == (0, expected), command
