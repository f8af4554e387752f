"""textloom: fast page-level text extraction, layout and rendering on PDFium.

    import textloom
    with textloom.open("paper.pdf") as doc:
        print(doc[0].get_text(sort="reading"))

The public API is what this module lists in ``__all__``; modules whose names
start with an underscore are implementation. Importing textloom stays cheap:
pypdfium2, NumPy, Pillow and tqdm are imported by the calls that need them.
"""

from typing import TYPE_CHECKING, Any

from textloom import _native
from textloom._document import Document, open
from textloom._errors import PasswordError, PdfError
from textloom._host import document_address, pdfium_library_path, use_pdfium
from textloom._image import Image
from textloom._lock import pdfium_lock
from textloom._page import Page
from textloom._sample import sample_path
from textloom._types import Annotation, FormField, Link, TextSignals

if TYPE_CHECKING:
    from textloom._search import Fragment, Match, TextMap
    from textloom._tables import Cell, Table

__version__: str = _native.__version__

# Imported on first use: import textloom stays light.
_LAZY = {"Cell": "textloom._tables", "Table": "textloom._tables", "Fragment": "textloom._search",
         "Match": "textloom._search", "TextMap": "textloom._search"}


def __getattr__(name: str) -> Any:
    module = _LAZY.get(name)
    if module is None:
        raise AttributeError(f"module 'textloom' has no attribute {name!r}")
    import importlib

    value = getattr(importlib.import_module(module), name)
    globals()[name] = value
    return value

__all__ = [
    "Annotation",
    "Cell",
    "Document",
    "FormField",
    "Fragment",
    "Image",
    "Link",
    "Match",
    "Page",
    "PasswordError",
    "PdfError",
    "Table",
    "TextMap",
    "TextSignals",
    "__version__",
    "document_address",
    "open",
    "pdfium_library_path",
    "pdfium_lock",
    "sample_path",
    "use_pdfium",
]
