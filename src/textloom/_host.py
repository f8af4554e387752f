"""Where the native module meets pypdfium2: the library path and document handles.

The native module never opens files and never initialises PDFium. It loads the
libpdfium that pypdfium2 already loaded (the same dlopen handle, so one PDFium
instance) and reads documents through their raw ``FPDF_DOCUMENT`` address.
pypdfium2 is imported here only when a function needs it: its import costs
far more than the rest of the package.
"""

from __future__ import annotations

import os
import sys
from typing import Any

from textloom import _native

_LIBRARY_NAMES = {"darwin": "libpdfium.dylib", "win32": "pdfium.dll"}
_initialised = False


def pdfium_library_path() -> str:
    """Path of the libpdfium shared library that pypdfium2 has loaded."""
    import pypdfium2_raw
    from pypdfium2_raw import bindings

    library = getattr(bindings, "_libs", {}).get("pdfium")
    path = getattr(library, "_name", None)
    if isinstance(path, str) and os.path.isabs(path) and os.path.exists(path):
        return path
    name = _LIBRARY_NAMES.get(sys.platform, "libpdfium.so")
    return os.path.join(os.path.dirname(pypdfium2_raw.__file__), name)


def document_address(pdf: Any) -> int:
    """The raw FPDF_DOCUMENT address of a pypdfium2 ``PdfDocument``.

    Valid only while ``pdf`` is alive and open.
    """
    import ctypes

    return ctypes.cast(pdf.raw, ctypes.c_void_p).value or 0


def form_address(pdf: Any) -> int:
    """The raw FPDF_FORMHANDLE of a pypdfium2 ``PdfDocument``'s form environment,
    0 where it has none (``init_forms`` not called, or no form).

    Valid only while ``pdf`` is alive and open.
    """
    import ctypes

    formenv = pdf.formenv
    return 0 if formenv is None else ctypes.cast(formenv.raw, ctypes.c_void_p).value or 0


def use_pdfium() -> None:
    """Point the native module at pypdfium2's PDFium (idempotent, cheap after the first call)."""
    global _initialised
    if not _initialised:
        _native.init(pdfium_library_path())
        _initialised = True
