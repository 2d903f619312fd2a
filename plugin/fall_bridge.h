// The external bridge: another plug-in in the same host finds TWX_GetBridge by name in this
// module and gets a static table of three plain functions that ask whether a node is a
// fall object, render one over the caller's own float image with the caller's camera, and
// read its status text. The record's layout is part of the contract (64-bit, natural
// alignment), held here by static_assert; a caller may copy this header. Main thread only:
// the functions evaluate the scene and render.
#pragma once

#include <cstddef>
#include <cstdint>

class INode;

extern "C" {

// 40 bytes: version at 0 (then 4 bytes of zero padding), isFall at 8, render at 16,
// status at 24, signature at 32.
struct TwxBridge {
    int32_t version;  // 1
    int32_t padding;  // 0
    // 1 for a node whose base object is a Weather Fall, else 0.
    int (*isFall)(INode* node);
    // Renders the fall object of `node` at `time` (ticks) over `rgba` (width x height x 4
    // floats, row 0 on top, linear, premultiplied) from the 13-float camera block
    // (position, right, up, forward, tanHalfX) and writes the result back: 1. Returns 0,
    // touching nothing, for a node that is no fall object, a null block or image, or a
    // size below 1; 0, with the image as it was and the reason in the status, when the
    // render fails.
    int (*render)(INode* node, int time, const float* camera, int width, int height, float* rgba);
    // The fall object's status text, or "not a Tarnwick Weather object". One string owned
    // by the module, replaced by the next call.
    const wchar_t* (*status)(INode* node);
    const char* signature;  // "TARNWICK WEATHER"
};

static_assert(sizeof(void*) == 8, "the bridge record is laid out for 64-bit hosts");
static_assert(offsetof(TwxBridge, version) == 0 && offsetof(TwxBridge, isFall) == 8 &&
              offsetof(TwxBridge, render) == 16 && offsetof(TwxBridge, status) == 24 &&
              offsetof(TwxBridge, signature) == 32 && sizeof(TwxBridge) == 40);

using TwxGetBridgeFn = const TwxBridge* (*)();
}

inline constexpr const char* kTwxBridgeSymbol = "TWX_GetBridge";
inline constexpr const char* kTwxBridgeSignature = "TARNWICK WEATHER";
inline constexpr int32_t kTwxBridgeVersion = 1;
