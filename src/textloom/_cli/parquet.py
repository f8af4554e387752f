"""``textloom extract``: PDFs to Parquet in OUT_DIR, resumable, on this
machine's worker processes (``--engine local``) or on a Ray cluster.

Both engines plan files, cut their pages and read them with the same worker
functions, so they write the same rows. Inputs that an earlier run in
OUT_DIR already wrote are skipped (``_batch.outdir``).
"""

from __future__ import annotations

import argparse
import hashlib
from typing import Any

from textloom._batch.failures import Failure
from textloom._batch.inputs import stamp
from textloom._cli.errors import EXIT_FAILED, EXIT_OK, InputError, OutputError, UsageError
from textloom._cli.interrupt import Interrupted, guard
from textloom._cli.report import Reporter
from textloom._cli.stream import input_files, run_options
from textloom._optional import import_optional
from textloom._options import DEFAULT_OCR_DPI, DEFAULT_OCR_LANGUAGE, ReadOptions


def manifest_options(options: ReadOptions) -> dict[str, Any]:
    """What the manifest records of the options: those that change the rows (a
    digest of the password, never the password)."""
    password = options.password
    secret = password.encode() if isinstance(password, str) else password
    # "columns": 2 since rows gained needs_ocr: a folder of older parts is refused, not mixed.
    return {"columns": 2, "format": options.format, "sort": options.sort,
            "pages": [list(item) for item in options.pages.items] if options.pages else None,
            "dehyphenate": options.dehyphenate,
            "password": None if secret is None else
            hashlib.sha256(b"textloom\0" + secret).hexdigest(),
            # Only when asked: the folders of earlier runs, which had no such option, stay valid.
            **({"offpage": True} if options.offpage else {}),
            **({"forms": False} if not options.forms else {}),
            **({"ocr": options.ocr} if options.ocr != "auto" else {}),
            **({"ocr_dpi": options.ocr_dpi} if options.ocr_dpi != DEFAULT_OCR_DPI else {}),
            **({"ocr_language": options.ocr_language}
               if options.ocr_language != DEFAULT_OCR_LANGUAGE else {}),
            **({"strategy": options.strategy} if options.format == "tables" else {})}


def _failures(rows: Any, path: str) -> list[Failure]:
    errors = rows.filter(rows["error"].is_valid()).to_pylist()
    return [Failure(path, None if row["page"] is None else row["page"] - 1, row["error_kind"],
                    row["error"]) for row in errors]


def run(args: argparse.Namespace) -> int:
    if args.address is not None and args.engine != "ray":
        raise UsageError("--address names a Ray cluster: it goes with --engine ray")
    try:
        import_optional("pyarrow.parquet", "parquet")
        if args.engine == "ray":
            import_optional("ray.data", "ray")
    except ImportError as error:
        raise InputError(str(error)) from None
    from textloom._batch.outdir import OutputDir, OutputDirBusy, OutputDirError, OutputWriteError

    options = ReadOptions(format=args.format, sort=args.sort, pages=args.pages,
                          password=args.password, dehyphenate=args.dehyphenate, offpage=args.offpage,
                          forms=args.forms, ocr=args.ocr, ocr_dpi=args.ocr_dpi,
                          ocr_language=args.ocr_language, strategy=args.strategy)
    runs = run_options(args)
    stamps = {}
    keys = set()
    for path in input_files(args.paths):
        identity = stamp(path)
        if identity.key not in keys:  # the same file named twice is done once
            keys.add(identity.key)
            stamps[path] = identity
    try:
        out = OutputDir(args.output, manifest_options(options), overwrite=args.overwrite,
                        rows_per_file=args.rows_per_file)
    except (OutputDirBusy, OutputWriteError) as error:  # not a usage error: the run cannot go on
        raise OutputError(str(error)) from None
    except OutputDirError as error:  # other options or another tool's files in it
        raise UsageError(str(error)) from None
    except OSError as error:  # a folder it cannot write fails the run
        raise OutputError(f"{error.filename or args.output}: {error.strerror or error}") from None
    engine = None
    writable = True  # a write failed: nothing more is tried
    try:
        todo = out.pending(stamps)
        reporter = Reporter(len(todo), quiet=args.quiet)
        if todo and args.engine == "ray":
            from textloom._batch.ray_engine import RaySession

            try:
                engine = RaySession(args.address, runs.jobs)
            except ConnectionError as error:  # no cluster there, or one that refuses us
                raise InputError(str(error).splitlines()[-1]) from None
        if engine is not None:
            tables: Any = engine.tables(todo, options, runs, args.pages_per_task)
        else:
            from textloom._batch.local import local_tables

            tables = local_tables(todo, options, runs) if todo else []
        notes = (f", {len(stamps) - len(todo)} files already in {args.output}"
                 if len(stamps) > len(todo) else "")
        notes += f", {out.repaired} inputs written twice by an earlier run now kept once" \
            if out.repaired else ""
        notes += f" (Ray start-up {engine.startup:.1f} s apart)" if engine else ""
        try:
            for table in tables:
                with guard.whole():  # a part in flight is committed whole or not at all
                    finished = list(out.add(table))
                for path, rows in finished:
                    for failure in _failures(rows, path):
                        reporter.failure(failure)
                    reporter.file_done(rows["error"].null_count)
            with guard.whole():
                reporter.files += len(out.finish(todo))
        except OutputWriteError as error:
            writable = False
            reporter.close(summary=False)
            raise OutputError(str(error)) from None
        except Interrupted:
            reporter.close(notes + " (interrupted)")
            raise
        except BaseException:
            reporter.close(summary=False)
            raise
        reporter.close(notes)
    finally:
        try:
            if writable:
                with guard.whole():
                    out.flush()  # what is complete stays written, however the run ends
        except OutputWriteError as error:
            raise OutputError(str(error)) from None
        finally:
            out.close()
            if engine is not None:
                engine.close()
    return EXIT_FAILED if reporter.failed else EXIT_OK
