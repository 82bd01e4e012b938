#pragma once

#include "bigfiles/big_files.h"

namespace torvane::bigfiles_detail {

// Maps the handles that callers keep to the file layer's descriptors. A
// handle is a positive number counted up once per open and never handed out
// again in this process, so a stale handle (closed by a failed write while
// the caller still holds it) can never reach a file opened since, and a
// descriptor 0 is never mistaken for "no file".
class HandleRegistry {
 public:
  // A new handle for `descriptor`, or -1 when the 2^31 - 1 handles of this
  // process are used up (or memory is): the caller still owns the descriptor.
  [[nodiscard]] static FileHandle Register(int descriptor);
  // The descriptor behind an open handle, or -1.
  [[nodiscard]] static int Descriptor(FileHandle handle);
  // Forgets the handle and returns its descriptor (-1 when it was not open).
  [[nodiscard]] static int Release(FileHandle handle);
};

}  // namespace torvane::bigfiles_detail
