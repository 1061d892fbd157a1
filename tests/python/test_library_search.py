"""The library search on each platform, from mocked platform facts: no
Windows needed."""
import os

import pytest

from dravex import _library
from dravex._library import Platform


class FakeLoaders:
    """Records which loader opened which path instead of loading."""

    def __init__(self, monkeypatch):
        self.opened = []
        monkeypatch.setattr(_library.ctypes, "CDLL", lambda path: self.opened.append(
            ("CDLL", path)) or "cdll", raising=True)
        monkeypatch.setattr(_library.ctypes, "WinDLL", lambda path: self.opened.append(
            ("WinDLL", path)) or "windll", raising=False)


@pytest.mark.parametrize("bits, architecture", [(32, "i686"), (64, "x86_64")])
def test_windows_loads_the_dll_of_the_interpreters_bitness(tmp_path, monkeypatch, bits,
                                                           architecture):
    package = tmp_path / "python" / "dravex"
    package.mkdir(parents=True)
    for arch in ("i686", "x86_64"):           # what scripts/build-windows leaves
        built = tmp_path / "build-windows" / arch / "src"
        built.mkdir(parents=True)
        (built / "dravex.dll").touch()
        (built / "tormak.dll").touch()
    platform = Platform(windows=True, pointer_bits=bits, package_dir=str(package))
    loaders = FakeLoaders(monkeypatch)
    _library._search("dravex", platform)
    _library._search("tormak", platform)
    expected_dir = tmp_path / "build-windows" / architecture / "src"
    dravex_loader = "WinDLL" if bits == 32 else "CDLL"   # standard call on 32-bit only
    assert loaders.opened == [(dravex_loader, str(expected_dir / "dravex.dll")),
                              ("CDLL", str(expected_dir / "tormak.dll"))]

    # A DLL in the package (a wheel) or its architecture folder comes first.
    (package / architecture).mkdir()
    (package / architecture / "tormak.dll").touch()
    (package / "dravex.dll").touch()
    loaders.opened.clear()
    _library._search("dravex", platform)
    _library._search("tormak", platform)
    assert loaders.opened == [(dravex_loader, str(package / "dravex.dll")),
                              ("CDLL", str(package / architecture / "tormak.dll"))]


def test_installed_package_finds_the_library_directory_it_records(tmp_path, monkeypatch):
    package = tmp_path / "lib" / "python3.11" / "site-packages" / "dravex"
    package.mkdir(parents=True)
    (package / "_library_dir").write_text("../../..\n")
    (tmp_path / "lib" / "libdravex.so.1").touch()
    loaders = FakeLoaders(monkeypatch)
    _library._search("dravex", Platform(windows=False, pointer_bits=64,
                                        package_dir=str(package)))
    assert loaders.opened == [("CDLL", os.path.join(str(tmp_path), "lib", "libdravex.so.1"))]


def test_a_missing_library_names_every_place_tried(tmp_path, monkeypatch):
    def refuse(path):
        raise OSError("not here")
    monkeypatch.setattr(_library.ctypes, "CDLL", refuse)
    platform = Platform(windows=False, pointer_bits=64, package_dir=str(tmp_path))
    with pytest.raises(_library.LibraryNotFound) as raised:
        _library._search("nothing", platform)
    message = str(raised.value)
    assert str(tmp_path / "libnothing.so.1") in message and "system loader" in message
    assert "scripts/build-wheel" in message
