"""The tweather Python module: snow from NumPy arrays, sheltered by a Shelter, the same
bytes as the builder called from C++, and clear exceptions for bad input."""
import os
import subprocess
import tempfile
import unittest
import warnings

import numpy as np

import tweather


def ground(n=24, half=5.0):
    """A square grid of 2 n^2 triangles at z = 0, `half` metres each way."""
    xs = np.linspace(-half, half, n + 1)
    x, y = np.meshgrid(xs, xs)
    positions = np.stack([x.ravel(), y.ravel(), np.zeros(x.size)], 1).astype(np.float32)
    a = (np.arange(n)[None, :] + (n + 1) * np.arange(n)[:, None]).ravel()
    tris = np.concatenate([np.stack([a, a + 1, a + n + 2], 1), np.stack([a, a + n + 2, a + n + 1], 1)])
    return positions, tris.astype(np.int32)


def slab(half=1.5, z=2.0):
    """A square slab seen from both sides, z metres up."""
    c = np.array([[-half, -half, z], [half, -half, z], [half, half, z], [-half, half, z]], np.float32)
    return np.array([[c[0], c[1], c[2]], [c[0], c[2], c[3]], [c[0], c[2], c[1]], [c[0], c[3], c[2]]], np.float32)


class Snow(unittest.TestCase):
    def test_a_floating_slab_keeps_the_ground_below_it_bare(self):
        positions, tris = ground()
        shelter = tweather.Shelter([slab(), (positions, tris)])
        sheltered = tweather.build_snow(positions, tris, shelter=shelter)
        open_sky = tweather.build_snow(positions, tris)
        top = sheltered.positions
        middle = (np.abs(top[:, 0]) < 0.5) & (np.abs(top[:, 1]) < 0.5)
        self.assertFalse(middle.any(), "snow under the middle of the slab")
        far = np.abs(top[:, 0]) > 3.5
        self.assertGreater(top[far, 2].max(), 0.08)  # 10 cm by default in a metre scene, less the noise
        self.assertGreater(len(open_sky.triangles), len(sheltered.triangles))
        self.assertIn("whole scene", sheltered.stats["status"])
        self.assertEqual(sheltered.stats["sceneTriangles"], shelter.triangle_count)
        for name in ("facesIn", "upFacing", "trianglesOut", "verticesOut", "sceneTriangles", "detail", "buildMs",
                     "refineMs", "shelterMs", "usedGPU", "openSky", "meanAmount", "thickest", "status"):
            self.assertIn(name, sheltered.stats)
        self.assertEqual(sheltered.stats["trianglesOut"], len(sheltered.triangles))
        self.assertEqual(sheltered.uvs.shape, (len(top), 2))
        self.assertTrue(set(np.unique(sheltered.kinds)) <= {tweather.KIND_TOP, tweather.KIND_WALL,
                                                             tweather.KIND_BOTTOM})

    def test_the_shell_has_the_bytes_of_the_builder_called_from_cpp(self):
        positions, tris = ground(16, 4.0)
        positions[:, 2] += 0.3 * np.sin(positions[:, 0])  # a gentle swell
        shelter = slab(1.0, 1.5)
        result = tweather.build_snow(positions, tris, shelter=tweather.Shelter(shelter), units_per_metre=1.0)
        with tempfile.TemporaryDirectory() as tmp:
            files = [os.path.join(tmp, n) for n in ("p.f32", "t.i32", "s.f32")]
            for path, array in zip(files, (positions, tris, shelter)):
                array.tofile(path)
            out = os.path.join(tmp, "shell")
            subprocess.run([os.environ["WX_SNOW_REFERENCE"], *files, "1", out], check=True)
            read = lambda ext: open(out + ext, "rb").read()
            self.assertEqual(result.positions.tobytes(), read(".positions"))
            self.assertEqual(result.triangles.tobytes(), read(".triangles"))
            self.assertEqual(result.kinds.tobytes(), read(".kinds"))
            uvw = np.frombuffer(read(".uvw"), np.float32).reshape(-1, 3)
            self.assertEqual(np.ascontiguousarray(result.uvs).tobytes(), np.ascontiguousarray(uvw[:, :2]).tobytes())

    def test_other_layouts_of_the_same_input_give_the_same_shell(self):
        positions, tris = ground(12)
        reference = tweather.build_snow(positions, tris, seed=7)
        wide = np.zeros((len(positions), 5), np.float64)
        wide[:, 1:4] = positions
        for p, t in ((positions.astype(np.float64), tris.astype(np.int64)),
                     (wide[:, 1:4], tris.astype(np.uint16)),  # not contiguous, narrow indices
                     (positions.tolist(), tris.tolist())):
            other = tweather.build_snow(p, t, seed=7)
            self.assertEqual(other.positions.tobytes(), reference.positions.tobytes())

    def test_units_scale_the_length_defaults_and_values_out_of_range_are_clamped(self):
        names = {p["name"]: p for p in tweather.parameters()}
        self.assertEqual(names["depth"]["default"], 10.0)
        self.assertEqual(names["depth"]["kind"], "length")
        positions, tris = ground(8)
        metres = tweather.build_snow(positions, tris, noiseAmount=0.0)
        centimetres = tweather.build_snow(positions * 100, tris, noiseAmount=0.0, units_per_metre=100.0)
        self.assertAlmostEqual(metres.stats["thickest"] * 100, centimetres.stats["thickest"], delta=1e-3)
        with warnings.catch_warnings(record=True) as seen:
            warnings.simplefilter("always")
            clamped = tweather.build_snow(positions, tris, coverage=5.0)
        self.assertEqual(len(seen), 1)
        self.assertIn("coverage=5.0 is outside 0.0 to 1.0", str(seen[0].message))
        self.assertEqual(clamped.positions.tobytes(), tweather.build_snow(positions, tris, coverage=1.0)
                         .positions.tobytes())


