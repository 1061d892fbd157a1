"""Binding flat C functions from a table of signatures.

A signature is a string with one letter per C argument:
    i  int32 in            b  bool in (one byte)       s  text or path (const char*)
    p  bytes in (const void*)                          w  writable buffer (void*)
    I  int32 out (int32*)  B  bool out (bool*)
Output arguments are created by call() and returned: none -> None, one ->
its value, several -> a tuple in argument order.
"""
from __future__ import annotations

import ctypes
import os
from typing import Any, Dict, List, Mapping, Type

from .errors import InvalidParameter, check

_IN: Dict[str, Any] = {
    "i": ctypes.c_int32,
    "b": ctypes.c_bool,
    "s": ctypes.c_char_p,
    "p": ctypes.c_void_p,
    "w": ctypes.c_void_p,
}
_OUT: Dict[str, Type[Any]] = {
    "I": ctypes.c_int32,
    "B": ctypes.c_bool,
}
INT32_MIN, INT32_MAX = -2**31, 2**31 - 1


def argtypes(signature: str) -> List[Any]:
    return [_IN[k] if k in _IN else ctypes.POINTER(_OUT[k]) for k in signature]


def bind(library: ctypes.CDLL, signatures: Mapping[str, str],
         restype: Any = ctypes.c_int32) -> ctypes.CDLL:
    """Sets argtypes and restype of every function of the table.

    A function missing from the library raises AttributeError: the table
    and the library must agree.
    """
    for name, signature in signatures.items():
        function = getattr(library, name)
        function.argtypes = argtypes(signature)
        function.restype = restype
    return library


def _convert_input(kind: str, value: Any, name: str, position: int) -> Any:
    if kind == "i":
        if isinstance(value, bool) or not isinstance(value, int):
            raise TypeError(f"{name}: argument {position} must be an int, not {value!r}")
        if not INT32_MIN <= value <= INT32_MAX:
            raise InvalidParameter(function=name, detail=f"argument {position} ({value}) is "
                                   "outside the 32-bit range")
        return value
    if kind == "b":
        return bool(value)
    if kind == "s":
        return None if value is None else os.fsencode(value)
    return value


def call(library: ctypes.CDLL, signatures: Mapping[str, str], name: str, *inputs: Any) -> Any:
    """Calls one bound function: converts the inputs, creates the outputs,
    raises the exception of a non-zero result, returns the outputs."""
    signature = signatures[name]
    wanted = sum(1 for kind in signature if kind not in _OUT)
    if len(inputs) != wanted:
        raise TypeError(f"{name} takes {wanted} argument(s), {len(inputs)} given")
    arguments: List[Any] = []
    outputs: List[Any] = []
    supplied = iter(inputs)
    for position, kind in enumerate(signature):
        if kind in _OUT:
            output = _OUT[kind]()
            outputs.append(output)
            arguments.append(ctypes.byref(output))
        else:
            arguments.append(_convert_input(kind, next(supplied), name, position))
    check(getattr(library, name)(*arguments), name)
    values = [output.value for output in outputs]
    if not values:
        return None
    return values[0] if len(values) == 1 else tuple(values)
