"""Finding and loading the shared libraries.

Search order for a library named NAME (dravex or tormak):
  1. an explicit path given to load();
  2. the environment variable NAME_LIBRARY (DRAVEX_LIBRARY, TORMAK_LIBRARY),
     a convenience of this Python package only: the libraries themselves
     read no environment variables;
  3. the directory of this package (a wheel carries the libraries there);
     on Windows also its subdirectory of the interpreter's architecture
     (i686 or x86_64), and build-windows/<architecture>/src/ of a source
     tree the package is imported from;
  4. the library directory of a CMake install under the same prefix (named
     by the file _library_dir that the install writes beside this module);
  5. the system loader (LD_LIBRARY_PATH, the loader cache, ...).
A path named in steps 1 or 2 must load; it is not silently skipped.

On Windows the DLL must match the interpreter's bitness. The Positioner
functions of the 32-bit dravex.dll use the standard-call convention
(ctypes.WinDLL); tormak.dll and every 64-bit function use the C one
(ctypes.CDLL).
"""
from __future__ import annotations

import ctypes
import ctypes.util
import dataclasses
import os
import struct
from typing import Callable, Dict, List, Optional, Union

PathLike = Union[str, "os.PathLike[str]"]

_PACKAGE_DIR = os.path.dirname(os.path.abspath(__file__))
_INSTALL_LAYOUT_FILE = "_library_dir"
SOVERSION = 1
# Libraries whose functions use the standard-call convention on 32-bit Windows.
_STDCALL_LIBRARIES = frozenset({"dravex"})
_loaded: Dict[str, ctypes.CDLL] = {}  # library name -> library, loaded once per process


class LibraryNotFound(OSError):
    """The shared library could not be found or loaded."""


@dataclasses.dataclass(frozen=True)
class Platform:
    """The facts of the running interpreter that the search depends on."""
    windows: bool
    pointer_bits: int
    package_dir: str

    @classmethod
    def current(cls) -> "Platform":
        return cls(os.name == "nt", struct.calcsize("P") * 8, _PACKAGE_DIR)

    @property
    def architecture(self) -> str:
        """The folder name of this bitness's Windows build."""
        return "x86_64" if self.pointer_bits == 64 else "i686"


@dataclasses.dataclass(frozen=True)
class Candidate:
    """One place to try: a path (or a bare name for the system loader) and
    whether it must be opened with the standard-call loader (WinDLL)."""
    path: str
    stdcall: bool
    system: bool = False


def uses_stdcall(name: str, platform: Platform) -> bool:
    return platform.windows and platform.pointer_bits == 32 and name in _STDCALL_LIBRARIES


def file_names(name: str, platform: Platform) -> List[str]:
    if platform.windows:
        return [f"{name}.dll"]
    return [f"lib{name}.so.{SOVERSION}", f"lib{name}.so"]


def _installed_library_dir(package_dir: str) -> Optional[str]:
    """The library directory a CMake install recorded, relative to the package."""
    try:
        with open(os.path.join(package_dir, _INSTALL_LAYOUT_FILE), encoding="utf-8") as f:
            relative = f.read().strip()
    except OSError:
        return None
    return os.path.normpath(os.path.join(package_dir, relative)) if relative else None


def search_dirs(platform: Platform) -> List[str]:
    """The directories of steps 3 and 4, in order."""
    dirs = [platform.package_dir]
    if platform.windows:
        source_root = os.path.dirname(os.path.dirname(platform.package_dir))
        dirs += [os.path.join(platform.package_dir, platform.architecture),
                 os.path.join(source_root, "build-windows", platform.architecture, "src")]
    installed = _installed_library_dir(platform.package_dir)
    if installed:
        dirs.append(installed)
    return dirs


def candidates(name: str, platform: Platform) -> List[Candidate]:
    """Every place steps 3 to 5 try, in order."""
    stdcall = uses_stdcall(name, platform)
    names = file_names(name, platform)
    found = [Candidate(os.path.join(d, n), stdcall) for d in search_dirs(platform) for n in names]
    system = list(names)
    if not platform.windows:
        located = ctypes.util.find_library(name)
        if located and located not in system:
            system.append(located)
    return found + [Candidate(n, stdcall, system=True) for n in system]


def _open(path: str, stdcall: bool) -> ctypes.CDLL:
    loader: Callable[[str], ctypes.CDLL] = ctypes.CDLL
    if stdcall:
        loader = getattr(ctypes, "WinDLL")  # only on Windows
    return loader(path)


def _search(name: str, platform: Platform) -> ctypes.CDLL:
    tried = []
    for candidate in candidates(name, platform):
        if not candidate.system and not os.path.exists(candidate.path):
            tried.append(candidate.path)
            continue
        try:
            return _open(candidate.path, candidate.stdcall)
        except OSError as error:
            where = " (system loader)" if candidate.system else f" ({error})"
            tried.append(candidate.path + where)
    raise LibraryNotFound(
        f"lib{name} not found; tried: {', '.join(tried)}. Install the wheel made by "
        f"scripts/build-wheel, pass the library's path to load(), or set {name.upper()}_LIBRARY")


def load_library(name: str, path: Optional[PathLike] = None) -> ctypes.CDLL:
    """Returns the loaded library NAME, loading it on first use.

    An explicit path replaces a library loaded earlier by this package.
    """
    if path is None and name in _loaded:
        return _loaded[name]
    platform = Platform.current()
    explicit = os.fspath(path) if path is not None else os.environ.get(f"{name.upper()}_LIBRARY")
    if explicit:
        try:
            library = _open(explicit, uses_stdcall(name, platform))
        except OSError as error:
            source = "load()" if path is not None else f"{name.upper()}_LIBRARY"
            raise LibraryNotFound(f"lib{name} from {source} ({explicit}) cannot be loaded: "
                                  f"{error}") from error
    else:
        library = _search(name, platform)
    _loaded[name] = library
    return library


def loaded(name: str) -> Optional[ctypes.CDLL]:
    """The library NAME if this package has loaded it already."""
    return _loaded.get(name)
