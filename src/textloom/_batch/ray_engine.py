"""The Ray engine: PDF pages as a Ray Data dataset, for corpora beyond one machine.

The dataset runs in two steps of Ray tasks. The first plans blocks of files
(which pages each gives) and packs their parts into tasks of about
``pages_per_task`` pages; a streaming repartition makes each task its own
block, so the second step spreads one big file's parts over the cluster as it
does small files. In every Ray worker PDFium runs in a child process that
lives as long as the worker (the local engine's worker pool, one process
wide), one document at a time: a page that crashes PDFium, exhausts the
memory limit or passes the time limit costs that page's row an error and a
new child, never the task. (Ray retries tasks whose worker died, without
end; no PDF can cause that here.)
"""

from __future__ import annotations

import logging
import os
import pickle
import time
from collections.abc import Iterable
from typing import TYPE_CHECKING, Any

from textloom._optional import import_optional
from textloom._options import ReadOptions, RunOptions, default_jobs, default_max_memory

if TYPE_CHECKING:
    import pyarrow as pa
    import ray.data

    from textloom._batch.pool import Pool

# Files planned by one task. Opening a file costs a small part of extracting
# it, and every Ray task costs some 20 ms of a worker's CPU on its own: few
# planning tasks, each soon done.
PLAN_FILES = 256
# What a task's PDFium child may hold, told to Ray's scheduler. Being the one
# difference between the two steps' resources, it also keeps Ray Data from
# fusing them into one task, which would run a big file's parts one by one.
TASK_MEMORY = 256 << 20

_pool: tuple[tuple[ReadOptions, RunOptions, bool], Pool] | None = None


def _worker_pool(options: ReadOptions, run: RunOptions, whole: bool) -> Pool:
    """This Ray worker's PDFium child, kept from task to task while the options stay;
    ``whole``: it plans files as one piece (the planning step cuts them itself)."""
    global _pool
    from textloom._batch.failures import describe
    from textloom._batch.pool import Pool
    from textloom._batch.rows_work import plan_rows, plan_whole, rows_piece

    key = (options, run, whole)
    if _pool is None or _pool[0] != key:
        if _pool is not None:
            _pool[1].shutdown()
        # Without a limit of its own, a child may hold its share of this node's memory.
        limit = run.max_memory or default_max_memory(default_jobs())
        _pool = (key, Pool(plan_whole if whole else plan_rows, rows_piece, options, describe,
                           jobs=1, timeout=run.timeout, memory_limit=limit))
    return _pool[1]


def _plan_tasks(files: pa.Table, options: ReadOptions, run: RunOptions,
                pages_per_task: int) -> pa.Table:
    """A block of files -> a row per task: its work units, pickled."""
    import pyarrow as pa

    from textloom._batch.units import pack, plan_units

    pool = _worker_pool(options, run, whole=True)
    plans = pool.run(files.column("path").to_pylist(), plan_only=True)
    tasks = [pickle.dumps(task) for task in pack(plan_units(plans, options, pages_per_task),
                                                  pages_per_task)]
    return pa.table({"units": pa.array(tasks, pa.binary())})


def _run_tasks(tasks: pa.Table, options: ReadOptions, run: RunOptions, file_rows: bool) -> pa.Table:
    """Tasks -> their pages' rows, with ``_file_rows`` or without."""
    import pyarrow as pa

    from textloom._batch.rows import FILE_ROWS, schema
    from textloom._batch.units import unit_tables

    units = [unit for task in tasks.column("units").to_pylist() for unit in pickle.loads(task)]
    tables = list(unit_tables(units, _worker_pool(options, run, whole=True).run))
    empty = schema(options.format).append(pa.field(FILE_ROWS, pa.int32())).empty_table()
    rows = pa.concat_tables([empty, *tables])
    return rows if file_rows else rows.drop_columns([FILE_ROWS])


def pages_dataset(files: list[str], options: ReadOptions, run: RunOptions, *,
                  pages_per_task: int, file_rows: bool = True) -> ray.data.Dataset:
    """The rows of ``files``, with the ``_file_rows`` column unless told otherwise."""
    data: Any = import_optional("ray.data", "ray")
    import pyarrow as pa

    from textloom._batch.rows import FILE_ROWS, schema

    if not files:
        columns = schema(options.format)
        if file_rows:
            columns = columns.append(pa.field(FILE_ROWS, pa.int32()))
        return data.from_arrow(columns.empty_table())
    blocks = [pa.table({"path": pa.array(files[start:start + PLAN_FILES], pa.string())})
              for start in range(0, len(files), PLAN_FILES)]
    dataset = data.from_arrow(blocks)
    dataset = dataset.map_batches(
        _plan_tasks, batch_format="pyarrow", batch_size=None,
        fn_kwargs={"options": options, "run": run, "pages_per_task": pages_per_task})
    # One task a block, so that the blocks spread over the workers; Ray Data
    # does this within the planning tasks.
    dataset = dataset.repartition(target_num_rows_per_block=1)
    return dataset.map_batches(
        _run_tasks, batch_format="pyarrow", batch_size=None, memory=TASK_MEMORY,
        fn_kwargs={"options": options, "run": run, "file_rows": file_rows})


class RaySession:
    """Ray for one run: connected to ``address`` (or started here) on entry, rows
    as Arrow tables; ``startup`` is the seconds that took."""

    def __init__(self, address: str | None, jobs: int) -> None:
        self.ray: Any = import_optional("ray", "ray")
        import_optional("ray.data", "ray")
        began = time.monotonic()
        self.started_here = not self.ray.is_initialized()
        if self.started_here:
            # "local" starts a Ray here even where an earlier `ray start` left its
            # address behind (Ray would join that cluster, gone or not).
            address = address or os.environ.get("RAY_ADDRESS") or "local"
            self.ray.init(address=address, num_cpus=jobs if address == "local" else None,
                          include_dashboard=False, logging_level=logging.WARNING,
                          log_to_driver=False)
        self.startup = time.monotonic() - began
        logging.getLogger("ray.data").setLevel(logging.WARNING)  # its progress bars stay

    def tables(self, files: list[str], options: ReadOptions, run: RunOptions,
               pages_per_task: int) -> Iterable[Any]:
        dataset = pages_dataset(files, options, run, pages_per_task=pages_per_task)
        # All of this dataset is ours: no operator needs CPUs held back for it,
        # which on a few cores would run one task at a time.
        dataset.context.op_resource_reservation_enabled = False
        return dataset.iter_batches(batch_format="pyarrow", batch_size=None)  # type: ignore[no-any-return]

    def close(self) -> None:
        if self.started_here:
            self.ray.shutdown()
