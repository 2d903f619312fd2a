// The host's undo history of accepted theHold steps: Undo and Redo restore the scene the
// steps recorded. Main thread only.
#pragma once

#include <string>
#include <vector>

#include "max/hold.h"

namespace host {
// Undoes the last accepted step; false when there is none (or its snapshot cannot be read).
bool undo();
bool redo();
// Names of the accepted steps, oldest first (what an Undo menu would list, newest last).
std::vector<std::wstring> undoStepNames();
void clearUndo();
}  // namespace host
