"""The command line's entry: ``textloom [COMMAND] ...`` and ``python -m textloom``.

Without a command, ``text`` is meant; without files, the bundled sample.
Commands raise the errors of ``errors``; this is the one place that turns
them (and Ctrl-C or SIGTERM, and a reader that went away) into a stderr line
and an exit status.
"""

from __future__ import annotations

import difflib
import os
import sys
from collections.abc import Sequence

from textloom._cli.errors import EXIT_FAILED, EXIT_INTERRUPTED, EXIT_USAGE, CliError, UsageError
from textloom._cli.interrupt import Interrupted, guard
from textloom._cli.parser import COMMANDS, build
from textloom._cli.report import line


def _with_command(arguments: list[str]) -> list[str]:
    """``arguments`` with the command in front: ``text`` when the first word is
    an option or names an input; a word that is neither is a mistyped command."""
    if arguments and arguments[0] in (*COMMANDS, "-h", "--help", "--version"):
        return arguments
    first = arguments[0] if arguments else ""
    if first and not first.startswith("-") and not _looks_like_input(first):
        close = difflib.get_close_matches(first, COMMANDS, n=1)
        hint = f" (did you mean '{close[0]}'?)" if close else f" (commands: {', '.join(COMMANDS)})"
        raise UsageError(f"unknown command '{first}'{hint}")
    return ["text", *arguments]


def _looks_like_input(word: str) -> bool:
    """An existing path, or a word shaped like one: a file name, a folder, a glob, a URI."""
    return os.path.exists(word) or any(mark in word for mark in ("/", ".", "*", "?", "[", "://"))


def main(argv: Sequence[str] | None = None) -> int:
    """Runs the command line on ``argv`` (default: ``sys.argv[1:]``); returns the exit status."""
    from textloom._cli import grep, info, parquet, render, tables, text

    run = {"text": text.run, "tables": tables.run, "grep": grep.run, "extract": parquet.run,
           "render": render.run, "info": info.run}
    try:
        arguments = _with_command(list(sys.argv[1:] if argv is None else argv))
        try:
            args = build().parse_args(arguments)
        except SystemExit as exit:  # argparse: usage errors are 2, --help and --version 0
            return exit.code if isinstance(exit.code, int) else EXIT_USAGE
        with guard.installed():
            return run[args.command](args)
    except CliError as error:
        line(str(error))
        return error.status
    except BrokenPipeError:  # the reader went away (| head): stop quietly
        devnull = os.open(os.devnull, os.O_WRONLY)
        os.dup2(devnull, sys.stdout.fileno())
        return EXIT_FAILED
    except Interrupted as interrupted:
        return interrupted.status
    except KeyboardInterrupt:
        return EXIT_INTERRUPTED
