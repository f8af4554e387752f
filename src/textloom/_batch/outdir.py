"""The output folder of ``textloom extract``: Parquet parts and the manifest
that makes a run resumable.

OUT_DIR holds ``part-NNNNNN.parquet`` files and ``_textloom_manifest.jsonl``,
whose leading underscore makes Parquet readers skip it as they skip
``_SUCCESS``, so ``pyarrow.parquet.read_table(OUT_DIR)`` reads the rows alone.

The manifest is a journal, one JSON object a line, each appended and synced
in one write: first the options of the run, then a line per committed part
naming the inputs it holds (key, path, size, modification time). Rows of a
file are written only once the file is complete. A part is written under a
temporary name, synced, renamed and the folder synced, and only then is its
line appended: a part file that no line names was left by a run that died
before committing it, and the next run deletes it and does its inputs again.
The finished files leave the run's buffer before their part is written, so
an interruption at any step leaves them either uncommitted or committed
once, never both. So a page is never written twice, whenever a run is killed;
and a folder where an earlier version recorded an input twice is repaired on
the next run, the newest copy kept.
An input whose file changed since (size or time) is done again, and its old
rows leave their part: the part is rewritten without them, committed the
same way.
"""

from __future__ import annotations

import contextlib
import fcntl
import json
import os
import re
import time
from collections.abc import Iterator, Sequence
from dataclasses import dataclass
from typing import IO, Any

import pyarrow as pa
import pyarrow.compute as pc
import pyarrow.parquet as pq

from textloom._batch.inputs import Stamp
from textloom._batch.names import escape_stray, output_name
from textloom._batch.rows import FILE_ROWS

MANIFEST = "_textloom_manifest.jsonl"
LOCK = "_textloom.lock"
_PART = re.compile(r"part-(\d+)\.parquet")
_TEMPORARY = "_writing-"
FLUSH_BYTES = 128 << 20  # a part is written at this size in memory, or ...
# ... when a quarter of the run's time has passed since the last part, at
# least FLUSH_SECONDS_MIN and at most FLUSH_SECONDS_MAX: a run killed at any
# moment keeps about three quarters of what it finished, and a long run
# writes a part a minute, not a folder of tiny files.
FLUSH_SECONDS_MIN = 2.0
FLUSH_SECONDS_MAX = 60.0


class OutputDirError(Exception):
    """OUT_DIR cannot take this run's options or inputs; the message says why and what to do."""


class OutputDirBusy(OutputDirError):
    """Another run holds OUT_DIR."""


class OutputWriteError(OutputDirError):
    """OUT_DIR cannot be written (a full disk, a folder without permission)."""


def _write_error(error: OSError, path: str) -> OutputWriteError:
    """The one line for a failed write: the reason, then the file."""
    reason = os.strerror(error.errno) if error.errno else str(error)
    if not error.errno and "No space left on device" in reason:  # pyarrow's own wording
        reason = os.strerror(28)
    return OutputWriteError(f"{reason[:1].lower()}{reason[1:]} writing {path}")


def _sync_folder(folder: str) -> None:
    """Makes a rename in ``folder`` durable."""
    fd = os.open(folder, os.O_RDONLY)
    try:
        os.fsync(fd)
    finally:
        os.close(fd)


@dataclass(frozen=True)
class _Entry:
    stamp: Stamp
    path: str  # as the rows name it (``names.output_name``)
    part: str | None  # None: the input gave no rows

    def record(self) -> list[Any]:
        return [self.stamp.key, self.path, self.stamp.size, self.stamp.mtime_ns]


