"""scene.tweather_snow: one property per snow parameter, by the builder's own names,
labels, defaults and ranges, plus what shelters the snow and the last status text."""
import bpy

from .module_path import tweather

SHELTER_ITEMS = [
    ("WHOLE_SCENE", "Whole scene", "Every visible, renderable mesh keeps snow off what lies below it"),
    ("THIS_OBJECT", "This object", "Only the object itself shelters its own snow"),
    ("NOTHING", "Nothing", "Snow everywhere that faces up"),
]


def parameters():
    return tweather.parameters() if tweather else []


def _property(p):
    common = {"name": p["label"], "description": p["label"] + " (" + p["name"] + ")"}
    if p["kind"] == "bool":
        return bpy.props.BoolProperty(default=bool(p["default"]), **common)
    if p["kind"] == "int":
        return bpy.props.IntProperty(default=int(p["default"]), min=int(max(p["min"], -2**31)),
                                     max=int(min(p["max"], 2**31 - 1)), **common)
    if p["kind"] == "length":
        # Defaults are centimetres; Blender's lengths are metres at unit scale 1.
        return bpy.props.FloatProperty(default=p["default"] / 100.0, min=p["min"] / 100.0, max=p["max"] / 100.0,
                                       subtype="DISTANCE", unit="LENGTH", **common)
    return bpy.props.FloatProperty(default=p["default"], min=p["min"], max=p["max"], **common)


def classes():
    annotations = {p["name"]: _property(p) for p in parameters()}
    annotations["shelter"] = bpy.props.EnumProperty(name="Shelter", items=SHELTER_ITEMS, default="WHOLE_SCENE")
    annotations["status"] = bpy.props.StringProperty(name="Status", default="")
    settings = type("TWEATHER_PG_snow", (bpy.types.PropertyGroup,), {"__annotations__": annotations})
    return (settings,)


def attach(settings):
    bpy.types.Scene.tweather_snow = bpy.props.PointerProperty(type=settings)


def detach():
    del bpy.types.Scene.tweather_snow


def values(settings):
    """The parameters as build_snow takes them."""
    return {p["name"]: getattr(settings, p["name"]) for p in parameters()}
