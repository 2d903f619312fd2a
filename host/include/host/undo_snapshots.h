// How undo records the scene: a snapshot of the whole scene with its settings before each
// step, and the way back to one. The scene-file code (src/io/) installs the two functions
// before main, so that the undo stack needs no file format of its own and does not depend
// on io. Main thread only.
#pragma once

#include <string>

namespace host {

struct UndoSnapshots {
    std::string (*take)() = nullptr;
    // False (and the open scene untouched) when the snapshot cannot be read back.
    bool (*restore)(const std::string& snapshot) = nullptr;
};

void setUndoSnapshots(UndoSnapshots snapshots);

}  // namespace host
