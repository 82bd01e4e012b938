#include "engine/target_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <system_error>

#include "common/case_mapping.h"
#include "common/stop_flag.h"
#include "common/text.h"
#include "common/yield.h"
#include "engine/messages.h"
#include "engine/run_state.h"

namespace torvane::FileCreator::detail {
namespace {

using Kind = FileLayer::Identity::Kind;

std::string Reason(int error) {
  return error != 0 ? std::generic_category().message(error) : "unknown error";
}

// File systems without locks (some network and FUSE mounts) still take the
// run: the lock keeps a second run off the file, it does not protect the file.
bool LocksUnsupported(int error) {
  return error == ENOLCK || error == EOPNOTSUPP || error == ENOSYS || error == EINVAL;
}

// Opens the name, refusing a symbolic link, anything but a regular file and
// a file that another run holds; the descriptor comes back locked. -1 after
// the run has failed with the reason; nothing was written then.
int OpenChecked(FileLayer& layer, const std::string& path, bool& created,
                FileLayer::Identity& identity) {
  errno = 0;
  const int fd = layer.OpenTarget(path, created);
  if (fd < 0) {
    const int error = errno;
    FileLayer::Identity named;
    if (error == ELOOP && layer.IdentifyName(path, named) && named.kind == Kind::SymbolicLink)
      FailRun(SymbolicLinkMessage(path));
    else if (error == EISDIR)
      FailRun(NotRegularFileMessage(path));
    else
      FailRun(CannotEmptyMessage(path, Reason(error)));
    return -1;
  }
  std::string refusal;
  if (!layer.Identify(fd, identity)) {
    refusal = CannotEmptyMessage(path, Reason(errno));
  } else if (identity.kind != Kind::Regular) {
    refusal = NotRegularFileMessage(path);
  } else if (!layer.LockExclusive(fd)) {
    const int error = errno;
    if (error == EWOULDBLOCK)
      refusal = BusyMessage(path);
    else if (!LocksUnsupported(error))
      refusal = CannotEmptyMessage(path, Reason(error));
  }
  if (refusal.empty()) return fd;
  // Only looked at: closing cannot lose anything.
  (void)layer.Close(fd);
  FailRun(refusal);
  return -1;
}

// Removes a checksum left by an earlier run, which would describe another
// file. Only the name is removed: a link there is never followed.
void RemoveStaleChecksum(const std::string& path) {
  FileLayer& layer = CurrentFileLayer();
  const std::string sidecar = path + ".sha256";
  FileLayer::Identity named;
  if (layer.IdentifyName(sidecar, named) && named.kind != Kind::Directory)
    (void)layer.Remove(sidecar);  // one that stays is replaced or refused at the end
}

}  // namespace

CheckedTarget::CheckedTarget(const std::string& path) {
  FileLayer& layer = CurrentFileLayer();
  bool created = false;
  int fd = OpenChecked(layer, path, created, identity_);
  if (fd < 0) return;
  if (identity_.links > 1) {
    // Writing through a name that another name shares would rewrite that
    // name's content too: this name gets a new file of its own instead.
    FileLayer::Identity named;
    const bool same = layer.IdentifyName(path, named) && named.SameFileAs(identity_);
    errno = 0;
    const bool removed = same && layer.Remove(path);
    const int error = errno;
    (void)layer.Close(fd);  // nothing was written through it
    if (!removed) {
      FailRun(same ? CannotEmptyMessage(path, Reason(error)) : ReplacedMessage(path));
      return;
    }
    fd = OpenChecked(layer, path, created, identity_);
    if (fd < 0) return;
    if (!created || identity_.links > 1) {
      // Someone put a file there again in the moment between. Nothing was
      // written through the descriptor, so its close has nothing to lose.
      (void)layer.Close(fd);
      FailRun(ReplacedMessage(path));
      return;
    }
  }
  errno = 0;
  if (!layer.Truncate(fd, 0)) {
    const int error = errno;
    (void)layer.Close(fd);  // the run fails anyway, and nothing was written
    FailRun(CannotEmptyMessage(path, Reason(error)));
    return;
  }
  identity_.size = 0;
  // Every write is synced, but a new file's name lives in its folder: sync
  // that once too, so that a finished file survives a crash by name. A folder
  // that cannot be synced still holds the file; the writes decide the run.
  if (created) (void)layer.SyncFolderOf(path);
  fd_ = fd;
}

CheckedTarget::~CheckedTarget() {
  // Releases the lock. Every write was synced through its own descriptor, so
  // this close has nothing left to report.
  if (fd_ >= 0) (void)CurrentFileLayer().Close(fd_);
}

bool EmptyTarget(const std::string& path) { return CheckedTarget(path).ok(); }

TargetWriter::TargetWriter(std::string path, const RunOptions& options, bool gather)
    : path_(std::move(path)),
      sync_(options.sync),
      gathered_(gather && options.sync != SyncMode::Record),
      target_(path_) {
  if (!target_.ok()) return;
  if (options.checksum) {
    RemoveStaleChecksum(path_);
    checksum_.emplace();
    if (!checksum_->ok()) {
      FailRun(kChecksumFailedMessage);
      return;  // not opened: nothing is written that no checksum could describe
    }
  }
  // cBigFiles opens its files by name; the file it reaches must be the one
  // checked and locked above.
  errno = 0;
  opened_ = files_.OpenReadWrite(path_, handle_);
  if (!opened_) {
    const int error = errno;
    // A Stop during the open's yields is no failure; anything else is, and
    // saying so beats a bare "Done." over an empty file.
    if (!StopFlag) FailRun(CannotOpenMessage(path_), error);
    StopFlag = true;
    return;
  }
  FileLayer::Identity opened;
  if (!CurrentFileLayer().Identify(DescriptorOf(handle_), opened) ||
      !opened.SameFileAs(target_.identity())) {
    files_.API_CloseFile(handle_);
    opened_ = false;
    FailRun(ReplacedMessage(path_));
  }
}

TargetWriter::~TargetWriter() {
  if (opened_) files_.API_CloseFile(handle_);
}

ByteCount TargetWriter::held() const {
  if (!target_.ok()) return -1;
  return CurrentFileLayer().Size(target_.descriptor());
}

bool TargetWriter::Write(std::span<const std::uint8_t> data) {
  return gathered_.Write(data, [this](auto bytes) { return WriteNow(bytes); });
}

bool TargetWriter::Flush() {
  return gathered_.Flush([this](auto bytes) { return WriteNow(bytes); });
}

bool TargetWriter::WriteNow(std::span<const std::uint8_t> data) {
  const bool written = sync_ == SyncMode::End
                           ? files_.API_WriteFileUnsynced(handle_, written_, data)
                           : files_.API_WriteFile(handle_, written_, data);
  if (written) {
    written_ += static_cast<ByteCount>(data.size());
    if (checksum_ && !checksum_->Add(data)) {
      FailRun(kChecksumFailedMessage);
      return false;
    }
    return true;
  }
  StopFlag = true;
  KeepConfirmedWrites();
  return false;
}

bool TargetWriter::Extend(ByteCount size) {
  errno = 0;
  if (!files_.LoadWithNullValues(handle_, size) ||
      (sync_ != SyncMode::End && !CurrentFileLayer().Sync(target_.descriptor()))) {
    FailRun(NotOnDiskMessage(path_), errno);
    return false;
  }
  written_ = size;
  // The checksum covers the zeros the file now holds. Hashing gigabytes of
  // them takes a while: a Stop keeps the whole chunks hashed so far.
  if (!checksum_) return true;
  const std::vector<std::uint8_t> zeros(kMaxGathered);
  for (ByteCount hashed = 0; hashed < size;) {
    Yield();
    if (StopFlag) {
      written_ = hashed;
      KeepConfirmedWrites();
      return false;
    }
    const auto length = static_cast<std::size_t>(std::min<ByteCount>(size - hashed, kMaxGathered));
    if (!checksum_->Add(std::span(zeros.data(), length))) {
      FailRun(kChecksumFailedMessage);
      return false;
    }
    hashed += static_cast<ByteCount>(length);
  }
  return true;
}

bool TargetWriter::WriteChecksum() {
  if (!checksum_) return true;
  std::string line;
  if (!checksum_->Hex(line)) {
    FailRun(kChecksumFailedMessage);
    return false;
  }
  line.append("  ").append(BaseName(path_)).append("\n");  // as sha256sum writes it

  FileLayer& layer = CurrentFileLayer();
  const std::string sidecar = path_ + ".sha256";
  FileLayer::Identity named;
  if (layer.IdentifyName(sidecar, named) && named.kind != Kind::Regular) {
    FailRun(named.kind == Kind::SymbolicLink ? SymbolicLinkMessage(sidecar)
                                             : NotRegularFileMessage(sidecar));
    return false;
  }
  // Written whole under another name, then renamed: a disk that fills or a
  // run that dies halfway leaves no sidecar that is empty or cut short.
  const std::string partial = sidecar + ".part";
  bool written = false;
  int error = 0;
  {
    CheckedTarget file(partial);
    if (!file.ok()) return false;  // the run has failed with the reason
    errno = 0;
    const long moved = layer.WriteAt(
        file.descriptor(), reinterpret_cast<const std::uint8_t*>(line.data()), line.size(), 0);
    written = moved == static_cast<long>(line.size()) && layer.Sync(file.descriptor());
    error = moved >= 0 && !written && errno == 0 ? ENOSPC : errno;
  }
  errno = 0;
  if (written && layer.Rename(partial, sidecar)) {
    (void)layer.SyncFolderOf(sidecar);  // as for a new file: the writes decided
    g_run.checksum = line.substr(0, line.find(' '));
    return true;
  }
  if (written) error = errno;
  (void)layer.Remove(partial);  // the run fails with the first reason
  FailRun(NotOnDiskMessage(sidecar), error);
  return false;
}

void TargetWriter::KeepConfirmedWrites() {
  // Through the checked descriptor, never by name: by now the name may lead
  // to another file.
  FileLayer& layer = CurrentFileLayer();
  const int fd = target_.descriptor();
  // The run has failed already; a cut-back that fails too leaves the partial
  // write, and held() reports what the file then holds.
  if (layer.Size(fd) > written_) (void)layer.Truncate(fd, written_);
}

bool TargetWriter::Finish() {
  if (!Flush()) return false;
  FileLayer& layer = CurrentFileLayer();
  errno = 0;
  if (sync_ == SyncMode::End && !layer.Sync(target_.descriptor())) {
    FailRun(NotOnDiskMessage(path_), errno);
    return false;
  }
  FileLayer::Identity named;
  if (!layer.IdentifyName(path_, named) || !named.SameFileAs(target_.identity())) {
    FailRun(ReplacedMessage(path_));
    return false;
  }
  const ByteCount holds = held();
  if (holds != written_) {
    FailRun(SizeChangedMessage(path_, holds, written_));
    return false;
  }
  return true;
}

bool StreamWriter::Write(std::span<const std::uint8_t> data) {
  return gathered_.Write(data, [this](auto bytes) { return Send(bytes); });
}

bool StreamWriter::Flush() {
  return gathered_.Flush([this](auto bytes) { return Send(bytes); });
}

bool StreamWriter::Send(std::span<const std::uint8_t> data) {
  errno = 0;
  switch (sink_.Write(data)) {
    case ByteSink::Result::Written:
      written_ += static_cast<ByteCount>(data.size());
      return true;
    case ByteSink::Result::Closed:
      StopFlag = true;
      g_run.stop_requested = true;
      return false;
    default:
      FailRun(kStreamFailedMessage, errno);
      return false;
  }
}

RunningChecksum::RunningChecksum() : provider_(CurrentCryptoProvider()) {
  handle_ = provider_.Acquire(kProviderRows[0]);
  if (handle_ != 0) hash_ = provider_.CreateHash(handle_, kAlgSha256);
}

RunningChecksum::~RunningChecksum() {
  hash_.reset();
  if (handle_ != 0) provider_.Release(handle_);
}

bool RunningChecksum::Add(std::span<const std::uint8_t> data) { return hash_->HashData(data); }

bool RunningChecksum::Hex(std::string& hex) {
  std::array<std::uint8_t, 32> digest{};
  std::uint32_t length = 0;
  if (!hash_->GetHashValue(digest, length) || length > digest.size()) return false;
  hex.clear();
  for (std::uint8_t b : std::span(digest.data(), length)) {
    hex.push_back(kHexDigits[b >> 4]);
    hex.push_back(kHexDigits[b & 15]);
  }
  hex = LowerCase(hex);
  return true;
}

}  // namespace torvane::FileCreator::detail
