"""The binding tables against the headers, the library search, and the
exceptions; no network needed."""
import ctypes
import os
import re

import pytest

import dravex
from dravex import _library, _positioner_api, _positioner_functions, errors, tormak
from shared_fixtures import SOURCE_DIR

C_KINDS = {"int32_t": "i", "int": "i", "bool": "b", "const char*": "s", "const void*": "p",
           "void*": "w", "int32_t*": "I", "int*": "I", "bool*": "B", "DetectedDevice**": "D",
           "PositionerDeviceDescription*": "R", "uint32_t*": "U", "void": ""}


def declared_functions(header, prefix):
    """name -> signature letters of every function the header declares."""
    with open(os.path.join(SOURCE_DIR, "include", header)) as f:
        text = f.read()
    functions = {}
    for name, params in re.findall(rf"\b({prefix}\w+)\s*\(([^)]*)\)\s*;", text):
        kinds = ""
        for param in filter(None, (p.strip() for p in params.split(","))):
            ctype = re.sub(r"\s+(\w+)$", "", param)      # drop the parameter name
            ctype = re.sub(r"\s*\*", "*", ctype).replace("struct ", "")
            kinds += C_KINDS.get(ctype, f"<{ctype}>")
        functions[name] = kinds
    return functions


def test_positioner_table_matches_the_header():
    declared = declared_functions("positioner.h", "Positioner")
    table = _positioner_functions
    assert len(declared) == len(table.ORIGINAL) + len(table.ADDED)
    assert declared.pop("PositionerCheck") == _positioner_api.CHECK_SIGNATURE
    assert declared.pop("PositionerDeviceInfo") == _positioner_api.DEVICE_INFO_SIGNATURE
    assert declared.pop("PositionerWaitReport") == _positioner_api.WAIT_REPORT_SIGNATURE
    assert declared.pop("PositionerResultText") == _positioner_api.RESULT_TEXT_SIGNATURE
    assert declared == {**_positioner_api.SIGNATURES, **_positioner_api.ADDITIONAL_SIGNATURES}


def test_tormak_table_matches_the_header():
    declared = declared_functions("tormak.h", "TMK_")
    assert len(declared) == 11
    # Tracing goes through traceInit; the transfer size is fixed (512).
    unbound = {"TMK_initTrace", "TMK_getTransferSize"}
    assert {k: v for k, v in declared.items() if k not in unbound} == tormak.SIGNATURES


def test_record_layouts():
    record = _positioner_api.DetectedDevice
    assert ctypes.sizeof(record) == 8
    assert (record.hardwareId.offset, record.unavailable.offset, record.reserved.offset) == (0, 4, 5)
    info = _positioner_api.DeviceDescription
    assert ctypes.sizeof(info) == 128
    assert (info.carrier.offset, info.discovery.offset, info.hardwareId.offset,
            info.address.offset) == (0, 4, 8, 12)


def test_every_table_function_is_exported():
    library = dravex.load()
    for name in (list(_positioner_api.SIGNATURES) + list(_positioner_api.ADDITIONAL_SIGNATURES)
                 + ["PositionerCheck", "PositionerDeviceInfo"]):
        assert getattr(library, name).restype is ctypes.c_int32
    tormak.load()


def test_status_flags_match_the_header():
    with open(os.path.join(SOURCE_DIR, "include", "positioner.h")) as f:
        defines = re.findall(r"#define POSITIONER_STATUS_(\w+)\s+(0x[0-9A-Fa-f]+)", f.read())
    if not defines:
        pytest.skip("positioner.h names no status flags")
    assert {name: int(value, 16) for name, value in defines} == {
        flag.name: flag.value for flag in dravex.StatusFlag}
    assert dravex.STATUS_END_OF_TRAVEL == 0x4 and str(dravex.Status(0)) == "idle"


def test_library_search_order(monkeypatch, tmp_path):
    real = os.environ["DRAVEX_LIBRARY"]
    monkeypatch.setattr(_library, "_loaded", {})
    # An explicit path wins over the environment variable.
    monkeypatch.setenv("DRAVEX_LIBRARY", str(tmp_path / "missing.so"))
    assert _library.load_library("dravex", real)._name == real
    # A named library that does not load is an error, not skipped.
    monkeypatch.setattr(_library, "_loaded", {})
    with pytest.raises(_library.LibraryNotFound, match="DRAVEX_LIBRARY"):
        _library.load_library("dravex")
    # Without a name: the package directory comes before the system loader.
    monkeypatch.delenv("DRAVEX_LIBRARY")
    (tmp_path / "libdravex.so.1").symlink_to(real)
    monkeypatch.setattr(_library, "_PACKAGE_DIR", str(tmp_path))
    assert _library.load_library("dravex")._name == str(tmp_path / "libdravex.so.1")
    monkeypatch.setattr(_library, "_PACKAGE_DIR", str(tmp_path / "empty"))
    monkeypatch.setattr(_library, "_loaded", {})
    with pytest.raises(_library.LibraryNotFound, match="system loader"):
        _library.load_library("no-such-library-here")


def test_results_raise_their_exception():
    # A handle that names no connection: the library's own check.
    with pytest.raises(dravex.NotConnected) as raised:
        _positioner_api.call("PositionerGetPosition", 0, 0)
    assert raised.value.code == 2 and "PositionerGetPosition" in str(raised.value)
    assert isinstance(raised.value, ConnectionError)
    # Arguments are checked before the call.
    with pytest.raises(dravex.InvalidParameter) as raised:
        _positioner_api.call("PositionerAmplitude", 1, 0, 2**31)
    assert raised.value.code == 6 and isinstance(raised.value, ValueError)
    with pytest.raises(TypeError):
        _positioner_api.call("PositionerAmplitude", 1, 0)
    expected = {-1: dravex.GeneralFailure, 1: dravex.ReplyTimeout, 3: dravex.DriverFailure,
                7: dravex.DeviceLocked, 8: dravex.OperatingSystemFailure, 9: dravex.NoDevice,
                10: dravex.OutOfSync}
    for code, cls in expected.items():
        error = errors.error_for(code, "f")
        assert type(error) is cls and error.code == code and str(error).startswith("f: RC_")
    unknown = errors.error_for(4)
    assert type(unknown) is dravex.DravexError and unknown.code == 4
    assert isinstance(errors.error_for(1), TimeoutError)


def test_closed_objects_refuse_calls():
    controller = dravex.Controller(0)
    with pytest.raises(dravex.NotConnected) as raised:
        controller.axis(0).position
    assert raised.value.code == 2
    with pytest.raises(dravex.NotConnected):
        tormak.Channel(0).receive()
