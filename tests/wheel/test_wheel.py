"""The wheel users install: make wheel's repaired manylinux wheel needs nothing
beyond the manylinux policy, and installs into a fresh virtual environment
whose command line works on the bundled sample."""

from __future__ import annotations

import re
import subprocess
import sys
import venv
from pathlib import Path

import pytest

DIST = Path(__file__).resolve().parents[2] / "dist"


@pytest.fixture(scope="module")
def wheel() -> Path:
    wheels = sorted(DIST.glob("textloom-*.whl"))
    assert len(wheels) == 1, f"expected one wheel from make wheel in {DIST}, found {wheels}"
    return wheels[0]


def run(*command: str | Path, cwd: Path | None = None) -> str:
    done = subprocess.run([str(part) for part in command], capture_output=True, text=True,
                          cwd=cwd, timeout=600)
    assert done.returncode == 0, done.stderr
    return done.stdout


def test_auditwheel_finds_a_manylinux_abi3_wheel_that_bundles_nothing(wheel: Path) -> None:
    assert re.fullmatch(r"textloom-[\d.]+-cp310-abi3-manylinux_2_\d+_x86_64\.whl", wheel.name)
    shown = " ".join(run(sys.executable, "-m", "auditwheel", "show", wheel).split())
    tag = re.search(r'consistent with the following platform tag: "(manylinux_2_\d+_x86_64)"', shown)
    assert tag and tag[1] in wheel.name, shown
    # Only the policy's system libraries: PCRE2 is linked statically, PDFium loaded at run time.
    libraries = set(re.findall(r"(lib[\w+-]+\.so\.\d+) with versions", shown))
    assert libraries <= {"libc.so.6", "libm.so.6", "libgcc_s.so.1", "libstdc++.so.6"}, libraries
    assert "pcre" not in shown


def test_fresh_environment_runs_the_command_line(wheel: Path, tmp_path: Path) -> None:
    env = tmp_path / "env"
    venv.create(env, with_pip=True)
    python = env / "bin" / "python"
    run(python, "-m", "pip", "install", "-q", wheel)
    # Run outside the source tree, so only the installed package can answer.
    expected = run(sys.executable, "-m", "textloom", "text", "--jobs", "1", cwd=tmp_path)
    assert "textloom sample document" in expected
    assert run(env / "bin" / "textloom", "text", "--jobs", "2", cwd=tmp_path) == expected
    sample = run(python, "-c", "import textloom; print(textloom.sample_path())", cwd=tmp_path)
    assert sample.startswith(str(env)), sample
    assert '"pages":3' in run(python, "-m", "textloom", "info", "--jsonl", sample.strip(), cwd=tmp_path)
