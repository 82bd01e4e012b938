#include "engine/room.h"

#include <cerrno>
#include <limits>
#include <system_error>

#include "bigfiles/file_layer.h"
#include "common/number_locale.h"

namespace torvane::FileCreator {
namespace {

constexpr ByteCount kLargest = std::numeric_limits<ByteCount>::max();

std::string Bytes(ByteCount count) { return FormatThousands(count) + " bytes"; }

Refusal Unreadable(const std::string& folder) {
  return Refuse("the free space of " + folder +
                " cannot be read: " + std::generic_category().message(errno != 0 ? errno : EIO));
}

// What a file of `size` bytes takes of its file system: whole blocks.
ByteCount Occupied(ByteCount size, ByteCount block) {
  if (block <= 1) return size;
  return size > kLargest - block ? kLargest : (size + block - 1) / block * block;
}

// The free space above `reserve` that files may take, in whole blocks, one
// block kept back for what a file adds besides its data; 0 when none.
ByteCount Usable(const FileLayer::Space& space, ByteCount reserve) {
  const ByteCount block = space.block > 0 ? space.block : 1;
  if (space.free <= reserve) return 0;
  const ByteCount above = (space.free - reserve) / block * block - block;
  return above > 0 ? above : 0;
}

}  // namespace

Result<> CheckRoom(const std::string& folder, const std::vector<ByteCount>& sizes, bool needs_space,
                   ByteCount freed) {
  FileLayer::Space space;
  errno = 0;
  if (!CurrentFileLayer().FolderSpace(folder, space)) return Unreadable(folder);
  ByteCount needed = 0;
  for (ByteCount size : sizes) {
    if (size > space.largest_file)
      return Refuse("a file of " + Bytes(size) +
                    " is larger than the folder's file system allows (" +
                    Bytes(space.largest_file) + ")");
    if (__builtin_add_overflow(needed, Occupied(size, space.block), &needed)) needed = kLargest;
  }
  if (needs_space && needed - freed > space.free)
    return Refuse("needs " + Bytes(needed) + "; the folder has " + Bytes(space.free) + " free");
  return {};
}

Result<std::vector<ByteCount>> PlanFill(const std::string& folder, ByteCount reserve,
                                        ByteCount max_file, ByteCount unit) {
  FileLayer::Space space;
  errno = 0;
  if (!CurrentFileLayer().FolderSpace(folder, space)) return Unreadable(folder);
  if (space.free <= reserve)
    return Refuse("the folder has " + Bytes(space.free) + " free, no more than the reserve of " +
                  Bytes(reserve));
  const ByteCount block = space.block > 0 ? space.block : 1;
  // A file is never larger than its file system takes, nor than asked.
  ByteCount largest = space.largest_file;
  if (max_file > 0 && max_file < largest) largest = max_file;
  largest -= largest % unit;
  const ByteCount usable = Usable(space, reserve);
  if (usable < unit || largest == 0)
    return Refuse("the folder's free space above the reserve holds no whole " + Bytes(unit));
  // Files of the largest size while their blocks fit, then one of what the
  // last blocks hold.
  const ByteCount each = Occupied(largest, block);
  const ByteCount whole = usable / each;
  const ByteCount rest = (usable - whole * each) / unit * unit;
  if (whole + (rest > 0 ? 1 : 0) > kMaxFiles)
    return Refuse("filling the folder would take more than " + FormatThousands(kMaxFiles) +
                  " files; give a larger --max-file-size");
  std::vector<ByteCount> sizes(static_cast<std::size_t>(whole), largest);
  if (rest > 0) sizes.push_back(rest);
  return sizes;
}

ByteCount FreedByReplacing(const std::string& path) {
  FileLayer::Identity old;
  if (!CurrentFileLayer().IdentifyName(path, old)) return 0;
  return old.kind == FileLayer::Identity::Kind::Regular && old.links == 1 ? old.allocated : 0;
}

bool NameTaken(const std::string& path) {
  FileLayer::Identity there;
  return CurrentFileLayer().IdentifyName(path, there);
}

bool FitsAboveReserve(const std::string& folder, ByteCount size, ByteCount reserve) {
  FileLayer::Space space;
  if (!CurrentFileLayer().FolderSpace(folder, space)) return false;
  return Occupied(size, space.block) <= Usable(space, reserve);
}

}  // namespace torvane::FileCreator
