"""Defaults of device properties as class properties of the same names.

Tango takes a device property that is not set in the database from the
class property of the same name, and that from its default here: a
facility sets a default once per class (Jive lists the class properties,
with these defaults in its wizard), and a device property still overrides
it. PyTango's declarations cannot give a class property and a device
property one name, so the class properties are added to the device
class's list here, before the server starts.

Only numbers and strings: PyTango fails to take a boolean device
property from a class property. A file database (-file=) of Debian's
Tango 9.3.4 answers a request for several class properties without some
of them; PyTango then reports an error in the class's constructor and the
defaults here apply.
"""
from __future__ import annotations

from typing import Any, NamedTuple, Optional, Sequence, Type, Union

from tango.server import class_property, device_property

Default = Union[int, float, str, None]


class ClassDefault(NamedTuple):
    name: str
    kind: Type[Union[int, float, str]]
    default: Default        # None: unset (the property has no value)
    doc: str

    def device_property(self) -> Any:
        """The device property, with the same default (also used where the
        server runs without a database and Tango reads no properties)."""
        return device_property(dtype=self.kind, default_value=self.default, doc=self.doc)


def add_class_properties(device_class: Any, defaults: Sequence[ClassDefault]) -> None:
    """Adds the class properties to a Device subclass's Tango class."""
    for d in defaults:
        # An empty list stands for "no value": the device property keeps its own.
        value: Optional[object] = [] if d.default is None else d.default
        declared = class_property(dtype=d.kind, doc=d.doc, default_value=value)
        device_class.TangoClassClass.class_property_list[d.name] = [
            declared.dtype, declared.doc, declared.default_value]
