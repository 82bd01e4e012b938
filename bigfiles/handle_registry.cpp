#include "bigfiles/handle_registry.h"

#include <limits>
#include <unordered_map>

namespace torvane::bigfiles_detail {
namespace {

// Only the window's thread opens files, and a run holds one handle at a time:
// no lock, and the map stays tiny.
std::unordered_map<FileHandle, int>& OpenHandles() {
  static std::unordered_map<FileHandle, int> handles;
  return handles;
}

FileHandle g_last_handle = 0;

}  // namespace

FileHandle HandleRegistry::Register(int descriptor) {
  if (descriptor < 0 || g_last_handle == std::numeric_limits<FileHandle>::max()) return -1;
  try {
    OpenHandles().emplace(g_last_handle + 1, descriptor);
  } catch (...) {
    return -1;  // out of memory: the caller closes the descriptor again
  }
  return ++g_last_handle;
}

int HandleRegistry::Descriptor(FileHandle handle) {
  const auto found = OpenHandles().find(handle);
  return found == OpenHandles().end() ? -1 : found->second;
}

int HandleRegistry::Release(FileHandle handle) {
  const auto found = OpenHandles().find(handle);
  if (found == OpenHandles().end()) return -1;
  const int descriptor = found->second;
  OpenHandles().erase(found);
  return descriptor;
}

}  // namespace torvane::bigfiles_detail
