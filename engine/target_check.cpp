#include "engine/target_check.h"

#include <algorithm>
#include <cerrno>

#include "bigfiles/file_layer.h"
#include "common/stop_flag.h"
#include "common/yield.h"
#include "engine/messages.h"
#include "engine/run_state.h"

namespace torvane::FileCreator::detail {
namespace {

// The file was read and is not what the options make: a different verdict
// from a file that could not be read.
void FoundDifference(const std::string& message) {
  g_run.differs = true;
  FailRun(message);
}

}  // namespace

long ReadFully(int fd, std::uint8_t* data, std::size_t size, ByteCount offset) {
  FileLayer& layer = CurrentFileLayer();
  std::size_t done = 0;
  while (done < size) {
    errno = 0;
    const long moved =
        layer.ReadAt(fd, data + done, size - done, offset + static_cast<ByteCount>(done));
    if (moved < 0 && errno == EINTR) continue;
    if (moved < 0) return -1;
    if (moved == 0) break;
    done += static_cast<std::size_t>(moved);
  }
  return static_cast<long>(done);
}

TargetChecker::TargetChecker(std::string path) : path_(std::move(path)) {
  FileLayer& layer = CurrentFileLayer();
  errno = 0;
  fd_ = layer.Open(path_, FileLayer::Access::ReadOnlyExisting);
  if (fd_ < 0) FailRun(CannotReadMessage(path_), errno != 0 ? errno : ENOENT);
}

TargetChecker::~TargetChecker() {
  // Only read: closing has nothing to lose.
  if (fd_ >= 0) (void)CurrentFileLayer().Close(fd_);
}

bool TargetChecker::Write(std::span<const std::uint8_t> data) {
  buffer_.resize(data.size());
  const long got = ReadFully(fd_, buffer_.data(), buffer_.size(), compared_);
  if (got < 0) {
    FailRun(CannotReadMessage(path_), errno);
    return false;
  }
  const auto mismatch =
      std::mismatch(data.begin(), data.end(), buffer_.begin(), buffer_.begin() + got);
  const auto same = static_cast<ByteCount>(mismatch.first - data.begin());
  if (same < static_cast<ByteCount>(data.size())) {
    if (same < got)
      FoundDifference(DiffersMessage(path_, compared_ + same));
    else
      FoundDifference(SizeDiffersMessage(path_, CurrentFileLayer().Size(fd_), g_run.total_bytes));
    return false;
  }
  compared_ += same;
  return true;
}

bool TargetChecker::CheckRules(const std::array<bool, 256>& allowed, bool records,
                               ByteCount total) {
  constexpr ByteCount kRecord = 80;
  const ByteCount size = CurrentFileLayer().Size(fd_);
  if (size != total) {
    FoundDifference(SizeDiffersMessage(path_, size, total));
    return false;
  }
  const ByteCount last_start = total - (total % kRecord == 0 ? kRecord : total % kRecord);
  ProgressPacer pacer(500);
  buffer_.resize(static_cast<std::size_t>(kRecord) * 768);
  while (compared_ < total) {
    Yield();
    if (StopFlag) return false;
    const long got = ReadFully(fd_, buffer_.data(), buffer_.size(), compared_);
    if (got <= 0) {
      FailRun(CannotReadMessage(path_), got < 0 ? errno : EIO);
      return false;
    }
    for (long i = 0; i < got; ++i) {
      const ByteCount at = compared_ + i;
      const ByteCount in_record = at % kRecord;
      const ByteCount length = at >= last_start ? total - last_start : kRecord;
      const std::uint8_t b = buffer_[static_cast<std::size_t>(i)];
      bool fits = allowed[b];
      if (records && length >= 2 && in_record == length - 2) fits = b == '\r';
      if (records && length >= 2 && in_record == length - 1) fits = b == '\n';
      if (!fits) {
        FoundDifference(LayoutBrokenMessage(path_, at));
        return false;
      }
    }
    compared_ += got;
    pacer.ShowIfDue(compared_);
  }
  return true;
}

bool TargetChecker::Finish() {
  const ByteCount size = CurrentFileLayer().Size(fd_);
  if (size == compared_) return true;
  FoundDifference(SizeDiffersMessage(path_, size, g_run.total_bytes));
  return false;
}

}  // namespace torvane::FileCreator::detail