class OutputDir:
    """OUT_DIR for one run: what earlier runs did, and the rows of this one."""

    def __init__(self, folder: str, options: dict[str, Any], *, overwrite: bool,
                 rows_per_file: int) -> None:
        self.folder = folder
        self.rows_per_file = rows_per_file
        os.makedirs(folder, exist_ok=True)
        self._lock = self._take_lock()
        self.done: dict[str, _Entry] = {}  # by input key
        self.parts: dict[str | None, list[_Entry]] = {}
        self.next_part = 0
        self.repaired = 0  # inputs an earlier run recorded twice, now kept once
        self._twice: dict[str | None, set[str]] = {}  # older part -> keys recorded again later
        try:
            self._open(options, overwrite)
        except BaseException:
            self.close()
            raise
        self.stamps: dict[str, Stamp] = {}  # this run's inputs, by the name the rows give
        self.seen: set[str] = set()  # inputs that gave rows in this run
        self.partial: dict[str, tuple[int, list[pa.Table]]] = {}  # rows so far of unfinished files
        self.complete: list[tuple[str, pa.Table]] = []  # finished files not yet written
        self.buffered = self.buffered_bytes = 0  # rows and bytes of the finished files
        self.began = self.last_flush = time.monotonic()

    # -- the journal ------------------------------------------------------------------

    def _open(self, options: dict[str, Any], overwrite: bool) -> None:
        manifest = self._path(MANIFEST)
        if overwrite:
            self._clear()
        elif os.path.exists(manifest):
            self._read(options)
        elif any(_PART.fullmatch(name) for name in os.listdir(self.folder)):
            raise OutputDirError(f"{self.folder} holds part files that no textloom manifest records; "
                              "--overwrite replaces them")
        if not os.path.exists(manifest):
            self._append({"textloom_manifest": 1, "options": options})
        self._delete_uncommitted()

    def _path(self, name: str) -> str:
        return os.path.join(self.folder, name)

    def _take_lock(self) -> IO[bytes]:
        lock = open(self._path(LOCK), "ab")
        try:  # a record lock, which forked workers do not inherit, so a killed run frees it
            fcntl.lockf(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except OSError:
            lock.close()
            raise OutputDirBusy(f"another textloom extract is writing to {self.folder}") from None
        return lock

    def _clear(self) -> None:
        for name in os.listdir(self.folder):
            if name == MANIFEST or _PART.fullmatch(name) or name.startswith(_TEMPORARY):
                os.remove(self._path(name))

    def _read(self, options: dict[str, Any]) -> None:
        path = self._path(MANIFEST)
        with open(path, "rb") as journal:
            data = journal.read()
        end = data.rfind(b"\n") + 1
        lines = data[:end].splitlines()
        try:
            header = json.loads(lines[0]) if lines else {}
            if not isinstance(header, dict) or "textloom_manifest" not in header:
                raise ValueError("no header")
            if header.get("options") != options:
                recorded = header.get("options") or {}
                differ = ", ".join(f"{key} {recorded.get(key)!r} now {value!r}"
                                   for key, value in options.items() if recorded.get(key) != value)
                raise OutputDirError(f"{self.folder} holds a run with other options ({differ}); "
                                  "rerun with those, or --overwrite to start anew")
            for line in lines[1:]:
                self._apply(json.loads(line), repairing=True)
        except (ValueError, KeyError, TypeError, AttributeError) as error:
            raise OutputDirError(f"{path} is not a textloom manifest, or is damaged ({error}); "
                              "--overwrite replaces it") from None
        if end < len(data):  # a line cut short by a kill: it never counted
            with open(path, "rb+") as journal:
                journal.truncate(end)

    def _apply(self, record: dict[str, Any], *, repairing: bool = False) -> None:
        if "replaces" in record:
            for entry in self.parts.pop(record["replaces"], []):
                if self.done.get(entry.stamp.key) == entry:
                    del self.done[entry.stamp.key]
        part = record["part"]
        entries = [_Entry(Stamp(key, size, mtime), path, part)
                   for key, path, size, mtime in record["inputs"]]
        for entry in entries:
            earlier = self.done.get(entry.stamp.key)
            if repairing and earlier is not None and earlier.part != part:
                self._twice.setdefault(earlier.part, set()).add(entry.stamp.key)
        self.parts.setdefault(part, []).extend(entries)
        self.done.update((entry.stamp.key, entry) for entry in entries)
        for name in (part, record.get("replaces")):
            match = _PART.fullmatch(name or "")
            if match:
                self.next_part = max(self.next_part, int(match[1]) + 1)

    def _append(self, record: dict[str, Any]) -> None:
        text = json.dumps(record, ensure_ascii=False, separators=(",", ":"))
        line = (escape_stray(text) + "\n").encode()  # a key of a name that is not UTF-8 escaped
        path = self._path(MANIFEST)
        try:
            fd = os.open(path, os.O_WRONLY | os.O_APPEND | os.O_CREAT, 0o644)
            try:
                rest = memoryview(line)
                while rest:  # a short write (a full disk) is retried to learn why; a cut line never counts
                    rest = rest[os.write(fd, rest):]
                os.fsync(fd)
            finally:
                os.close(fd)
        except OSError as error:
            raise _write_error(error, path) from None

    def _commit(self, record: dict[str, Any]) -> None:
        self._append(record)
        self._apply(record)

    def _delete_uncommitted(self) -> None:
        for name in os.listdir(self.folder):
            if (_PART.fullmatch(name) and name not in self.parts) or name.startswith(_TEMPORARY):
                os.remove(self._path(name))
        for part, keys in self._twice.items():
            if part in self.parts:
                self._drop_inputs(part, keys)
                self.repaired += len(keys)
        self._twice.clear()

    def _write_part(self, table: pa.Table) -> str:
        name = f"part-{self.next_part:06d}.parquet"
        self.next_part += 1
        temporary = self._path(_TEMPORARY + name + ".tmp")  # not *.parquet to any reader
        try:
            with open(temporary, "wb") as file:
                pq.write_table(table, file)
                file.flush()
                os.fsync(file.fileno())
            os.replace(temporary, self._path(name))
            _sync_folder(self.folder)
        except OSError as error:
            with contextlib.suppress(OSError):
                os.remove(temporary)
            raise _write_error(error, self._path(name)) from None
        return name

    # -- inputs -----------------------------------------------------------------------

    def pending(self, stamps: dict[str, Stamp]) -> list[str]:
        """The paths still to do, in order: new inputs, and inputs whose file
        changed (their old rows are dropped now). Keeps ``stamps`` for the commits."""
        self.stamps = {output_name(path): identity for path, identity in stamps.items()}
        todo: list[str] = []
        changed: dict[str | None, set[str]] = {}
        for path, stamp in stamps.items():
            entry = self.done.get(stamp.key)
            if entry is not None and entry.stamp == stamp:
                continue
            if entry is not None:
                changed.setdefault(entry.part, set()).add(stamp.key)
            todo.append(path)
        for part, keys in changed.items():
            self._drop_inputs(part, keys)
        return todo

    def _drop_inputs(self, part: str | None, keys: set[str]) -> None:
        """Commits ``part`` without the inputs of ``keys``: rewritten without their
        rows, or gone when none is left."""
        keep = [entry for entry in self.parts[part] if entry.stamp.key not in keys]
        record: dict[str, Any] = {"part": None, "inputs": [entry.record() for entry in keep],
                                  "replaces": part}
        if part is not None and keep:
            table = pq.read_table(self._path(part))
            kept = pc.is_in(table["path"], value_set=pa.array(sorted({entry.path for entry in keep})))
            record["part"] = self._write_part(table.filter(kept))
        self._commit(record)
        if part is not None:
            os.remove(self._path(part))

    # -- rows -------------------------------------------------------------------------

    def add(self, table: pa.Table) -> Iterator[tuple[str, pa.Table]]:
        """Takes rows (with ``_file_rows``) of any files in any order; yields each
        file that is now complete with all its rows, and writes parts as they fill."""
        paths = table["path"].to_pylist()
        start = 0
        for end in range(1, len(paths) + 1):
            if end < len(paths) and paths[end] == paths[start]:
                continue
            path = paths[start]
            self.seen.add(path)
            seen, tables = self.partial.pop(path, (0, []))
            tables.append(table.slice(start, end - start))
            seen += end - start
            if seen < table[FILE_ROWS][start].as_py():
                self.partial[path] = (seen, tables)
            else:
                rows = pa.concat_tables(tables).drop_columns([FILE_ROWS])
                self.complete.append((path, rows))
                self.buffered += rows.num_rows
                self.buffered_bytes += rows.nbytes
                yield path, rows
            start = end
        now = time.monotonic()
        interval = min(max((now - self.began) / 4, FLUSH_SECONDS_MIN), FLUSH_SECONDS_MAX)
        if (self.buffered >= self.rows_per_file or self.buffered_bytes >= FLUSH_BYTES
                or now - self.last_flush >= interval):
            self.flush()

    def flush(self, rowless: Sequence[str] = ()) -> None:
        """Writes the complete files as a part and commits it, with the ``rowless``
        inputs (done, no rows) beside them. The files leave the buffer first: an
        interruption from here on leaves them uncommitted (a rerun does them)
        or committed, and a later flush never commits them again."""
        self.last_flush = time.monotonic()
        complete, self.complete = self.complete, []
        self.buffered = self.buffered_bytes = 0
        if not complete and not rowless:
            return
        name = None
        if complete:
            rows = pa.concat_tables([rows for _, rows in complete])
            name = self._write_part(rows.sort_by([("path", "ascending"), ("page", "ascending")]))
        inputs = [path for path, _ in complete] + list(rowless)
        try:
            self._commit({"part": name, "inputs": [
                _Entry(self.stamps[path], path, name).record() for path in inputs]})
        except OutputWriteError:  # not recorded: readers must not see it either
            if name is not None:
                with contextlib.suppress(OSError):
                    os.remove(self._path(name))
            raise

    def finish(self, todo: Sequence[str]) -> list[str]:
        """Commits what is complete once a run over ``todo`` has gone to its end,
        with the inputs that gave no row (no page chosen), which it returns."""
        rowless = [path for path in todo if output_name(path) not in self.seen]
        self.flush([output_name(path) for path in rowless])
        return rowless

    def close(self) -> None:
        self._lock.close()
