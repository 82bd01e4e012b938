#pragma once

// Before a batch touches any file: does the folder have room for it, and
// how large are the files that fill it. The folder is asked through the file
// layer, so tests can stand in for any file system.

#include <string>
#include <vector>

#include "common/byte_count.h"
#include "common/result.h"

namespace torvane::FileCreator {

// Done when the folder's file system can take every one of `sizes` and,
// with `needs_space`, all of them together, in whole blocks, in its free
// space plus `freed` (what the old files of the same names occupy: the runs
// empty them); otherwise refused with the numbers, for the user.
Result<> CheckRoom(const std::string& folder, const std::vector<ByteCount>& sizes, bool needs_space,
                   ByteCount freed = 0);

// What a run that replaces the file at `path` frees: the blocks an old
// regular file with no other name occupies (a sparse one little of its
// length); 0 when there is none.
[[nodiscard]] ByteCount FreedByReplacing(const std::string& path);
// True when anything (a file, a folder, a link) stands at `path`.
[[nodiscard]] bool NameTaken(const std::string& path);

// The most files one batch makes.
inline constexpr ByteCount kMaxFiles = 1000000;

// The files that take the folder's free space down to `reserve`: one file,
// or (with `max_file` > 0) as many as it takes of at most `max_file` bytes,
// each a whole number of `unit`s (a record or a chunk). Planned in the
// blocks the file system allocates, with one block to spare for what a file
// adds besides its data (its folder entry, its block map). Refused when
// nothing fits.
Result<std::vector<ByteCount>> PlanFill(const std::string& folder, ByteCount reserve,
                                        ByteCount max_file, ByteCount unit);

// Before each file of a fill: true when a file of `size` bytes still fits
// above `reserve` in the folder's free space as it is now (other programs
// write too, and file systems spend blocks a plan cannot foresee).
[[nodiscard]] bool FitsAboveReserve(const std::string& folder, ByteCount size, ByteCount reserve);

}  // namespace torvane::FileCreator
