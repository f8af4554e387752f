"""The command line: ``textloom text|extract|render|info`` (also ``python -m textloom``).

``main`` is the entry; ``parser`` builds the flags from the package's
vocabulary; ``report`` writes every stderr line (failures, summaries,
progress); ``errors`` holds the exit statuses; one module per command.
The library never imports this package.
"""

from textloom._cli.main import main

__all__ = ["main"]
