"""Finding and loading the shared libraries.

Search order for a library named NAME (dravex or tormak):
  1. an explicit path given to load();
  2. the environment variable NAME_LIBRARY (DRAVEX_LIBRARY, TORMAK_LIBRARY),
     a convenience of this Python package only: the libraries themselves
     read no environment variables;
  3. the directory of this package (libNAME.so.1, libNAME.so, NAME.dll);
  4. the system loader (LD_LIBRARY_PATH, the loader cache, ...).
A path named in steps 1 or 2 must load; it is not silently skipped.
"""
import ctypes
import ctypes.util
import os

_PACKAGE_DIR = os.path.dirname(os.path.abspath(__file__))
_loaded = {}  # library name -> ctypes library object, loaded once per process


class LibraryNotFound(OSError):
    """The shared library could not be found or loaded."""


def _file_names(name, soversion):
    return [f"lib{name}.so.{soversion}", f"lib{name}.so", f"{name}.dll"]


def _open(path, stdcall):
    # The Positioner functions use the standard-call convention on 32-bit
    # Windows; everywhere else both conventions are the C one.
    loader = ctypes.WinDLL if stdcall and os.name == "nt" else ctypes.CDLL
    return loader(path)


def _search(name, soversion, stdcall):
    tried = []
    for file_name in _file_names(name, soversion):
        candidate = os.path.join(_PACKAGE_DIR, file_name)
        if os.path.exists(candidate):
            return _open(candidate, stdcall)
        tried.append(candidate)
    system_names = _file_names(name, soversion)
    found = ctypes.util.find_library(name)
    if found:
        system_names.append(found)
    for file_name in system_names:
        try:
            return _open(file_name, stdcall)
        except OSError:
            tried.append(f"{file_name} (system loader)")
    raise LibraryNotFound(
        f"lib{name} not found; tried: {', '.join(tried)}. Pass its path to load() or set "
        f"{name.upper()}_LIBRARY")


def load_library(name, path=None, soversion=1, stdcall=False):
    """Returns the loaded library NAME, loading it on first use.

    An explicit path replaces a library loaded earlier by this package.
    """
    if path is None and name in _loaded:
        return _loaded[name]
    explicit = path if path is not None else os.environ.get(f"{name.upper()}_LIBRARY")
    if explicit:
        try:
            library = _open(os.fspath(explicit), stdcall)
        except OSError as error:
            source = "load()" if path is not None else f"{name.upper()}_LIBRARY"
            raise LibraryNotFound(f"lib{name} from {source} ({explicit}) cannot be loaded: "
                                  f"{error}") from error
    else:
        library = _search(name, soversion, stdcall)
    _loaded[name] = library
    return library
