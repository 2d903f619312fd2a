// Why the host's bitmap loading failed, in words naming the file. Per thread.
#pragma once

#include <string>

#include "max/bitmap.h"

namespace host {
// Why the last Load, LoadInto or GetImageInfo on this thread failed, naming the file.
const std::string& lastBitmapError();
}  // namespace host
