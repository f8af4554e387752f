"""Input files: paths, directories and globs, on the local disk or behind a URI.

A URI (``s3://bucket/docs``, ``gs://...``, ``file:///data``) is listed and read
through pyarrow's filesystems, the ones Ray Data reads; the workers open such
a file as a seekable stream, so PDFium reads only the parts it needs. Local
paths need nothing beyond the standard library.
"""

from __future__ import annotations

import errno
import fnmatch
import glob
import os
import stat
from collections.abc import Iterable
from pathlib import Path
from typing import IO, Any, NamedTuple

from textloom._optional import import_optional


def is_uri(path: str) -> bool:
    return "://" in path


def _filesystem(uri: str) -> tuple[Any, str]:
    """pyarrow's filesystem for ``uri`` and the path within it."""
    fs = import_optional("pyarrow.fs", "parquet")
    filesystem, path = fs.FileSystem.from_uri(uri)
    return filesystem, path


def _pdfs_below(folder: Path) -> list[str]:
    """Every ``*.pdf`` below ``folder``: its files, and what only bears the name
    (a FIFO, a folder), which fails as "not a regular file" rather than pass unseen."""
    return sorted(str(found) for found in folder.rglob("*") if found.suffix.lower() == ".pdf")


def _expand_local(path: str) -> list[str]:
    if os.path.isdir(path):
        return _pdfs_below(Path(path))
    if os.path.exists(path) or not glob.has_magic(path):
        return [path]
    found: list[str] = []
    for match in sorted(glob.glob(path, recursive=True)):
        found += _pdfs_below(Path(match)) if os.path.isdir(match) else [match]
    return found or [path]  # no match: the path stays, to fail as a missing file


def _matches(path: str, pattern: str | None) -> bool:
    """As glob matches: a wildcard stays within its folder, ``**`` spans any."""
    if pattern is None:
        return True
    if "**" not in pattern and path.count("/") != pattern.count("/"):
        return False
    return fnmatch.fnmatchcase(path, pattern)


def _expand_uri(uri: str) -> list[str]:
    fs = import_optional("pyarrow.fs", "parquet")
    scheme = uri[:uri.index("://") + 3]
    filesystem, path = _filesystem(uri)
    pattern = None
    if glob.has_magic(path):  # listed below the folder that holds the first wildcard
        first_wildcard = min(path.find(c) for c in "*?[" if c in path)
        pattern, path = path, path[:first_wildcard].rpartition("/")[0]
    info = filesystem.get_file_info(path)
    if info.type != fs.FileType.Directory:
        return [uri]
    listed = filesystem.get_file_info(fs.FileSelector(path, recursive=True))
    found = sorted(entry.path for entry in listed if entry.type == fs.FileType.File
                   and entry.path.lower().endswith(".pdf") and _matches(entry.path, pattern))
    if pattern is not None and not found:
        return [uri]
    return [scheme + found_path for found_path in found]


def list_inputs(paths: str | os.PathLike[str] | Iterable[str | os.PathLike[str]]) -> list[str]:
    """Files as given; a directory as every ``*.pdf`` below it, sorted; a glob as
    its matches (directories among them as their PDFs). Missing paths stay, so
    that they fail as the files they name."""
    given = [paths] if isinstance(paths, (str, os.PathLike)) else list(paths)
    files: list[str] = []
    for path in map(os.fsdecode, given):
        files += _expand_uri(path) if is_uri(path) else _expand_local(path)
    return files


class Stamp(NamedTuple):
    """What tells a later run that an input is still the file it was."""

    key: str  # the real path of a local file, the URI of another
    size: int
    mtime_ns: int


def stamp(path: str) -> Stamp:
    """The input's identity; size -1 when it cannot be found (it fails, and a
    later run that finds it does it again)."""
    if is_uri(path) and not path.startswith("file://"):
        fs = import_optional("pyarrow.fs", "parquet")
        filesystem, inner = _filesystem(path)
        info = filesystem.get_file_info(inner)
        if info.type == fs.FileType.NotFound:
            return Stamp(path, -1, 0)
        return Stamp(path, info.size or 0, info.mtime_ns or 0)
    if is_uri(path):  # a local file by another name: the same key as its path
        path = _filesystem(path)[1]
    try:
        status = os.stat(path)
    except OSError:
        return Stamp(os.path.realpath(path), -1, 0)
    return Stamp(os.path.realpath(path), status.st_size, status.st_mtime_ns)


def open_source(path: str) -> str | IO[bytes]:
    """What ``textloom.open`` reads: a local path as it is, a URI as a seekable stream.
    A local path that is not a regular file (a FIFO would block its reader for
    ever) is an OSError "not a regular file"."""
    if not is_uri(path):
        try:
            regular = stat.S_ISREG(os.stat(path).st_mode)
        except OSError:
            return path  # missing or unreadable: opening it says so
        if not regular:
            raise OSError(errno.EINVAL, "not a regular file", path)
        return path
    filesystem, inner = _filesystem(path)
    stream: IO[bytes] = filesystem.open_input_file(inner)
    return stream
