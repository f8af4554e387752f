"""Rendered pages: pixels in rows top to bottom, without padding."""

from __future__ import annotations

import os
from typing import TYPE_CHECKING

from textloom._optional import import_optional

if TYPE_CHECKING:
    import numpy as np
    import numpy.typing as npt
    from PIL.Image import Image as PilImage

_MODES = {1: "L", 3: "RGB", 4: "RGBA"}
# File extensions save writes, and Pillow's name of each format.
SAVE_FORMATS = {".png": "PNG", ".jpg": "JPEG", ".jpeg": "JPEG", ".webp": "WEBP", ".tif": "TIFF",
                ".tiff": "TIFF"}


class Image:
    """A rendered page: ``height`` rows of ``width`` pixels of ``channels`` bytes
    each (grey; red, green, blue; or red, green, blue, alpha), rows top to bottom
    with no padding, so ``stride`` is ``width * channels``."""

    __slots__ = ("width", "height", "channels", "data")

    def __init__(self, width: int, height: int, channels: int, data: bytes) -> None:
        if channels not in _MODES or len(data) != width * height * channels:
            raise ValueError(f"{len(data)} bytes are not a {width}x{height} image "
                             f"of {channels} channels")
        self.width = width
        self.height = height
        self.channels = channels
        self.data = data

    @property
    def stride(self) -> int:
        """Bytes per row."""
        return self.width * self.channels

    @property
    def mode(self) -> str:
        """The Pillow mode of the pixels: "L", "RGB" or "RGBA"."""
        return _MODES[self.channels]

    def to_numpy(self) -> npt.NDArray[np.uint8]:
        """The pixels as a read-only uint8 array of shape (height, width, channels),
        sharing this image's memory. Needs ``textloom[numpy]``."""
        numpy = import_optional("numpy", "numpy")
        pixels: npt.NDArray[np.uint8] = numpy.frombuffer(self.data, dtype=numpy.uint8)
        return pixels.reshape(self.height, self.width, self.channels)

    def to_pil(self) -> PilImage:
        """The pixels as a Pillow image, sharing this image's memory. Needs ``textloom[image]``."""
        pil = import_optional("PIL.Image", "image")
        image: PilImage = pil.frombuffer(self.mode, (self.width, self.height), self.data,
                                         "raw", self.mode, 0, 1)
        return image

    def save(self, path: str | os.PathLike[str]) -> None:
        """Writes the image in the format its extension names: PNG, JPEG (.jpg,
        .jpeg), WebP or TIFF (.tif, .tiff), through Pillow (``textloom[image]``);
        ValueError for any other extension. JPEG has no alpha: four channels
        are written as RGB."""
        extension = os.path.splitext(os.fspath(path))[1].lower()
        format = SAVE_FORMATS.get(extension)
        if format is None:
            raise ValueError(f"cannot tell an image format from {extension or 'no extension'!r} in "
                             f"{os.fspath(path)!r}: use {', '.join(SAVE_FORMATS)}")
        image = self.to_pil()
        if format == "JPEG" and image.mode == "RGBA":
            image = image.convert("RGB")
        image.save(path, format=format)

    def __repr__(self) -> str:
        return f"<textloom.Image {self.width}x{self.height} {self.mode}>"
