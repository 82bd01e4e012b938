#include "engine/target_file.h"

#include <cerrno>
#include <cstring>

#include "bigfiles/file_layer.h"
#include "common/stop_flag.h"
#include "engine/messages.h"
#include "engine/run_state.h"

namespace torvane::FileCreator::detail {

bool EmptyTarget(const std::string& path) {
  errno = 0;
  if (CurrentFileLayer().CreateEmpty(path)) return true;
  const int error = errno;
  FailRun(CannotEmptyMessage(path, error != 0 ? std::strerror(error) : "unknown error"));
  return false;
}

TargetWriter::TargetWriter(std::string path) : path_(std::move(path)) {
  emptied_ = EmptyTarget(path_);
  if (!emptied_) return;
  opened_ = files_.OpenReadWrite(path_, handle_);
  if (opened_) return;
  // A Stop during the open's yields is no failure; anything else is, and
  // saying so beats a bare "Done." over an empty file.
  if (!StopFlag) FailRun(CannotOpenMessage(path_));
  StopFlag = true;
}

TargetWriter::~TargetWriter() {
  if (opened_) files_.API_CloseFile(handle_);
}

bool TargetWriter::Write(std::span<const std::uint8_t> data) {
  if (files_.API_WriteFile(handle_, written_, data)) {
    written_ += static_cast<ByteCount>(data.size());
    return true;
  }
  StopFlag = true;
  KeepConfirmedWrites();
  return false;
}

void TargetWriter::KeepConfirmedWrites() {
  FileLayer& layer = CurrentFileLayer();
  // Never bring back a file that someone removed during the run.
  if (!layer.PathExists(path_)) return;
  const int fd = layer.Open(path_, FileLayer::Access::ReadWriteAlways);
  if (fd < 0) return;
  if (layer.Size(fd) > written_) layer.Truncate(fd, written_);
  layer.Close(fd);
}

}  // namespace torvane::FileCreator::detail
