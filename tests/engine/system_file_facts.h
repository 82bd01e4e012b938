#pragma once

// What the system itself says about a file, without Torvane's code between:
// for checks that must not share a fault with what they check.

#include <cstdint>
#include <string>

namespace torvane::testing {

// SHA-256 of the file's bytes in lower-case hex, from the system's own
// tools (coreutils' sha256sum; CNG on Windows), or a text that is no hash.
std::string SystemSha256(const std::string& path);

// The bytes of disk the file holds (a sparse file: far fewer than its
// size), or -1 where the system does not say: wine's
// GetCompressedFileSizeW answers with the file's length.
std::int64_t AllocatedBytes(const std::string& path);

}  // namespace torvane::testing
