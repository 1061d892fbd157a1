"""Binding flat C functions from a table of signatures.

A signature is a string with one letter per C argument:
    i  int32 in            b  bool in (one byte)       s  path (const char*)
    p  bytes in (const void*)                          w  writable buffer (void*)
    I  int32 out (int32*)  B  bool out (bool*)
Output arguments are created by call() and returned: none -> None, one ->
its value, several -> a tuple in argument order.
"""
import ctypes
import os

from .errors import InvalidParameter, check

_IN = {
    "i": ctypes.c_int32,
    "b": ctypes.c_bool,
    "s": ctypes.c_char_p,
    "p": ctypes.c_void_p,
    "w": ctypes.c_void_p,
}
_OUT = {
    "I": ctypes.c_int32,
    "B": ctypes.c_bool,
}
INT32_MIN, INT32_MAX = -2**31, 2**31 - 1


def argtypes(signature):
    return [_IN[k] if k in _IN else ctypes.POINTER(_OUT[k]) for k in signature]


def bind(library, signatures, restype=ctypes.c_int32):
    """Sets argtypes and restype of every function of the table.

    A function missing from the library raises AttributeError: the table
    and the library must agree.
    """
    for name, signature in signatures.items():
        function = getattr(library, name)
        function.argtypes = argtypes(signature)
        function.restype = restype
    return library


def _convert_input(kind, value, name, position):
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
        return os.fsencode(value)
    return value


def call(library, signatures, name, *inputs):
    """Calls one bound function: converts the inputs, creates the outputs,
    raises the exception of a non-zero result, returns the outputs."""
    signature = signatures[name]
    wanted = sum(1 for kind in signature if kind not in _OUT)
    if len(inputs) != wanted:
        raise TypeError(f"{name} takes {wanted} argument(s), {len(inputs)} given")
    arguments, outputs = [], []
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
