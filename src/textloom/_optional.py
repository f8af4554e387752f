"""Optional dependencies, imported only by the calls that need them."""

from __future__ import annotations

from types import ModuleType


def import_optional(module: str, extra: str) -> ModuleType:
    """Imports ``module``, or raises ImportError naming the extra that installs it."""
    import importlib

    try:
        return importlib.import_module(module)
    except ImportError as error:
        raise ImportError(
            f"this needs {module.split('.')[0]}: pip install 'textloom[{extra}]'") from error
