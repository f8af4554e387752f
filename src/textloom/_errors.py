"""Exceptions users can act on: a file PDFium rejects, a missing or wrong password."""

from __future__ import annotations


class PdfError(ValueError):
    """A file that is not a PDF, or that PDFium cannot read.

    ``filename`` names the input (a path, or ``<bytes>``/``<stream>``), and
    ``reason`` says what PDFium reported.
    """

    def __init__(self, filename: str, reason: str) -> None:
        super().__init__(f"{filename}: {reason}")
        self.filename = filename
        self.reason = reason

    def __reduce__(self) -> tuple[type[PdfError], tuple[str, str]]:
        # Pickled across worker processes with both fields, not the joined message.
        return (type(self), (self.filename, self.reason))


class PasswordError(PdfError):
    """An encrypted PDF opened without its password, or with a wrong one."""
