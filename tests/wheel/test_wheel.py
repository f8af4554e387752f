"""The wheel users install: make wheel's repaired wheel runs on glibc 2.28 and
later (manylinux_2_28) with nothing beyond the policy's system libraries, and
installs into a fresh virtual environment whose command line and README tour
work."""

from __future__ import annotations

import re
import subprocess
import sys
import venv
import zipfile
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
DIST = ROOT / "dist"


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


def test_auditwheel_finds_a_manylinux_2_28_abi3_wheel_that_bundles_nothing(wheel: Path) -> None:
    assert re.fullmatch(r"textloom-[\d.]+-cp310-abi3-manylinux_2_28_x86_64\.whl", wheel.name)
    shown = " ".join(run(sys.executable, "-m", "auditwheel", "show", wheel).split())
    tag = re.search(r'consistent with the following platform tag: "manylinux_2_(\d+)_x86_64"', shown)
    assert tag and int(tag[1]) <= 28, shown
    # Only glibc's libraries: the C++ runtime and PCRE2 are linked in, PDFium loaded at run time.
    libraries = set(re.findall(r"(lib[\w+-]+\.so\.\d+) with versions", shown))
    assert libraries <= {"libc.so.6", "libm.so.6", "libpthread.so.0", "libdl.so.2"}, libraries
    assert "pcre" not in shown


def test_the_module_exports_its_init_alone(wheel: Path, tmp_path: Path) -> None:
    # The linked-in C++ runtime must stay private, or another extension's could bind to it.
    with zipfile.ZipFile(wheel) as archive:
        module = Path(archive.extract("textloom/_native.abi3.so", tmp_path))
    table = run("objdump", "-T", module).splitlines()
    exports = [line.split()[-1] for line in table if re.match(r"[0-9a-f]+ [gw] ", line)
               and "*UND*" not in line]
    assert exports == ["PyInit__native"]


def test_fresh_environment_runs_the_command_line_and_the_tour(wheel: Path, tmp_path: Path) -> None:
    env = tmp_path / "env"
    venv.create(env, with_pip=True)
    python = env / "bin" / "python"
    run(python, "-m", "pip", "install", "-q", f"{wheel}[image]")
    # Run outside the source tree, so only the installed package can answer.
    expected = run(sys.executable, "-m", "textloom", "text", "--jobs", "1", cwd=tmp_path)
    assert "textloom sample document" in expected
    assert run(env / "bin" / "textloom", "text", "--jobs", "2", cwd=tmp_path) == expected
    sample = run(python, "-c", "import textloom; print(textloom.sample_path())", cwd=tmp_path)
    assert sample.startswith(str(env)), sample
    assert '"pages":3' in run(python, "-m", "textloom", "info", "--jsonl", sample.strip(), cwd=tmp_path)
    shown = re.search(r"```python\n.*?```\s*```text\n(.*?)```", (ROOT / "README.md").read_text(), re.S)
    assert shown and run(python, ROOT / "examples" / "tour.py", cwd=tmp_path) == shown[1]