class BadInput(unittest.TestCase):
    def test_each_fault_is_a_clear_exception(self):
        positions, tris = ground(4)
        cases = [
            (TypeError, "unknown parameter 'depht'", lambda: tweather.build_snow(positions, tris, depht=1)),
            (TypeError, "takes a number", lambda: tweather.build_snow(positions, tris, depth="3")),
            (TypeError, "whole number", lambda: tweather.build_snow(positions, tris, seed=1.5)),
            (ValueError, "finite", lambda: tweather.build_snow(positions, tris, depth=float("nan"))),
            (ValueError, "shape (N, 3), not (25, 4)", lambda: tweather.build_snow(np.zeros((25, 4)), tris)),
            (TypeError, "integers", lambda: tweather.build_snow(positions, tris.astype(np.float32))),
            (IndexError, "uses vertex 25", lambda: tweather.build_snow(positions, tris + 1)),
            (IndexError, "uses vertex -1", lambda: tweather.build_snow(positions, tris - 1)),
            # 2^32 + 3 would wrap to 3 on the way to int32.
            (IndexError, "4294967299", lambda: tweather.build_snow(positions, np.full((1, 3), 2**32 + 3))),
            (ValueError, "one entry per triangle",
             lambda: tweather.build_snow(positions, tris, face_mask=np.ones(3, bool))),
            (ValueError, "at least one triangle", lambda: tweather.Shelter([])),
            (ValueError, "(N, 3, 3)", lambda: tweather.Shelter(np.zeros((4, 3)))),
            (TypeError, "not None", lambda: tweather.build_snow(None, tris)),
            (ValueError, "units_per_metre", lambda: tweather.build_snow(positions, tris, units_per_metre=0)),
        ]
        for kind, text, call in cases:
            with self.subTest(text):
                with self.assertRaises(kind) as caught:
                    call()
                self.assertIn(text, str(caught.exception))

    def test_nan_and_empty_meshes_build_without_harm(self):
        positions, tris = ground(4)
        positions[0] = np.nan
        result = tweather.build_snow(positions, tris, shelter=tweather.Shelter(slab()))
        self.assertTrue(np.isfinite(result.positions).all())
        self.assertGreater(len(result.triangles), 0)
        empty = tweather.build_snow(np.zeros((0, 3)), np.zeros((0, 3), np.int32))
        self.assertEqual(empty.positions.shape, (0, 3))
        self.assertEqual(empty.stats["trianglesOut"], 0)
        self.assertTrue(empty.stats["status"])
        mask = np.zeros(len(tris), bool)
        self.assertEqual(len(tweather.build_snow(positions, tris, face_mask=mask).triangles), 0)


if __name__ == "__main__":
    unittest.main()
