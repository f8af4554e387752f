# Stubs of the C++ extension textloom._native (see native/python/).
from collections.abc import Iterable
from typing import Any, Final, final

from textloom._types import NativeTable, PdftextBlock, Rect, Sort

__version__: Final[str]

def init(lib_path: str) -> None: ...
def load_page(doc_addr: int, index: int, ligatures: bool = False, form_addr: int = 0) -> RsPage: ...
def bench_page(doc_addr: int, index: int) -> dict[str, int]: ...
def render_page(
    doc_addr: int,
    index: int,
    scale_x: float,
    scale_y: float,
    clip: Rect | None = None,
    rotated: bool = True,
    alpha: bool = False,
    grayscale: bool = False,
    annots: bool = True,
    antialias: bool = True,
    background: int = 4294967295,
    timeout: float | None = None,
) -> tuple[int, int, int, bytes]: ...
def render_plan(
    doc_addr: int,
    index: int,
    scale_x: float,
    scale_y: float,
    clip: Rect | None = None,
    rotated: bool = True,
) -> tuple[int, int, int, int, int, int, int]: ...

class RenderTimeout(RuntimeError): ...

def find_pattern(pattern: str, text: str, caseless: bool = False) -> list[tuple[int, int]]: ...
def grey_pixels(pixels: bytes, width: int, height: int, stride: int, channels: int) -> bytes: ...
def fold_text(text: str, case: bool, folds: FoldTable) -> tuple[str, bytes] | str: ...
def markdown_pages(
    pages: list[RsPage] | tuple[RsPage, ...],
    sort: Sort = "reading",
    keep_headers: bool = False,
    superscripts: bool = True,
    subscripts: bool = True,
    links: bool = True,
) -> list[str]: ...
@final
class FoldTable:
    def __init__(self) -> None: ...
    def __len__(self) -> int: ...
    def add(self, folds: dict[str, str], /) -> None: ...
    def clear(self) -> None: ...

@final
class TextMap:
    @property
    def text(self) -> str: ...
    def fragments(self, start: int, end: int) -> list[tuple[Rect, int, int]]: ...
    def fold(self, case: bool, folds: FoldTable) -> tuple[str, bytes] | str: ...
    def find(
        self,
        query: str,
        folds: FoldTable,
        regex: bool = False,
        case: bool = False,
        words: bool = False,
        match: type[tuple[Any, ...]] | None = None,
        fragment: type[tuple[Any, ...]] | None = None,
    ) -> list[tuple[str, int, int, list[tuple[Rect, int, int]]]] | str: ...

@final
class RsPage:
    @property
    def width(self) -> float: ...
    @property
    def height(self) -> float: ...
    @property
    def rotation(self) -> int: ...
    @property
    def crop(self) -> Rect: ...
    @property
    def n_glyphs(self) -> int: ...
    @property
    def timings(self) -> dict[str, int]: ...
    @property
    def links(self) -> list[tuple[Rect, str | None, int | None]]: ...
    @property
    def text_annotations(self) -> int: ...
    def visible(self) -> RsPage: ...
    def with_shown_text(self) -> RsPage: ...
    def without_chars(self, chars: Iterable[int]) -> RsPage: ...
    def text_map(self, sort: Sort = None, rotated: bool = False) -> TextMap: ...
    def text_signals(self) -> tuple[int, int, float, float, float, float, bool, str | None]: ...
    def with_text(
        self,
        runs: Iterable[tuple[str, float, float, float, float]],
        font: str = "Helvetica",
        replace: bool = False,
        upright: int = -1,
    ) -> RsPage: ...
    def tables(
        self,
        strategy: str = "auto",
        clip: Rect | None = None,
        snap_tolerance: float = 0.3,
        join_tolerance: float = 0.35,
        intersection_tolerance: float = 0.3,
        column_gap: float = 1.0,
        min_rows: int = 3,
    ) -> list[NativeTable]: ...
    def get_text(
        self,
        option: str = "text",
        sort: Sort = None,
        clip: Rect | None = None,
        rotated: bool = False,
        dehyphenate: bool = False,
        delimiters: str | None = None,
        extended: bool = False,
    ) -> Any: ...
    def pdftext_blocks(self, sort: Sort = None, keep_chars: bool = False) -> list[PdftextBlock]: ...
    def words_arrays(
        self, sort: Sort = None, clip: Rect | None = None, rotated: bool = False
    ) -> tuple[bytes, bytes, list[str]]: ...
