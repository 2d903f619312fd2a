// Whole input files read the one careful way every reader shares: only a regular file is
// read (a folder, a device, a pipe or a socket is refused before a byte is read, so a
// reader never blocks on a FIFO or drains an endless device), and no more than a stated
// number of bytes is taken, whatever size the file claims. Messages name the file and say
// what is wrong. Pure functions over the file system; safe on any thread.
#pragma once

#include <cstddef>
#include <string>

namespace host {

// Larger than any scene, mesh or script this host is meant to open, in bytes (2 GiB).
inline constexpr size_t kMaxInputFileBytes = size_t(2) << 30;

struct InputFileOptions {
    size_t maxBytes = kMaxInputFileBytes;
    bool dropByteOrderMark = false;  // a leading UTF-8 byte-order mark is not content
};

// The file's bytes, or false with "cannot read <what> '<path>': <reason>" in `error`.
// `what` names the kind of file ("OBJ", "scene file", "script"); empty leaves it out.
bool readInputFile(const std::string& path, const std::string& what, std::string& bytes, std::string& error,
                   const InputFileOptions& options = {});

// True when `name` is a relative path that stays inside the folder it is resolved in: no
// root, no "..", nothing empty. For files that name other files beside them.
bool staysInsideFolder(const std::string& name);

}  // namespace host
