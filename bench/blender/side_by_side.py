"""Our snow and Blender's bundled "Real Snow" add-on on the same yard, in one Blender:
    TWEATHER_PYTHON_PATH=build/python blender -b --factory-startup -P bench/blender/side_by_side.py
The yard: a 10 x 10 m ground of 20,000 triangles, a 5 x 4 m house with a gable roof and a
3 x 3 m slab 2 m up. Each tool snows all three (Real Snow: height 0.3, coverage 100; ours:
defaults, whole-scene shelter). Printed: each operator's wall time, triangles out, and the
share of 0.25 m ground cells under the slab and inside the house with over 2 cm of snow.
Then ours again with narrower sky cones (`spread`), which decides how far snow reaches in
under the slab's rims."""
import os
import sys
import time

import addon_utils
import bpy
import numpy as np

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "blender"))
import tweather_addon  # noqa: E402


def yard():
    bpy.ops.wm.read_factory_settings(use_empty=True)
    bpy.ops.mesh.primitive_grid_add(x_subdivisions=100, y_subdivisions=100, size=10.0)
    ground = bpy.context.active_object
    ground.name = "Ground"
    # The house: a closed 5 x 4 x 2.5 m box at (-2, 2) with a gable roof along X.
    bpy.ops.mesh.primitive_cube_add(size=1.0, location=(-2.0, 2.0, 1.25))
    house = bpy.context.active_object
    house.name = "House"
    house.scale = (5.0, 4.0, 2.5)
    bpy.ops.object.transform_apply(scale=True)
    roof = bpy.data.meshes.new("Roof")
    x0, x1, y0, y1, z0, z1 = -4.5, 0.5, 0.0, 4.0, 2.5, 4.0
    roof.from_pydata([(x0, y0, z0), (x1, y0, z0), (x1, y1, z0), (x0, y1, z0), (x0, 2.0, z1), (x1, 2.0, z1)], [],
                     [(0, 1, 5, 4), (2, 3, 4, 5), (0, 4, 3), (1, 2, 5), (0, 3, 2, 1)])
    roof_obj = bpy.data.objects.new("Roof", roof)
    bpy.context.collection.objects.link(roof_obj)
    bpy.ops.mesh.primitive_plane_add(size=3.0, location=(2.5, -2.5, 2.0))
    slab = bpy.context.active_object
    slab.name = "Slab"
    bpy.ops.object.select_all(action="SELECT")
    bpy.context.view_layer.objects.active = ground
    return ground


def triangles(obj):
    obj.data.calc_loop_triangles()
    return len(obj.data.loop_triangles)


def world_points(obj):
    co = np.empty(len(obj.data.vertices) * 3, np.float32)
    obj.data.vertices.foreach_get("co", co)
    m = np.array(obj.matrix_world)
    return co.reshape(-1, 3) @ m[:3, :3].T + m[:3, 3]


def snowed_share(points, x0, x1, y0, y1):
    """Share of 0.25 m cells in [x0, x1] x [y0, y1] whose snow reaches over 2 cm above the
    ground (points below 1 m only: the ground's snow, not the roof's or the slab's)."""
    low = points[(points[:, 2] < 1.0) & (points[:, 0] > x0) & (points[:, 0] < x1) & (points[:, 1] > y0) &
                 (points[:, 1] < y1)]
    cells = {(int((p[0] - x0) // 0.25), int((p[1] - y0) // 0.25)) for p in low if p[2] > 0.02}
    total = int(round((x1 - x0) / 0.25)) * int(round((y1 - y0) / 0.25))
    return len(cells) / total


def measure(name, run, snow_objects):
    start = time.perf_counter()
    run()
    seconds = time.perf_counter() - start
    objs = snow_objects()
    points = np.concatenate([world_points(o) for o in objs]) if objs else np.zeros((0, 3))
    tris = sum(triangles(o) for o in objs)
    under = snowed_share(points, 1.25, 3.75, -3.75, -1.25)  # inside the slab's footprint, less 0.25 m
    inside = snowed_share(points, -4.25, 0.25, 0.25, 3.75)  # inside the house's walls
    print("| %-22s | %8.3f s | %9d | %6.1f %% | %6.1f %% |" % (name, seconds, tris, 100 * under, 100 * inside))
    return seconds


print("| tool                   | wall time  | triangles | under slab | in house |")
print("|------------------------|-----------:|----------:|-----------:|---------:|")
yard()
addon_utils.enable("real_snow", default_set=True)
bpy.context.scene.snow.height = 0.3
bpy.context.scene.snow.coverage = 100
before = set(bpy.data.objects)
peer = measure("Real Snow (bundled)", lambda: bpy.ops.snow.create(),
               lambda: [o for o in bpy.data.objects if o not in before and o.type == "MESH"])

yard()
tweather_addon.register()
ours = measure("tweather (this add-on)", lambda: bpy.ops.tweather.add_snow(),
               lambda: [o for o in bpy.data.objects if o.name.endswith(" Snow")])
print("ours is %.0fx faster" % (peer / ours))

for spread in (15.0, 10.0):
    yard()
    bpy.context.scene.tweather_snow.spread = spread
    measure("tweather, spread %g" % spread, lambda: bpy.ops.tweather.add_snow(),
            lambda: [o for o in bpy.data.objects if o.name.endswith(" Snow")])
