"""Mutation check: do the tests catch plausible one-line bugs?

Each mutant of tools/mutants.txt changes one piece of one line of the shipped
code. The check applies it to a private copy of the tree (build/mutation/tree,
never the working tree itself), rebuilds incrementally, and runs the tests
until the first failure: core_tests for a mutant of native/core, then pytest,
first the generated-page tests and then the corpus ones. A mutant that makes
some test fail (or crash, or hang past the timeout) is caught; one that passes
everything survived. Before any mutant the unmutated copy must pass.

The copy holds the working tree as it stands (tracked and untracked files, not
the ignored ones), so uncommitted test changes are what gets checked; with
--rev it holds that commit instead (the table is always the working tree's,
so one table serves a before and an after run). pytest in the copy reads the
corpus through build/mutation/shared, a link to the shared directory beside
the repository or its main checkout.

    .venv/bin/python tools/mutation_check.py                  # every mutant
    .venv/bin/python tools/mutation_check.py --check          # only validate the table
    .venv/bin/python tools/mutation_check.py -k dehyph -k clip --report out.md
    .venv/bin/python tools/mutation_check.py --rev main       # the tests of main

Needs `make build` (the .venv) and the tests' system packages (GoogleTest).
"""

from __future__ import annotations

import argparse
import dataclasses
import os
import re
import shutil
import signal
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
TABLE = ROOT / "tools" / "mutants.txt"
WORK = ROOT / "build" / "mutation"
TREE = WORK / "tree"
BUILD = TREE / "build" / "tests"  # where the copy's conftest looks for glyph_dump
PYTHON = ROOT / ".venv" / "bin" / "python"
TARGETS = ["core_tests", "glyph_dump", "_native"]
# pytest runs in two stages so that a mutant fails fast on the quick tests.
PYTEST_STAGES = [("pytest", "not corpus"), ("pytest corpus", "corpus")]


@dataclasses.dataclass
class Mutant:
    behaviour: str
    section: str
    path: str
    original: str = ""
    replacement: str | None = None
    occurrence: int = 0  # 0: the text must occur exactly once


@dataclasses.dataclass
class Outcome:
    status: str        # caught, survived, build failed, timeout
    by: str = ""       # the suite and the first failing test
    seconds: float = 0.0


def parse_table(text: str) -> list[Mutant]:
    """Reads the table: a line per behaviour, then indented lines giving the
    file (optionally "@ N" for the Nth occurrence of the text), "- original"
    and "+ replacement"; "## title" starts a section; "#" lines are comments."""
    mutants: list[Mutant] = []
    section = ""
    for number, line in enumerate(text.splitlines(), 1):
        stripped = line.strip()
        if stripped.startswith("## "):
            section = stripped[3:].strip()
        elif not stripped or stripped.startswith("#"):
            continue
        elif not line[0].isspace():
            mutants.append(Mutant(stripped, section, ""))
        elif not mutants:
            raise SystemExit(f"mutants.txt:{number}: indented line before any behaviour")
        elif stripped.startswith("- ") or stripped == "-":
            mutants[-1].original = line.split("-", 1)[1][1:].rstrip()
        elif stripped.startswith("+ ") or stripped == "+":
            mutants[-1].replacement = line.split("+", 1)[1][1:].rstrip()
        else:
            path, _, nth = stripped.partition("@")
            mutants[-1].path = path.strip()
            mutants[-1].occurrence = int(nth) if nth.strip() else 0
    return mutants


def apply(mutant: Mutant, source: str) -> str:
    """The mutated text of `source`; raises ValueError if the table's original
    text is not found where it should be."""
    if not mutant.original or mutant.replacement is None:
        raise ValueError("needs both a '-' and a '+' line")
    if mutant.original == mutant.replacement:
        raise ValueError("replacement equals the original")
    if "\n" in mutant.original:
        raise ValueError("the original text spans lines")
    starts = [m.start() for m in re.finditer(re.escape(mutant.original), source)]
    if mutant.occurrence == 0 and len(starts) != 1:
        raise ValueError(f"original text found {len(starts)} times; give '@ N'")
    if mutant.occurrence > len(starts):
        raise ValueError(f"original text found only {len(starts)} times")
    at = starts[max(mutant.occurrence, 1) - 1]
    return source[:at] + mutant.replacement + source[at + len(mutant.original):]


def validate(mutants: list[Mutant], files: dict[str, bytes]) -> list[str]:
    problems = []
    seen = set()
    for m in mutants:
        if m.behaviour in seen:
            problems.append(f"{m.behaviour}: behaviour named twice")
        seen.add(m.behaviour)
        if m.path not in files:
            problems.append(f"{m.behaviour}: no file {m.path!r}")
            continue
        try:
            apply(m, files[m.path].decode("utf-8"))
        except ValueError as error:
            problems.append(f"{m.behaviour}: {m.path}: {error}")
    return problems


