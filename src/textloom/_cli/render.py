"""``textloom render``: one page to an image file, its format by its extension."""

from __future__ import annotations

import argparse
from pathlib import Path

from textloom._cli.errors import InputError, OutputError
from textloom._cli.report import note


def run(args: argparse.Namespace) -> int:
    import textloom

    output = args.output or f"{Path(args.path).stem}-{args.page}.png"
    try:
        with textloom.open(args.path, password=args.password) as document:
            if args.page > len(document):
                raise InputError(f"{args.path}: no page {args.page}: it has {len(document)}")
            image = document[args.page - 1].render(args.scale, dpi=args.dpi)
    except (textloom.PdfError, ValueError, TimeoutError) as error:
        raise InputError(str(error)) from None
    except OSError as error:
        raise InputError(f"{error.filename or args.path}: {error.strerror or error}") from None
    try:
        image.save(output)
    except (OSError, ValueError, ImportError) as error:
        raise OutputError(str(error) if not isinstance(error, OSError) else
                          f"{error.filename or output}: {error.strerror or error}") from None
    note(f"{output}: {image.width} x {image.height} pixels")
    return 0
