#include "engine/file_creator.h"

namespace torvane::FileCreator {

// The largest of the batch sizes that does not exceed what is left, and the
// exact remainder below the smallest, so that no batch reaches past the end.
std::int32_t CalcChunkSize(ByteCount remaining) {
  for (std::int32_t size : kChunkSizes)
    if (remaining >= size) return size;
  return remaining > 0 ? static_cast<std::int32_t>(remaining) : 0;
}

}  // namespace torvane::FileCreator