# -- the private copy -----------------------------------------------------------------

def shared_dir() -> Path:
    """The directory the tests call ../shared: beside the repository, or
    beside the main checkout when this is a linked worktree."""
    candidates = [ROOT.parent / "shared"]
    common = subprocess.run(["git", "rev-parse", "--path-format=absolute", "--git-common-dir"],
                            cwd=ROOT, capture_output=True, text=True)
    if common.returncode == 0:
        candidates.append(Path(common.stdout.strip()).parent.parent / "shared")
    for candidate in candidates:
        if (candidate / "corpus").is_dir():
            return candidate
    raise SystemExit("no shared/corpus beside the repository or its main checkout")


def source_files(rev: str | None) -> dict[str, bytes]:
    """The working tree's files (tracked and untracked, not ignored), or those
    of commit `rev`."""
    def git(*args: str) -> bytes:
        return subprocess.run(["git", *args], cwd=ROOT, capture_output=True, check=True).stdout

    if rev is None:
        names = git("ls-files", "-z", "--cached", "--others", "--exclude-standard").decode()
        return {name: (ROOT / name).read_bytes() for name in names.split("\0")
                if name and (ROOT / name).is_file()}
    names = git("ls-tree", "-r", "-z", "--name-only", rev).decode()
    return {name: git("show", f"{rev}:{name}") for name in names.split("\0") if name}


def sync_copy(files: dict[str, bytes]) -> None:
    """Makes TREE hold `files`, writing only those that differ so the copy's
    build stays incremental."""
    for name, data in files.items():
        target = TREE / name
        if not target.is_file() or target.read_bytes() != data:
            target.parent.mkdir(parents=True, exist_ok=True)
            target.write_bytes(data)
    for path in TREE.rglob("*"):
        relative = path.relative_to(TREE).as_posix()
        if (path.is_file() and not path.is_symlink() and relative not in files
                and not relative.startswith("build/") and "__pycache__" not in relative):
            path.unlink()
    link = WORK / "shared"
    if not link.exists():
        link.symlink_to(shared_dir())


def configure() -> None:
    if (BUILD / "build.ninja").is_file():
        return
    subprocess.run(["cmake", "-S", str(TREE), "-B", str(BUILD), "-G", "Ninja",
                    "-DTEXTLOOM_TESTS=ON", "-DTEXTLOOM_MODULE=ON", f"-DPython_EXECUTABLE={PYTHON}",
                    "-DCMAKE_BUILD_TYPE=Release"], check=True, capture_output=True)


def build(jobs: int) -> bool:
    done = subprocess.run(["cmake", "--build", str(BUILD), "-j", str(jobs), "--target", *TARGETS],
                          capture_output=True, text=True)
    if done.returncode != 0:
        return False
    # The copy's package imports the extension just built.
    [module] = BUILD.glob("_native*.so")
    link = TREE / "src" / "textloom" / module.name
    if not link.is_symlink():
        link.symlink_to(os.path.relpath(module, link.parent))
    return True


# -- running the tests ----------------------------------------------------------------

def run(command: list[str], timeout: float, **kwargs) -> tuple[int | None, str]:
    """Runs a command in its own process group; None as the status on timeout."""
    process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                               text=True, start_new_session=True, **kwargs)
    try:
        output, _ = process.communicate(timeout=timeout)
        return process.returncode, output
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        output, _ = process.communicate()
        return None, output
    except BaseException:
        os.killpg(process.pid, signal.SIGKILL)
        process.wait()
        raise


def core_tests(timeout: float) -> tuple[str, str]:
    """("", "") when every test passes, else (status, first failure)."""
    status, output = run([str(BUILD / "core_tests"), "--gtest_fail_fast", "--gtest_brief=1"],
                         timeout)
    if status is None:
        return "timeout", "core_tests"
    if status == 0:
        return "", ""
    failed = re.findall(r"^\[  FAILED  \] (\S+)", output, re.M)
    return "caught", "core_tests " + (failed[0].rstrip(",") if failed else f"exit status {status}")


def pytest(timeout: float) -> tuple[str, str]:
    env = dict(os.environ, PYTHONPATH=str(TREE / "src"), PYTHONDONTWRITEBYTECODE="1")
    for stage, selection in PYTEST_STAGES:
        status, output = run([str(PYTHON), "-m", "pytest", "-x", "-q", "--tb=no",
                              "-p", "no:cacheprovider", "-k", selection],
                             timeout, cwd=TREE, env=env)
        if status is None:
            return "timeout", stage
        if status not in (0, 5):  # 5: nothing selected
            failed = re.findall(r"^(?:FAILED|ERROR) (\S+)", output, re.M)
            return "caught", f"{stage} " + (failed[0] if failed else f"exit status {status}")
    return "", ""


