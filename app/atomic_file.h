// The app's writers use the program's one atomic writer under the app's own namespace.
#pragma once

#include "common/atomic_file.h"

namespace tweather {

using AtomicFile = wx::AtomicFile;

}  // namespace tweather
