// Reading glTF accessors into flat arrays, with every offset, stride and count checked in
// arithmetic that cannot wrap: a hostile file gets a refusal naming what is wrong, never a
// read outside its buffers or an allocation larger than its data. Sparse accessors are
// applied over their base data (or zeros). Pure functions of the parsed model.
#pragma once

#include <tiny_gltf.h>

#include <cstdint>
#include <string>
#include <vector>

namespace host {

// The accessor's elements as floats (normalized integers scaled to 0..1); false with `why`
// when it is not of `components` components or any of its data lies outside its buffers.
bool readGltfAccessor(const tinygltf::Model& m, int index, int components, std::vector<float>& out, std::string& why);

// An index accessor's values, exact for every unsigned component type.
bool readGltfIndices(const tinygltf::Model& m, int index, std::vector<uint32_t>& out, std::string& why);

}  // namespace host