def check_copy_imports_its_own_build() -> None:
    env = dict(os.environ, PYTHONPATH=str(TREE / "src"))
    where = subprocess.run([str(PYTHON), "-c", "import textloom._native as n; print(n.__file__)"],
                           cwd=TREE, env=env, capture_output=True, text=True, check=True)
    if not Path(where.stdout.strip()).resolve().is_relative_to(BUILD.resolve()):
        raise SystemExit(f"the copy imports {where.stdout.strip()}, not its own build")


def run_suites(mutant: Mutant | None, timeout: float) -> tuple[str, str]:
    if mutant is None or mutant.path.startswith("native/core/"):
        status, by = core_tests(timeout)
        if status:
            return status, by
    return pytest(timeout)


def try_mutant(mutant: Mutant, jobs: int, timeout: float) -> Outcome:
    path = TREE / mutant.path
    original = path.read_text(encoding="utf-8")
    start = time.monotonic()
    try:
        path.write_text(apply(mutant, original), encoding="utf-8")
        if not build(jobs):
            return Outcome("build failed", seconds=time.monotonic() - start)
        status, by = run_suites(mutant, timeout)
        return Outcome(status or "survived", by, time.monotonic() - start)
    finally:
        path.write_text(original, encoding="utf-8")


# -- report ---------------------------------------------------------------------------

def report(mutants: list[Mutant], outcomes: dict[str, Outcome]) -> str:
    counted = [outcomes[m.behaviour] for m in mutants if m.behaviour in outcomes]
    caught = sum(o.status in ("caught", "timeout") for o in counted)
    valid = sum(o.status != "build failed" for o in counted)
    lines = [f"{caught} of {valid} mutants caught "
             f"({sum(o.status == 'survived' for o in counted)} survived, "
             f"{sum(o.status == 'build failed' for o in counted)} did not build).", "",
             "| behaviour broken | file | result | first failure | s |", "|---|---|---|---|---|"]
    section = None
    for m in mutants:
        if m.behaviour not in outcomes:
            continue
        if m.section != section:
            section = m.section
            lines.append(f"| **{section}** | | | | |")
        o = outcomes[m.behaviour]
        lines.append(f"| {m.behaviour} | {m.path} | {o.status} | {o.by.replace('|', '/')} "
                     f"| {o.seconds:.0f} |")
    return "\n".join(lines) + "\n"


def stop(signum: int, frame: object) -> None:
    raise KeyboardInterrupt(f"signal {signum}")


def main(argv: list[str] | None = None) -> int:
    # A run started in the background ignores Ctrl-C; a plain kill then still
    # restores the copy and ends the tests it started.
    signal.signal(signal.SIGTERM, stop)
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("-k", dest="only", action="append", default=[],
                        help="run only behaviours containing this text (repeatable)")
    parser.add_argument("--check", action="store_true", help="validate the table and stop")
    parser.add_argument("--report", type=Path, help="also write the markdown report here")
    parser.add_argument("--timeout", type=float, default=1200,
                        help="seconds per test stage before a mutant counts as a hang")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--rev", help="check this commit's code and tests, not the working tree")
    args = parser.parse_args(argv)

    mutants = parse_table(TABLE.read_text(encoding="utf-8"))
    files = source_files(args.rev)
    problems = validate(mutants, files)
    if problems:
        print("\n".join(problems), file=sys.stderr)
        return 2
    if args.only:
        mutants = [m for m in mutants if any(k in m.behaviour for k in args.only)]
    print(f"{len(mutants)} mutants, table valid", flush=True)
    if args.check:
        return 0

    TREE.mkdir(parents=True, exist_ok=True)
    sync_copy(files)
    configure()
    if not build(args.jobs):
        raise SystemExit(f"the unmutated copy does not build (cmake --build {BUILD})")
    check_copy_imports_its_own_build()
    status, by = run_suites(None, args.timeout)
    if status:
        raise SystemExit(f"the unmutated copy fails its tests: {status} {by}")

    outcomes: dict[str, Outcome] = {}
    try:
        for number, mutant in enumerate(mutants, 1):
            outcome = try_mutant(mutant, args.jobs, args.timeout)
            outcomes[mutant.behaviour] = outcome
            print(f"[{number}/{len(mutants)}] {outcome.status:9} {mutant.behaviour}"
                  f"{' -- ' + outcome.by if outcome.by else ''} ({outcome.seconds:.0f} s)",
                  flush=True)
    finally:
        text = report(mutants, outcomes)
        if args.report:
            args.report.write_text(text, encoding="utf-8")
        print(text)
        shutil.rmtree(TREE / "src" / "textloom" / "__pycache__", ignore_errors=True)
    return 0 if all(o.status != "survived" for o in outcomes.values()) else 1


if __name__ == "__main__":
    sys.exit(main())
