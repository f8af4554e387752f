"""The one lock around PDFium.

PDFium is not thread-safe, and pypdfium2's ctypes calls release the
interpreter lock, so the interpreter lock alone does not keep two threads out
of PDFium. Every call into PDFium that this package makes (opening, page
loading, rendering, metadata, links, closing, finalizers included) holds
``pdfium_lock``; code that also calls pypdfium2 directly can take it too.
It is re-entrant, so a finalizer that runs while its own thread already holds
the lock does not deadlock.
"""

from __future__ import annotations

import threading

pdfium_lock = threading.RLock()
