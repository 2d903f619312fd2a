"""The "Weather" tab of the 3D view's sidebar."""
import bpy

from . import settings as snow_settings
from .module_path import problem as module_problem
from .module_path import tweather


class TWEATHER_PT_snow(bpy.types.Panel):
    bl_label = "Tarnwick Snow"
    bl_space_type = "VIEW_3D"
    bl_region_type = "UI"
    bl_category = "Weather"

    def draw(self, context):
        layout = self.layout
        if tweather is None:
            layout.label(text=module_problem, icon="ERROR")
            return
        s = context.scene.tweather_snow
        layout.prop(s, "shelter")
        for p in snow_settings.parameters():
            layout.prop(s, p["name"])
        row = layout.row(align=True)
        row.operator("tweather.add_snow")
        row.operator("tweather.update_snow")
        row.operator("tweather.remove_snow")
        if s.status:
            box = layout.box()
            for line in s.status.split("\n"):
                box.label(text=line)


classes = (TWEATHER_PT_snow,)
