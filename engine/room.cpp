#include "engine/room.h"

#include <cerrno>
#include <system_error>

#include "bigfiles/file_layer.h"
#include "common/number_locale.h"

namespace torvane::FileCreator {
namespace {

std::string Bytes(ByteCount count) { return FormatThousands(count) + " bytes"; }

std::string Unreadable(const std::string& folder) {
  return "the free space of " + folder +
         " cannot be read: " + std::generic_category().message(errno != 0 ? errno : EIO);
}

}  // namespace

std::string CheckRoom(const std::string& folder, const std::vector<ByteCount>& sizes,
                      bool needs_space, ByteCount freed) {
  FileLayer::Space space;
  errno = 0;
  if (!CurrentFileLayer().FolderSpace(folder, space)) return Unreadable(folder);
  ByteCount needed = 0;
  for (ByteCount size : sizes) {
    if (size > space.largest_file)
      return "a file of " + Bytes(size) + " is larger than the folder's file system allows (" +
             Bytes(space.largest_file) + ")";
    if (__builtin_add_overflow(needed, size, &needed)) needed = space.free + 1;
  }
  if (needs_space && needed - freed > space.free)
    return "needs " + Bytes(needed) + "; the folder has " + Bytes(space.free) + " free";
  return {};
}

FillPlan PlanFill(const std::string& folder, ByteCount reserve, ByteCount max_file,
                  ByteCount unit) {
  FillPlan plan;
  FileLayer::Space space;
  errno = 0;
  if (!CurrentFileLayer().FolderSpace(folder, space)) {
    plan.error = Unreadable(folder);
    return plan;
  }
  if (space.free <= reserve) {
    plan.error = "the folder has " + Bytes(space.free) + " free, no more than the reserve of " +
                 Bytes(reserve);
    return plan;
  }
  // A file is never larger than its file system takes, nor than asked.
  ByteCount largest = space.largest_file;
  if (max_file > 0 && max_file < largest) largest = max_file;
  largest -= largest % unit;
  ByteCount left = (space.free - reserve) / unit * unit;
  if (left == 0 || largest == 0) {
    plan.error = "the folder's free space above the reserve holds no whole " + Bytes(unit);
    return plan;
  }
  if ((left + largest - 1) / largest > kMaxFiles) {
    plan.error = "filling the folder would take more than " + FormatThousands(kMaxFiles) +
                 " files; give a larger --max-file-size";
    return plan;
  }
  while (left > 0) {
    const ByteCount size = left < largest ? left : largest;
    plan.sizes.push_back(size);
    left -= size;
  }
  return plan;
}

}  // namespace torvane::FileCreator
