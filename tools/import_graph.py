"""The package's import graph: which module of src/textloom imports which.

    .venv/bin/python tools/import_graph.py      # files per folder, the longest chain, circles

tests/python/test_import_graph.py holds the package to its rules: no circle,
and the library (the flat modules) never importing the command line or the
batch engine. ``from textloom import x`` counts as importing module
``textloom.x`` where that is a module (the extension ``_native`` included).
"""

from __future__ import annotations

import ast
import sys
from pathlib import Path

SRC = Path(__file__).resolve().parents[1] / "src"


def graph(src: Path = SRC) -> dict[str, set[str]]:
    """Module name -> the package modules it imports (at any place in its code)."""
    root = src / "textloom"
    known = {".".join(f.relative_to(src).with_suffix("").parts).removesuffix(".__init__")
             for f in root.rglob("*.py")} | {"textloom._native"}
    edges: dict[str, set[str]] = {}
    for path in root.rglob("*.py"):
        name = ".".join(path.relative_to(src).with_suffix("").parts).removesuffix(".__init__")
        deps = edges.setdefault(name, set())
        for node in ast.walk(ast.parse(path.read_text())):
            if isinstance(node, ast.ImportFrom) and (node.module or "").startswith("textloom"):
                for alias in node.names:
                    sub = f"{node.module}.{alias.name}"
                    deps.add(sub if sub in known else str(node.module))
            elif isinstance(node, ast.Import):
                deps |= {alias.name for alias in node.names if alias.name in known}
        deps.discard(name)
    return edges


def circles(edges: dict[str, set[str]]) -> list[list[str]]:
    """Every module that can reach itself, with one path back to it."""
    found = []
    for start in sorted(edges):
        stack = [(start, [start])]
        seen = set()
        while stack:
            module, path = stack.pop()
            for dep in sorted(edges.get(module, ())):
                if dep == start:
                    found.append(path + [start])
                    stack.clear()
                    break
                if dep not in seen:
                    seen.add(dep)
                    stack.append((dep, path + [dep]))
    return found


def longest_chain(edges: dict[str, set[str]]) -> list[str]:
    """The longest path of imports (the graph has no circle)."""
    memo: dict[str, list[str]] = {}

    def chain(module: str) -> list[str]:
        if module not in memo:
            memo[module] = [module] + max((chain(dep) for dep in edges.get(module, ())), key=len,
                                          default=[])
        return memo[module]

    return max((chain(module) for module in edges), key=len)


def main() -> None:
    edges = graph(Path(sys.argv[1]) if len(sys.argv) > 1 else SRC)
    folders: dict[str, int] = {}
    for name in edges:
        folder = name.rpartition(".")[0] if name.count(".") > 1 else "textloom"
        folders[folder] = folders.get(folder, 0) + 1
    print("modules per folder:", folders)
    found = circles(edges)
    print("circles:", found or "none")
    if not found:
        chain = longest_chain(edges)
        print(f"longest chain ({len(chain) - 1} imports):", " -> ".join(chain))


if __name__ == "__main__":
    main()
