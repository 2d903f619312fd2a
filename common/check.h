// Precondition checks for the core's entry points. WX_CHECK(cond) is on in every build and
// is meant for cheap tests of what a caller must hand in (matching array lengths, counts
// that fit the index type). A failed check throws std::logic_error whose text names the
// function and the condition, "measureSkyCpu: normals.size() == positions.size()": a
// broken caller is a bug, but the plug-in turns any std::exception from the core into the
// modifier's status text, so throwing shows the fault where aborting would take the
// artist's scene down with it. WX_DCHECK is the same check in builds without NDEBUG and
// nothing in release builds, for tests too costly or too deep to run on every call.
// Neither is for bad user input, which gets a result and a message that says what to do.
// Not for device code: kernel bodies take what their host-side launcher checked.
#pragma once

#include <stdexcept>
#include <string>

namespace wx::checkdetail {

[[noreturn]] inline void fail(const char* function, const char* condition) {
    throw std::logic_error(std::string(function) + ": " + condition);
}

}  // namespace wx::checkdetail

#define WX_CHECK(cond)                                \
    do {                                              \
        if (!(cond)) [[unlikely]]                     \
            ::wx::checkdetail::fail(__func__, #cond); \
    } while (false)

#ifdef NDEBUG
#define WX_DCHECK(cond) static_cast<void>(sizeof(!(cond)))  // type-checked, never evaluated
#else
#define WX_DCHECK(cond) WX_CHECK(cond)
#endif
