"""Add, update and remove snow: one undo step each, progress in Blender's indicator,
problems reported to the user, never a traceback."""
import bpy

from . import settings as snow_settings
from . import snow_objects
from .module_path import problem as module_problem
from .module_path import tweather


def units_per_metre(context):
    return 1.0 / (context.scene.unit_settings.scale_length or 1.0)


class _Snow:
    bl_options = {"REGISTER", "UNDO"}

    def run(self, context, jobs):
        """jobs: (source, parameters, shelter choice). Builds each, one Shelter for the whole
        scene shared by all of them."""
        if tweather is None:
            self.report({"ERROR"}, module_problem)
            return {"CANCELLED"}
        depsgraph = context.evaluated_depsgraph_get()
        cache = {}

        def whole_scene():
            if "scene" not in cache:
                cache["scene"] = snow_objects.scene_shelter(context, depsgraph)
            return cache["scene"]

        wm = context.window_manager
        wm.progress_begin(0, max(len(jobs), 1))
        built, status, problems = 0, "", []
        try:
            for i, (source, params, shelter) in enumerate(jobs):
                try:
                    result = snow_objects.build(source, shelter, params, depsgraph, whole_scene,
                                                units_per_metre(context))
                except (snow_objects.MeshProblem, ValueError, TypeError, IndexError, MemoryError) as error:
                    problems.append(str(error))
                    continue
                snow_objects.place(context, source, result, params, shelter)
                status = result.stats["status"]
                built += 1
                wm.progress_update(i + 1)
        finally:
            wm.progress_end()
        context.scene.tweather_snow.status = status
        for text in problems:
            self.report({"WARNING"}, text)
        if built == 0:
            self.report({"ERROR"}, problems[0] if problems else "no mesh objects to put snow on")
            return {"CANCELLED"}
        self.report({"INFO"}, status)
        return {"FINISHED"}


class TWEATHER_OT_add_snow(_Snow, bpy.types.Operator):
    """Put snow on the selected mesh objects, sheltered as the Shelter setting says"""
    bl_idname = "tweather.add_snow"
    bl_label = "Add snow"

    def execute(self, context):
        s = context.scene.tweather_snow
        params = snow_settings.values(s)
        sources = [o for o in context.selected_objects if o.type == "MESH" and not snow_objects.is_snow(o)]
        return self.run(context, [(o, params, s.shelter) for o in sources])


class TWEATHER_OT_update_snow(_Snow, bpy.types.Operator):
    """Build every snow object again from its own parameters, after things moved"""
    bl_idname = "tweather.update_snow"
    bl_label = "Update snow"

    def execute(self, context):
        jobs = [(o.parent, o[snow_objects.SNOW_KEY].to_dict(), o.get(snow_objects.SHELTER_KEY, "WHOLE_SCENE"))
                for o in context.scene.objects if snow_objects.is_snow(o) and o.parent is not None]
        return self.run(context, jobs)


class TWEATHER_OT_remove_snow(bpy.types.Operator):
    """Remove the snow of the selected objects (all snow when nothing is selected)"""
    bl_idname = "tweather.remove_snow"
    bl_label = "Remove snow"
    bl_options = {"REGISTER", "UNDO"}

    def execute(self, context):
        selected = set(context.selected_objects)
        doomed = [o for o in context.scene.objects if snow_objects.is_snow(o)
                  and (not selected or o in selected or o.parent in selected)]
        for obj in doomed:
            mesh = obj.data
            bpy.data.objects.remove(obj)
            if mesh.users == 0:
                bpy.data.meshes.remove(mesh)
        context.scene.tweather_snow.status = "Removed %d snow object(s)." % len(doomed)
        self.report({"INFO"}, context.scene.tweather_snow.status)
        return {"FINISHED"}


classes = (TWEATHER_OT_add_snow, TWEATHER_OT_update_snow, TWEATHER_OT_remove_snow)
