#pragma once

// The target file as both builders write it.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "bigfiles/big_files.h"
#include "bigfiles/file_layer.h"
#include "common/byte_count.h"
#include "engine/file_creator.h"
#include "random/crypto_provider.h"

namespace torvane::FileCreator::detail {

// The target of a run, opened once and checked: never through a symbolic
// link, only a regular file, only while no other run writes it, and never
// through a name that another name shares (that name gets a new file of its
// own, so the others keep their content). Emptied, and locked until it goes
// out of scope. On failure the run has failed with the reason and no file
// was touched.
class CheckedTarget {
 public:
  explicit CheckedTarget(const std::string& path);
  ~CheckedTarget();
  CheckedTarget(const CheckedTarget&) = delete;
  CheckedTarget& operator=(const CheckedTarget&) = delete;

  // True when the target was opened, checked and emptied.
  [[nodiscard]] bool ok() const { return fd_ >= 0; }
  // The checked file's descriptor (-1 when !ok()), closed with this object.
  int descriptor() const { return fd_; }
  // What the checked file is, as it was when emptied (size 0).
  const FileLayer::Identity& identity() const { return identity_; }

 private:
  int fd_ = -1;
  FileLayer::Identity identity_;
};

// The SHA-256 of the bytes a run writes, through the current crypto
// provider, whose handle it gives back when it goes out of scope.
class RunningChecksum {
 public:
  RunningChecksum();
  ~RunningChecksum();
  RunningChecksum(const RunningChecksum&) = delete;
  RunningChecksum& operator=(const RunningChecksum&) = delete;
  // False when the provider gave no hash: nothing else may be called then.
  [[nodiscard]] bool ok() const { return hash_ != nullptr; }
  [[nodiscard]] bool Add(std::span<const std::uint8_t> data);
  // The digest in lower-case hex, as sha256sum writes it; once, at the end.
  [[nodiscard]] bool Hex(std::string& hex);

 private:
  CryptoProvider& provider_;
  ProviderHandle handle_ = 0;
  std::unique_ptr<HashObject> hash_;
};

// Creates the target, or cuts an existing one to 0 bytes, with the checks of
// CheckedTarget. On failure the run fails with the reason.
[[nodiscard]] bool EmptyTarget(const std::string& path);

// Records gathered into writes of at most kMaxGathered bytes for a writer
// that gathers; handed on at once for one that does not. `send` writes.
class Gathering {
 public:
  static constexpr std::size_t kMaxGathered = kChunkSizes[0];
  explicit Gathering(bool on) : on_(on) {
    if (on_) bytes_.reserve(kMaxGathered);
  }
  template <class Send>
  [[nodiscard]] bool Write(std::span<const std::uint8_t> data, Send&& send) {
    if (!on_) return send(data);
    if (bytes_.size() + data.size() > kMaxGathered && !Flush(send)) return false;
    bytes_.insert(bytes_.end(), data.begin(), data.end());
    return true;
  }
  // Sends what was gathered; a failed send drops it.
  template <class Send>
  [[nodiscard]] bool Flush(Send&& send) {
    if (bytes_.empty()) return true;
    const bool sent = send(std::span<const std::uint8_t>(bytes_));
    bytes_.clear();
    return sent;
  }
  ByteCount size() const { return static_cast<ByteCount>(bytes_.size()); }

 private:
  bool on_;
  std::vector<std::uint8_t> bytes_;
};

// Empties the target and opens it; writes whole records or chunks one after
// the other; closes it when it goes out of scope. Emptying first makes a
// completed run leave exactly TotalBytes, whatever was there before.
class TargetWriter {
 public:
  // With `gather` (and a sync mode other than Record) the records handed to
  // Write() are gathered into writes of at most kMaxGathered bytes. With
  // options.checksum a stale "<file>.sha256" is removed now, and the bytes
  // written are hashed as they go.
  TargetWriter(std::string path, const RunOptions& options, bool gather);
  static constexpr std::size_t kMaxGathered = Gathering::kMaxGathered;
  ~TargetWriter();
  TargetWriter(const TargetWriter&) = delete;
  TargetWriter& operator=(const TargetWriter&) = delete;

  // False when the target could not be emptied: the run has failed and
  // nothing else is to be done with the file.
  [[nodiscard]] bool emptied() const { return target_.ok(); }
  // False when it could not be opened (StopFlag is then set).
  [[nodiscard]] bool opened() const { return opened_; }
  // Bytes that writes reporting success have put at the start of the file.
  ByteCount written() const { return written_; }
  // Bytes handed to Write(): written, or gathered for a later write.
  ByteCount handed() const { return written_ + gathered_.size(); }
  // The bytes the file holds now, or -1 when it was never emptied.
  [[nodiscard]] ByteCount held() const;

  // Writes `data` at written(), or gathers it for a later write. A write
  // that reports false (a failure, or a Stop during the write's own yields,
  // which can come after the bytes are on the disk) sets StopFlag, and the
  // file is cut back to written(): it then holds exactly the writes the run
  // counted, each whole, even when the failed write left part of itself
  // behind. Gathered records that were never written are dropped.
  [[nodiscard]] bool Write(std::span<const std::uint8_t> data);
  // Writes what has been gathered (nothing to do without gathering).
  [[nodiscard]] bool Flush();
  // Gives the empty file its size without writing data: the file system
  // fills it with zeros, storing none where it can. With a checksum the zeros
  // are hashed too; a Stop then cuts the file back to the zeros hashed.
  [[nodiscard]] bool Extend(ByteCount size);
  // With options.checksum, for a finished file: writes "<file>.sha256" (the
  // SHA-256 of its bytes, two blanks, the file name) under a temporary name,
  // synced, then renamed into place. False when that failed: the run has
  // failed with the reason and no sidecar is left.
  [[nodiscard]] bool WriteChecksum();

  // Before a run may say it is done: what was gathered is written, every
  // byte is on stable storage, the path still names the file that was
  // written, and it holds exactly written() bytes. Otherwise the run fails
  // with the reason.
  [[nodiscard]] bool Finish();

 private:
  bool WriteNow(std::span<const std::uint8_t> data);
  void KeepConfirmedWrites();

  std::string path_;
  SyncMode sync_;
  Gathering gathered_;
  std::optional<RunningChecksum> checksum_;  // only with options.checksum
  CheckedTarget target_;
  cBigFiles files_;
  FileHandle handle_ = 0;
  bool opened_ = false;
  ByteCount written_ = 0;
};

// The bytes of a streaming run, handed to the front end's sink as they come
// or, with `gather`, records gathered into writes of at most kMaxGathered
// bytes; never synced: a stream has no file to check, size or sum. Offers
// the builders what a TargetWriter does.
class StreamWriter {
 public:
  StreamWriter(ByteSink& sink, bool gather) : sink_(sink), gathered_(gather) {}
  [[nodiscard]] bool emptied() const { return true; }
  [[nodiscard]] bool opened() const { return true; }
  ByteCount written() const { return written_; }
  ByteCount handed() const { return written_ + gathered_.size(); }
  [[nodiscard]] ByteCount held() const { return written_; }
  // Gathers `data`, sending full writes on. A sink that fails fails the run
  // with the reason; a reader that went away ends it as a Stop does, quietly.
  [[nodiscard]] bool Write(std::span<const std::uint8_t> data);
  [[nodiscard]] bool Flush();
  [[nodiscard]] bool Finish() { return Flush(); }

 private:
  bool Send(std::span<const std::uint8_t> data);

  ByteSink& sink_;
  Gathering gathered_;
  ByteCount written_ = 0;
};

}  // namespace torvane::FileCreator::detail
