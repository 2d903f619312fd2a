"""Tarnwick Weather for Blender: snow that settles on what faces up and stays off what is
sheltered by the rest of the scene, built by the tweather module."""

bl_info = {
    "name": "Tarnwick Weather",
    "author": "Tarnwick",
    "version": (1, 5, 1),
    "blender": (3, 4, 0),
    "location": "3D View > Sidebar > Weather",
    "description": "Sheltered snow on the selected objects",
    "category": "Object",
}

from . import module_path  # noqa: E402  (finds the tweather module before the rest imports it)

import bpy  # noqa: E402

from . import operators, panel, settings  # noqa: E402

_classes = ()


def register():
    global _classes
    _classes = (*settings.classes(), *operators.classes, *panel.classes)
    for cls in _classes:
        bpy.utils.register_class(cls)
    settings.attach(_classes[0])


def unregister():
    settings.detach()
    for cls in reversed(_classes):
        bpy.utils.unregister_class(cls)
