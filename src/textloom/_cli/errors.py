"""The command line's errors and its exit statuses, in one place.

Commands raise these; ``main`` turns each into its one line on stderr and
its status. 0: every input worked; 1: some input (or the output) failed;
2: the command was used wrongly; 130: interrupted (Ctrl-C), 143: stopped (SIGTERM).
"""

from __future__ import annotations

EXIT_OK = 0
EXIT_FAILED = 1
EXIT_USAGE = 2
EXIT_INTERRUPTED = 130


class CliError(Exception):
    """An expected failure of a command; its message is the stderr line."""

    status = EXIT_FAILED


class UsageError(CliError):
    """The command, its options or its inputs were given wrongly."""

    status = EXIT_USAGE


class InputError(CliError):
    """An input cannot be read at all (rows of inputs that fail are reported by the run)."""


class OutputError(CliError):
    """Where the output goes cannot take it."""
