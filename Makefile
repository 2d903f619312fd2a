# The two commands a newcomer runs: `make demo` and `make test`.
BUILD_DIR ?= build
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc)

.PHONY: all demo test build bootstrap bench sanitize fuzz tsan clean blender-addon

all: build

bootstrap:
	@scripts/bootstrap.sh

$(BUILD_DIR)/build.ninja:
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS) >/dev/null

build: bootstrap $(BUILD_DIR)/build.ninja
	@cmake --build $(BUILD_DIR) -j $(JOBS)

# Runs the built-in example and says where its outputs are.
# The host writes its toolbar macro under TWEATHER_USER_DIR: the demo keeps it in out/user.
demo: export TWEATHER_USER_DIR = $(CURDIR)/out/user
demo: build
	@mkdir -p out
	@$(BUILD_DIR)/app/tweather png-test out/test-card.png --size 1024x512
	@$(BUILD_DIR)/app/tweather example out/town.scene
	@$(BUILD_DIR)/app/tweather snow out/town.scene --render-detail -o out/town-snow.glb -o out/town-snow.obj \
		--stats out/town-snow.json --save out/town-snow.scene --preview out/town-snow.png
	@$(BUILD_DIR)/app/tweather fall add out/town-snow.scene -o out/town-fall.scene --set count=60000
	@$(BUILD_DIR)/app/tweather fall particles out/town-fall.scene --frame 24 -o out/town-fall.ply
	@$(BUILD_DIR)/app/tweather fall add out/town-snow.scene -o out/town-snowfall.scene \
		--set count=40000 --set size=8 >/dev/null
	@$(BUILD_DIR)/app/tweather fall render out/town-snowfall.scene --frames 24 --over-render \
		-o out/town-snowfall.png --size 1280x720
	@$(BUILD_DIR)/app/tweather fall add out/town.scene -o out/town-rain.scene \
		--set type=1 --set count=200000 --set collide=1 >/dev/null
	@$(BUILD_DIR)/app/tweather fall render out/town-rain.scene --frames 1-4 --over-render \
		-o out/town-rain_####.png --size 960x540 --stats out/town-rain.json
	@$(BUILD_DIR)/app/tweather weather out/town.scene --preset "Winter night" -o out/town-winter-night.scene \
		-o out/town-winter-night.glb --report out/town-winter-night.json --preview out/town-winter-night.png >/dev/null
	@$(BUILD_DIR)/app/tweather weather out/town-winter-night.scene --bake -o out/town-winter-baked.glb \
		--report out/town-winter-baked.json >/dev/null
	@$(BUILD_DIR)/app/tweather map add out/town.scene --map wet --on Ground,Path --set puddleAmount=0 \
		--glossiness 90 -o out/town-wet.scene >/dev/null
	@$(BUILD_DIR)/app/tweather map add out/town-wet.scene --map puddles --on Ground,Path --set mode=1 \
		--slot specularLevel -o out/town-wet.scene --preview out/town-wet.png >/dev/null
	@$(BUILD_DIR)/app/tweather map bake out/town-wet.scene --node Ground --map wet --planar --size 1024x1024 \
		-o out/ground-wetness.png
	@echo "demo outputs are in $(CURDIR)/out/:"
	@echo "  town.scene        the built-in example, a small town in centimetres (tweather scene info out/town.scene)"
	@echo "  town-snow.png     a rendered picture of the snowed town (the host's preview renderer)"
	@echo "  town-snow.glb     the town with its snow at render detail, glTF for any 3D viewer (Blender, three.js)"
	@echo "  town-snow.obj     the same as OBJ (+Z up, centimetres)"
	@echo "  town-snow.scene   the town with its snow modifiers, to change and snow again"
	@echo "  town-snow.json    each object's snow figures and status text"
	@echo "  town-fall.scene   the snowed town with falling snow over it (tweather fall particles ...)"
	@echo "  town-fall.ply     the falling snow's particles at frame 24, a point cloud (Blender, MeshLab)"
	@echo "  town-snowfall.png the snowed town with snow falling, splats over its render (town-snowfall.scene)"
	@echo "  town-rain_0001..4.png  four frames of rain over the town's render; town-rain.json what each took"
	@echo "  town-winter-night.png/.glb/.scene/.json  the preset Winter night made on the town (tweather weather)"
	@echo "  town-winter-baked.glb  the winter town with its snow baked into plain meshes (tweather weather --bake)"
	@echo "  town-wet.png      the town after rain: Weather Maps of wetness and puddles on the ground and path (town-wet.scene)"
	@echo "  ground-wetness.png the ground's wetness baked to a texture (values as data, code = v x 65535)"
	@echo "  test-card.png     the 16-bit PNG writer's test card"

