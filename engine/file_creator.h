#pragma once

// The engine module: one run from the Create click to "Done.".
// CONTRACT for the front ends (window and command line). The engine work may
// add members but keeps these.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/byte_count.h"
#include "common/job.h"
#include "common/result.h"

namespace torvane::FileCreator {

// The front end a run works for is CurrentServices().job and .view
// (common/services.h).

// How a run puts its bytes on the disk. The window always uses Record.
enum class SyncMode {
  Record,  // one write and one sync per record (per chunk in the continuous layout)
  Chunk,   // the records of a pool gathered into synced writes of at most 61,440 bytes
  End,     // unsynced writes of whole records or chunks, one sync before success
};

// What the file holds. Zeros, and one byte value repeated (Constant), go
// through the same chunked writes as random content; a sparse file gets its
// size without any data written.
enum class ContentKind { Random, Zeros, Sparse, Constant };

// Where a streaming run's bytes go instead of a file (a front end's standard
// output): each call takes all of `data`, or says why not.
class ByteSink {
 public:
  enum class Result { Written, Closed, Failed };  // Closed: the reader went away
  virtual ~ByteSink() = default;
  [[nodiscard]] virtual Result Write(std::span<const std::uint8_t> data) = 0;
};

// What a run does with the file: make it, or read an existing one and check
// it against what a run with the same options would have made. Exact
// compares every byte (zeros, sparse, or random content from a seeded
// provider); Rules checks the size and what the layout allows.
enum class VerifyMode { None, Exact, Rules };

// What a front end may ask beyond the window's job. The defaults are the
// window's own behaviour, and the window never changes them.
struct RunOptions {
  SyncMode sync = SyncMode::Record;
  ContentKind content = ContentKind::Random;
  int compressible = 0;   // continuous random content: per cent of each chunk made zero
  bool checksum = false;  // "<file>.sha256" beside the file, of the bytes it holds
  VerifyMode verify = VerifyMode::None;
  int copy = 1;               // the k-th file of one size in a batch: "_k" ends its name from 2 on
  std::uint8_t constant = 0;  // ContentKind::Constant: the byte every position holds
  // The file's whole name in the job's folder, instead of the one made from
  // its size ("" for that one).
  std::string file_name{};
  // Streams the bytes here, gathered into chunks and never synced, instead
  // of writing a file. A reader that goes away ends the run as a Stop does.
  ByteSink* sink = nullptr;
  // Makes the next writes on a second thread while this one writes (the
  // command line's runs): the same bytes and writes, in less time where the
  // CPU, not the disk, decides. Records synced one by one stay on one thread.
  bool overlap = false;
};
// Applies to every run from now on.
void SetRunOptions(const RunOptions& options);

// The Create/Stop button's click. A start runs the whole job (yielding to the
// event loop throughout) and returns after "Done."; a click whose caption is
// "Stop" arrives nested inside a yield and only asks the run to stop. Does
// nothing without a job source and a run view, and takes no start while a
// run winds down. A missing output folder is a box, for a Stop too (which
// then stops nothing); a start so refused counts as failed. A start clears
// StopFlag before the run. Each step is trapped: an error shows the error
// box and the click goes on with the next step.
void PushButton1_Click();

// True while a run (including its winding down) is active: a start is not
// taken then.
[[nodiscard]] bool IsRunning();

enum class RunOutcome { None, Completed, Stopped, Failed };
// How the last run ended: Stopped when a Stop click (or RequestStop) ended it,
// Failed when an error did (a start refused for a missing folder counts as
// failed too), Completed otherwise.
RunOutcome LastOutcome();

// Asks the active run to stop, as the Stop click does (for Ctrl-C): sets
// StopFlag only while a run is active, and never throws.
void RequestStop();

// Name and size of the file a job makes, as BeginProcessing works them out.
// A typed length is read as fixed point with four decimals (the user's
// decimal separator), times the unit (gigabytes in double precision), then
// rounded to the nearest whole byte, a half up. Any size that comes out as 0
// ("0", "", "00", "0.0", a fraction of a byte) is "Empty.dat"; a negative or
// unreadable length, a preset or unit outside its list and a size beyond the
// byte count are refused.
struct JobTarget {
  bool empty_file = false;  // "Empty.dat" of 0 bytes; no builder runs
  std::string name;         // JobFileName: without folder and ".dat"
  ByteCount size = 0;       // TotalBytes
};
// A refusal's message is for the user; no file was touched. Reads no file
// and leaves StopFlag alone.
Result<JobTarget> ResolveTarget(const JobSettings& job);

// LowText or HighText as the builders take it: the trimmed text read as a
// number and made a 16-bit integer, a fraction going to the nearest whole
// number and a half to the even one. No 0..255 bound is applied: the
// builders decide what a value outside it means. `label` names the box in
// the message ("Low" or "High").
Result<std::int16_t> ConvertByteValue(std::string_view label, const std::string& text);

// Folder, then the separator ("/"; "\\" on Windows) unless the folder already
// ends with one, then name and ".dat".
std::string JoinJobPath(const std::string& folder, const std::string& name);
// The same without ".dat": for a name given whole.
std::string JoinPath(const std::string& folder, const std::string& name);

// True when `path` names a folder (through symbolic links), asked through
// the file layer; false for "" and for a name holding a NUL.
[[nodiscard]] bool IsFolder(const std::string& path);
// One job as the click runs it: clears StopFlag and the run state, reads the
// job, works out name and size, and runs the builder the run options pick
// (or makes the empty file). Every failure is reported and sets StopFlag;
// none escapes. Does nothing without a job source and a run view.
void BeginProcessing();

// The engine's state of the current (or last) run, cleared when a job starts.
// The size the job asks for; 0 until it is worked out, and for Empty.dat.
ByteCount TotalBytes();
// The bytes the last run's file held when the run ended (whole records or
// chunks after a Stop or a failure), or -1 when no file was opened.
ByteCount BytesKept();
// After a verifying run that failed: true when the file was read and found
// to differ (a byte, its size or its layout), false when it could not be.
[[nodiscard]] bool LastRunFoundDifference();
// The SHA-256 (lower-case hex) the last run wrote beside its file; "" none.
const std::string& LastChecksum();
// The file's name without folder and ".dat" ("_k" ends a copy's); "" until
// the job's folder and size are accepted.
const std::string& JobFileName();
// The path the run writes or checks; "" until every value of the job is
// accepted. The reference stays valid; its text changes with the next job.
const std::string& JobFilePath();

// The builders make the file of TotalBytes() at JobFilePath(), which
// BeginProcessing sets first, or compare it in a verifying run. True when
// the run went to its end and the file is finished (synced, in place,
// whole); false after a Stop or a failure, which has been reported and has
// set StopFlag, the file then holding the whole records or chunks written.
// The engine ignores the result: the run state says how the run ended.
//
// 80-byte text records (the last one shorter) ending in CR LF, of source
// bytes within LowValue..HighValue shown as hex pairs or raw, as the job
// source says at each byte. A range holding no byte value runs until a Stop.
[[nodiscard]] bool BuildFixedLength(std::int16_t LowValue, std::int16_t HighValue);
// One stream of bytes within LowValue..HighValue in chunks of CalcChunkSize,
// or zeros (ContentKind::Zeros, and a sparse file being verified). A range
// the random-data object refuses fails the run with its box.
[[nodiscard]] bool BuildContinuous(std::int16_t LowValue, std::int16_t HighValue);
// The size without any data written. Not for a verifying run: a sparse file
// is read back through BuildContinuous.
[[nodiscard]] bool BuildSparse();
// In a verifying run without a seed: the file's size and what its layout
// allows (line ends, the hexadecimal alphabet and case, the range); the
// first byte that breaks a rule fails the run. Only for a verifying run:
// elsewhere it empties the target as a making run does and returns false,
// StopFlag untouched.
[[nodiscard]] bool CheckLayout(std::int16_t LowValue, std::int16_t HighValue,
                               const JobSettings& job);
// The batch sizes a run draws and writes, largest first.
inline constexpr std::array<std::int32_t, 6> kChunkSizes = {61440, 49152, 32768, 16384, 8192, 4096};
// The largest batch size not above `remaining`, else `remaining` itself (0
// when nothing is left), so that no batch reaches past the end.
std::int32_t CalcChunkSize(ByteCount remaining);
// One record of recLen bytes from pool[position], advancing `position`: hex
// pairs or raw bytes as the job source says, its case conversion applied,
// the last two bytes CR LF with addCrLf (a 1-byte record holds no line end).
// Empty for an empty pool or recLen < 1, for too few pool bytes (a box), on a
// Stop during its yields, or after an error (a box). Never sets StopFlag.
[[nodiscard]] std::vector<std::uint8_t> FmtOutputRecord(std::int32_t recLen,
                                                        std::vector<std::uint8_t>& pool,
                                                        std::int32_t& position, bool addCrLf);
// Shows "written / total bytes" (grouped) and the percentage (CalcProgress)
// on the run view; nothing without a view. Never yields or looks at StopFlag.
void ShowProgress(ByteCount written);
// Sets the progress bar to the share of TotalBytes() that `current` is, a
// fraction raised to the next whole per cent (100 at most). Returns 1,
// changing nothing, for a current of 0 (or NaN) or a total of 0; otherwise
// 0. A step that fails shows the error box; the others still run.
std::int16_t CalcProgress(double current);

// The shortest length typed in bytes that a front end takes (0 aside, which
// is the empty file); the bytes entry of the unit list names it.
inline constexpr ByteCount kMinimumLength = 6;

// The preset list as the window shows it, and the unit list in the order of
// JobSettings::CustomUnit (bytes first).
struct Preset {
  const char* list_text;
  const char* name;
  ByteCount bytes;
};
// The 24 presets in the window's order: list text, file name (without
// ".dat") and size. Never changes.
const std::vector<Preset>& Presets();
// The window's four unit texts, bytes to gigabytes (terabytes have no entry).
const std::vector<std::string>& UnitListTexts();

}  // namespace torvane::FileCreator
