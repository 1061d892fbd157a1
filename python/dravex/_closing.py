"""The context-manager exit shared by the package's connection objects."""

from __future__ import annotations

from typing import Any, Optional


class ClosedOnExit:
    """Closes the object at the end of a ``with`` block. A failing close is
    raised unless another exception is already on its way out."""

    def close(self) -> None:
        raise NotImplementedError

    def __exit__(self, exc_type: Optional[type], exc: Optional[BaseException],
                 tb: Any) -> None:
        try:
            self.close()
        except Exception:
            if exc_type is None:
                raise