test: build
	@ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

bench: build
	@for b in $(BUILD_DIR)/bench/bench_*; do echo "== $$b"; $$b; done

# The Blender add-on as a zip that carries the tweather module: install it with
# Edit > Preferences > Add-ons > Install..., or headless with the command in README.md.
blender-addon: build
	@rm -rf $(BUILD_DIR)/addon && mkdir -p $(BUILD_DIR)/addon out
	@cp -r blender/tweather_addon $(BUILD_DIR)/addon/
	@cp $(BUILD_DIR)/python/tweather*.so $(BUILD_DIR)/addon/tweather_addon/
	@rm -f out/tweather_addon.zip && cd $(BUILD_DIR)/addon && python3 -m zipfile -c $(CURDIR)/out/tweather_addon.zip tweather_addon
	@echo "out/tweather_addon.zip: the Blender add-on with its module"

# Everything under AddressSanitizer and UndefinedBehaviorSanitizer, in its own folder.
sanitize: bootstrap
	@cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWX_SANITIZE=ON >/dev/null
	@cmake --build build-asan -j $(JOBS)
	@WX_QUICK_TESTS=1 ctest --test-dir build-asan --output-on-failure -j $(JOBS)

# The fuzz targets as libFuzzer programs under AddressSanitizer and UndefinedBehaviorSanitizer
# (clang), each run for FUZZ_SECONDS over its seeds. New inputs collect in build-fuzz/corpus;
# a crash leaves its input in build-fuzz/crashes: copy it into fuzz/<target>/corpus with the fix.
# Inputs are capped at FUZZ_MAX_LEN_<target> bytes: room for every seed and a few kilobytes of
# structure, no time spent on megabytes of the same lines.
FUZZ_SECONDS ?= 300
FUZZ_TARGETS := scene_file gltf_import obj_import script exclude_ids wind_file
FUZZ_MAX_LEN_scene_file := 8192
FUZZ_MAX_LEN_gltf_import := 8192
FUZZ_MAX_LEN_obj_import := 4096
FUZZ_MAX_LEN_script := 4096
FUZZ_MAX_LEN_exclude_ids := 1024
FUZZ_MAX_LEN_wind_file := 4096
fuzz:
	@cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
		-DWX_FUZZ=ON -DWX_SANITIZE=ON -DWX_CUDA=OFF -DWX_BUILD_TESTS=OFF -DWX_BUILD_BENCH=OFF >/dev/null
	@cmake --build build-fuzz -j $(JOBS) --target $(addprefix fuzz_,$(FUZZ_TARGETS))
	@mkdir -p build-fuzz/crashes
	@$(foreach t,$(FUZZ_TARGETS),mkdir -p build-fuzz/corpus/$(t); echo "== fuzz_$(t) for $(FUZZ_SECONDS) s"; \
		build-fuzz/fuzz/fuzz_$(t) -max_total_time=$(FUZZ_SECONDS) -max_len=$(FUZZ_MAX_LEN_$(t)) -timeout=10 \
			-rss_limit_mb=4096 -artifact_prefix=build-fuzz/crashes/$(t)- -print_final_stats=1 \
			build-fuzz/corpus/$(t) fuzz/$(t)/corpus 2>&1 | grep -E "^(stat::number_of_executed_units|==.*ERROR|SUMMARY)" \
			|| true;)

# The parallel code (snow builder, shelter, preview renderer) under ThreadSanitizer.
TSAN_PROGRAMS := test_common test_shelter test_snow test_host_render
tsan:
	@cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWX_TSAN=ON -DWX_CUDA=OFF \
		-DWX_BUILD_BENCH=OFF >/dev/null
	@cmake --build build-tsan -j $(JOBS) --target $(TSAN_PROGRAMS)
	@for p in $(TSAN_PROGRAMS); do echo "== $$p"; \
		TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" WX_QUICK_TESTS=1 build-tsan/tests/$$p --gtest_brief=1 \
		|| exit 1; done

clean:
	rm -rf $(BUILD_DIR) build-asan build-fuzz build-tsan out
