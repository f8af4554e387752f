"""``textloom extract``: PDFs to Parquet in OUT_DIR, resumable, on this
machine's worker processes (``--engine local``) or on a Ray cluster.

Both engines plan files, split them into parts and run the parts the same
way (``_extract_units``), so they write the same rows. Inputs that an earlier
run in OUT_DIR already wrote are skipped (``_outdir``).
"""

from __future__ import annotations

import argparse
import functools
import hashlib
import logging
import os
import sys
import time
from collections.abc import Iterable, Iterator
from typing import Any

from textloom._extract_jobs import ExtractOptions
from textloom._inputs import list_inputs, stamp
from textloom._optional import import_optional


def manifest_options(options: ExtractOptions) -> dict[str, Any]:
    """What the manifest records of the options: those that change the rows (a
    digest of the password, never the password)."""
    password = options.password
    return {"format": options.format, "sort": options.sort,
            "pages": [list(item) for item in options.pages.items] if options.pages else None,
            "dehyphenate": options.dehyphenate,
            "password": None if password is None else
            hashlib.sha256(b"textloom\0" + password.encode()).hexdigest()}


def _local_tables(files: list[str], options: ExtractOptions, args: argparse.Namespace) -> Iterator[Any]:
    from textloom._cli_jobs import describe
    from textloom._extract_jobs import extract_piece
    from textloom._extract_units import plan_units, unit_tables
    from textloom._pool import run_in_order

    run = functools.partial(run_in_order, work=extract_piece, options=options, describe=describe,
                            jobs=args.jobs, timeout=args.timeout)
    return unit_tables(plan_units(run(files), options, args.pages_per_task), run)


class _Ray:
    """Ray for one run: connected (or started here) on entry, rows as Arrow tables."""

    def __init__(self, args: argparse.Namespace) -> None:
        self.ray: Any = import_optional("ray", "ray")
        import_optional("ray.data", "ray")
        began = time.monotonic()
        self.started_here = not self.ray.is_initialized()
        if self.started_here:
            # "local" starts a Ray here even where an earlier `ray start` left its
            # address behind (Ray would join that cluster, gone or not).
            address = args.address or os.environ.get("RAY_ADDRESS") or "local"
            self.ray.init(address=address, num_cpus=args.jobs if address == "local" else None,
                          include_dashboard=False, logging_level=logging.WARNING,
                          log_to_driver=False)
        self.startup = time.monotonic() - began
        logging.getLogger("ray.data").setLevel(logging.WARNING)  # its progress bars stay

    def tables(self, files: list[str], options: ExtractOptions, args: argparse.Namespace) -> Iterable[Any]:
        from textloom.ray import pages_dataset

        dataset = pages_dataset(files, options, pages_per_task=args.pages_per_task,
                                timeout=args.timeout)
        # All of this dataset is ours: no operator needs CPUs held back for it,
        # which on a few cores would run one task at a time.
        dataset.context.op_resource_reservation_enabled = False
        return dataset.iter_batches(batch_format="pyarrow", batch_size=None)  # type: ignore[no-any-return]

    def close(self) -> None:
        if self.started_here:
            self.ray.shutdown()


class _Tally:
    """Files, pages and failures of the run, and a stderr line per failed file."""

    def __init__(self) -> None:
        self.files = self.pages = self.failed = 0

    def count(self, path: str, rows: Any) -> None:
        self.files += 1
        errors = rows.filter(rows["error"].is_valid())
        self.pages += rows.num_rows - errors.num_rows
        if errors.num_rows:
            self.failed += 1
            page, error = errors["page"][0].as_py(), errors["error"][0].as_py()
            where = "" if page is None else f"page {page}: "
            more = f" ({errors.num_rows} pages failed)" if errors.num_rows > 1 else ""
            print(f"textloom: {path}: {where}{error}{more}", file=sys.stderr, flush=True)


def extract(args: argparse.Namespace, options: ExtractOptions) -> int:
    """Runs the command; returns its exit status."""
    if args.address is not None and args.engine != "ray":
        print("textloom: --address names a Ray cluster: it goes with --engine ray", file=sys.stderr)
        return 2
    try:
        import_optional("pyarrow.parquet", "parquet")
        if args.engine == "ray":
            import_optional("ray.data", "ray")
    except ImportError as error:
        print(f"textloom: {error}", file=sys.stderr)
        return 1
    from textloom._outdir import OutputDir, OutputError

    stamps = {}
    keys = set()
    for path in list_inputs(args.paths):
        identity = stamp(path)
        if identity.key not in keys:  # the same file named twice is done once
            keys.add(identity.key)
            stamps[path] = identity
    try:
        out = OutputDir(args.output, manifest_options(options), overwrite=args.overwrite,
                        rows_per_file=args.rows_per_file)
    except (OutputError, OSError) as error:
        from textloom._cli_jobs import describe_os_error

        # A folder it cannot write fails the run; other options or another
        # tool's files in it are a usage error.
        reason = describe_os_error(error, args.output) if isinstance(error, OSError) else str(error)
        print(f"textloom: {reason}", file=sys.stderr)
        return 1 if isinstance(error, OSError) else 2
    tally = _Tally()
    engine: _Ray | None = None
    try:
        todo = out.pending(stamps)
        if todo and args.engine == "ray":
            try:
                engine = _Ray(args)
            except ConnectionError as error:  # no cluster there, or one that refuses us
                print(f"textloom: {str(error).splitlines()[-1]}", file=sys.stderr)
                return 1
        began = time.monotonic()
        tables = (engine.tables(todo, options, args) if engine is not None
                  else _local_tables(todo, options, args) if todo else [])
        for table in tables:
            for path, rows in out.add(table):
                tally.count(path, rows)
        tally.files += len(out.finish(todo))
        seconds = time.monotonic() - began
    finally:
        out.flush()  # what is complete stays written, however the run ends
        out.close()
        if engine is not None:
            engine.close()
    rate = tally.pages / seconds if seconds > 0 else 0.0
    skipped = len(stamps) - len(todo)
    print(f"textloom: {tally.files} files, {tally.pages} pages, {tally.failed} failed, "
          f"{rate:.1f} pages/s" + (f", {skipped} files already in {args.output}" if skipped else "")
          + (f" (Ray start-up {engine.startup:.1f} s apart)" if engine is not None else ""),
          file=sys.stderr)
    return 1 if tally.failed else 0
