"""The package's rooms: no import circle, and the library never importing the
command line or the batch engine (tools/import_graph.py reads the imports)."""

from __future__ import annotations

import import_graph


def test_no_circle_and_the_library_stays_below_cli_and_batch():
    edges = import_graph.graph()
    assert import_graph.circles(edges) == []
    upper = ("textloom._cli", "textloom._batch")
    library = [name for name in edges if not name.startswith(upper + ("textloom.compat", "textloom.ray"))
               and name not in ("textloom.__main__",)]
    assert {name: sorted(dep for dep in edges[name] if dep.startswith(upper)) for name in library} == {
        name: [] for name in library}
