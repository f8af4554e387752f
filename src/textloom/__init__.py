"""textloom: fast page-level text extraction, layout and rendering on PDFium.

The native work happens in :mod:`textloom._native`; this package hands it the
PDFium library and documents that pypdfium2 opened.
"""

from textloom import _native
from textloom._host import document_address, pdfium_library_path, use_pdfium

__version__ = _native.__version__

__all__ = ["document_address", "pdfium_library_path", "use_pdfium", "__version__"]
