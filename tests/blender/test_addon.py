"""The Blender add-on in a real Blender, headless:
    blender -b --factory-startup --python-exit-code 1 -P test_addon.py -- ADDON_PARENT TWEATHER_CLI
It registers and unregisters cleanly; Add snow keeps the ground under a floating slab bare;
the snow equals what `tweather snow` builds from the same scene exported as glTF; Update
follows a moved slab; undo takes the snow away; bad meshes are reported, not raised."""
import json
import os
import subprocess
import sys
import tempfile
import unittest

import bpy
import numpy as np

argv = sys.argv[sys.argv.index("--") + 1:]
sys.path.insert(0, argv[0])
CLI = argv[1]

import tweather_addon  # noqa: E402


def new_scene():
    bpy.ops.wm.read_factory_settings(use_empty=True)
    bpy.ops.mesh.primitive_grid_add(x_subdivisions=40, y_subdivisions=40, size=10.0)
    ground = bpy.context.active_object
    ground.name = "Ground"
    bpy.ops.mesh.primitive_plane_add(size=3.0, location=(0.0, 0.0, 2.0))
    slab = bpy.context.active_object
    slab.name = "Slab"
    bpy.ops.object.select_all(action="DESELECT")
    ground.select_set(True)
    bpy.context.view_layer.objects.active = ground
    return ground, slab


def snow_vertices(obj):
    co = np.empty(len(obj.data.vertices) * 3, np.float32)
    obj.data.vertices.foreach_get("co", co)
    m = np.array(obj.matrix_world)
    return co.reshape(-1, 3) @ m[:3, :3].T + m[:3, 3]


def under(points, x, y, half):
    return points[(np.abs(points[:, 0] - x) < half) & (np.abs(points[:, 1] - y) < half)]


class AddOn(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        tweather_addon.register()

    @classmethod
    def tearDownClass(cls):
        tweather_addon.unregister()

    def test_registers_and_unregisters_cleanly(self):
        tweather_addon.unregister()
        self.assertFalse(hasattr(bpy.types.Scene, "tweather_snow"))
        tweather_addon.register()
        self.assertTrue(hasattr(bpy.context.scene, "tweather_snow"))
        self.assertAlmostEqual(bpy.context.scene.tweather_snow.depth, 0.1, places=6)  # 10 cm in metres

    def test_add_snow_shelters_the_ground_under_a_slab_and_update_follows_it(self):
        ground, slab = new_scene()
        self.assertEqual(bpy.ops.tweather.add_snow(), {"FINISHED"})
        snow = bpy.data.objects["Ground Snow"]
        self.assertIs(snow.parent, ground)
        self.assertEqual(snow.data.materials[0].name, "Tarnwick Snow")
        self.assertTrue(snow.data.uv_layers)
        points = snow_vertices(snow)
        self.assertEqual(len(under(points, 0.0, 0.0, 0.5)), 0, "snow under the slab's middle")
        self.assertGreater(under(points, 4.0, 4.0, 0.8)[:, 2].max(), 0.08)
        self.assertIn("whole scene", bpy.context.scene.tweather_snow.status)

        slab.location.x = 3.0
        bpy.context.view_layer.update()
        self.assertEqual(bpy.ops.tweather.update_snow(), {"FINISHED"})
        points = snow_vertices(bpy.data.objects["Ground Snow"])
        self.assertEqual(len(under(points, 3.0, 0.0, 0.5)), 0, "snow under the moved slab")
        self.assertGreater(len(under(points, 0.0, 0.0, 0.5)), 0, "no snow where the slab was")

        self.assertEqual(bpy.ops.tweather.remove_snow(), {"FINISHED"})
        self.assertNotIn("Ground Snow", bpy.data.objects)

    def test_the_snow_equals_the_command_line_builds_from_a_gltf_export(self):
        ground, slab = new_scene()
        bpy.ops.tweather.add_snow()
        ours = snow_vertices(bpy.data.objects["Ground Snow"])
        with tempfile.TemporaryDirectory() as tmp:
            bpy.data.objects["Ground Snow"].hide_set(True)
            scene = os.path.join(tmp, "yard.glb")
            np.bool = bool  # the distribution's glTF exporter still calls numpy.bool
            bpy.ops.object.select_all(action="SELECT")
            bpy.ops.export_scene.gltf(filepath=scene, use_selection=False, use_visible=True)
            stats = os.path.join(tmp, "stats.json")
            out = os.path.join(tmp, "yard.obj")
            subprocess.run([CLI, "snow", scene, "--on", "Ground", "--render-detail", "-o", out, "--stats", stats],
                           check=True, stdout=subprocess.DEVNULL)
            theirs = snow_faces_of_obj(out)
            with open(stats) as f:
                figures = json.load(f)["nodes"]["Ground"]
        snow = bpy.data.objects["Ground Snow"].data
        self.assertEqual(len(snow.polygons), figures["trianglesOut"])
        self.assertEqual(len(snow.vertices), figures["verticesOut"])
        # The OBJ repeats a position where its normals differ: compare distinct positions.
        ours = np.unique(ours.round(4), axis=0)
        theirs = np.unique(theirs.round(4), axis=0)
        self.assertEqual(len(theirs), len(ours))
        self.assertLess(np.abs(ours - theirs).max(), 1.5e-4)

    def test_each_operator_is_one_undo_step(self):
        # A headless Blender has no window for ed.undo to run in; what makes the step is
        # the operator's UNDO option, which Blender honours for every call from the UI.
        for cls in tweather_addon.operators.classes:
            self.assertEqual(cls.bl_options, {"REGISTER", "UNDO"})

    def test_bad_meshes_are_reported_not_raised(self):
        ground, slab = new_scene()
        ground.data.vertices[0].co.x = float("nan")
        empty = bpy.data.objects.new("Empty mesh", bpy.data.meshes.new("Empty mesh"))
        bpy.context.collection.objects.link(empty)
        # An operator run from a script raises its error report as a RuntimeError; from the
        # UI the same report shows in the status bar.
        for obj, text in ((ground, "not finite numbers"), (empty, "no faces")):
            bpy.ops.object.select_all(action="DESELECT")
            obj.select_set(True)
            with self.assertRaisesRegex(RuntimeError, text):
                bpy.ops.tweather.add_snow()
        self.assertNotIn("Ground Snow", bpy.data.objects)


def snow_faces_of_obj(path, node="Ground"):
    """The distinct vertices of node's snow faces in an OBJ that tweather wrote: the last
    material block of the node, which follows the node's own faces."""
    vertices, blocks, current = [], [], None
    with open(path) as f:
        for line in f:
            if line.startswith("v "):
                vertices.append(tuple(float(x) for x in line.split()[1:4]))
            elif line.startswith("o "):
                current = line.split(None, 1)[1].strip()
            elif line.startswith("usemtl") and current == node:
                blocks.append(set())
            elif line.startswith("f ") and current == node and blocks:
                blocks[-1].update(int(c.split("/")[0]) - 1 for c in line.split()[1:])
    return np.array(sorted({vertices[i] for i in blocks[-1]}), np.float64)


if __name__ == "__main__":
    result = unittest.main(argv=["test_addon"], exit=False, verbosity=2).result
    sys.exit(0 if result.wasSuccessful() else 1)
