"""Blender meshes to and from the tweather module's arrays: evaluated meshes in world
space, the shelter of a whole scene, and the snow objects built from a SnowResult."""
import bpy
import numpy as np

from .module_path import tweather

SNOW_KEY = "tweather_snow"  # the parameters a snow object was built with
SHELTER_KEY = "tweather_shelter"
MATERIAL_NAME = "Tarnwick Snow"


class MeshProblem(Exception):
    pass


def world_triangles(obj, depsgraph):
    """The evaluated mesh of obj (modifiers applied) as world-space positions (V, 3) and
    triangles (T, 3)."""
    evaluated = obj.evaluated_get(depsgraph)
    mesh = evaluated.to_mesh()
    try:
        mesh.calc_loop_triangles()
        positions = np.empty(len(mesh.vertices) * 3, np.float32)
        mesh.vertices.foreach_get("co", positions)
        triangles = np.empty(len(mesh.loop_triangles) * 3, np.int32)
        mesh.loop_triangles.foreach_get("vertices", triangles)
    finally:
        evaluated.to_mesh_clear()
    m = np.array(evaluated.matrix_world, np.float64)
    local = positions.reshape(-1, 3).astype(np.float64)
    world = (local @ m[:3, :3].T + m[:3, 3]).astype(np.float32)
    return world, triangles.reshape(-1, 3)


def is_snow(obj):
    return obj.type == "MESH" and SNOW_KEY in obj


def scene_shelter(context, depsgraph):
    """Every visible, renderable mesh object but the snow itself, as one Shelter (None when
    the scene has no triangles)."""
    parts = []
    for obj in context.scene.objects:
        if obj.type != "MESH" or is_snow(obj) or obj.hide_render or not obj.visible_get():
            continue
        positions, triangles = world_triangles(obj, depsgraph)
        if len(triangles):
            parts.append((positions, triangles))
    return tweather.Shelter(parts) if parts else None


def snow_material():
    material = bpy.data.materials.get(MATERIAL_NAME)
    if material:
        return material
    material = bpy.data.materials.new(MATERIAL_NAME)
    material.use_nodes = True
    bsdf = material.node_tree.nodes.get("Principled BSDF")
    if bsdf:
        bsdf.inputs["Base Color"].default_value = (0.95, 0.96, 1.0, 1.0)
        bsdf.inputs["Subsurface"].default_value = 0.15
        bsdf.inputs["Subsurface Color"].default_value = (0.8, 0.9, 1.0, 1.0)
        bsdf.inputs["Roughness"].default_value = 0.35
    return material


def fill_mesh(mesh, result):
    """Replaces mesh's geometry by the shell, with its UVs."""
    mesh.clear_geometry()
    vertices, triangles = len(result.positions), len(result.triangles)
    mesh.vertices.add(vertices)
    mesh.vertices.foreach_set("co", np.ascontiguousarray(result.positions).ravel())
    mesh.loops.add(triangles * 3)
    mesh.loops.foreach_set("vertex_index", np.ascontiguousarray(result.triangles).ravel())
    mesh.polygons.add(triangles)
    mesh.polygons.foreach_set("loop_start", np.arange(0, triangles * 3, 3, dtype=np.int32))
    mesh.polygons.foreach_set("loop_total", np.full(triangles, 3, np.int32))
    uv = mesh.uv_layers.new(name="UVMap")
    corner_uvs = np.ascontiguousarray(result.uvs)[np.ascontiguousarray(result.triangles).ravel()]
    uv.data.foreach_set("uv", corner_uvs.astype(np.float32).ravel())
    mesh.update()


def build(source, shelter_choice, params, depsgraph, scene_shelter_cache, units_per_metre):
    """The SnowResult of source with these parameters."""
    positions, triangles = world_triangles(source, depsgraph)
    if len(triangles) == 0:
        raise MeshProblem(source.name + " has no faces to put snow on")
    bad = ~np.isfinite(positions).all(axis=1)
    if bad.any():
        raise MeshProblem("%s has %d vertices that are not finite numbers" % (source.name, int(bad.sum())))
    if shelter_choice == "WHOLE_SCENE":
        shelter = scene_shelter_cache()
    elif shelter_choice == "THIS_OBJECT":
        shelter = tweather.Shelter([(positions, triangles)])
    else:
        shelter = None
    return tweather.build_snow(positions, triangles, shelter=shelter, units_per_metre=units_per_metre, **params)


def place(context, source, result, params, shelter_choice):
    """The snow object of source ("NAME Snow"), made or refilled, parented to source
    without moving: its vertices stay in world space."""
    snow = next((c for c in source.children if is_snow(c)), None)
    if snow is None:
        mesh = bpy.data.meshes.new(source.name + " Snow")
        snow = bpy.data.objects.new(source.name + " Snow", mesh)
        context.collection.objects.link(snow)
        snow.data.materials.append(snow_material())
    fill_mesh(snow.data, result)
    snow[SNOW_KEY] = dict(params)
    snow[SHELTER_KEY] = shelter_choice
    snow.parent = source
    snow.matrix_parent_inverse = source.matrix_world.inverted()
    snow.matrix_basis.identity()
    return snow
