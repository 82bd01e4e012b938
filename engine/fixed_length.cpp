// The fixed-length builder: 80-byte text records, the last one shorter.

#include <algorithm>
#include <span>

#include "common/case_mapping.h"
#include "common/error_box.h"
#include "common/message_box.h"
#include "common/services.h"
#include "common/stop_flag.h"
#include "common/text.h"
#include "common/yield.h"
#include "engine/builder_run.h"
#include "engine/file_creator.h"
#include "engine/messages.h"
#include "engine/overlap.h"
#include "engine/run_state.h"
#include "random/prng.h"

namespace torvane::FileCreator {

using detail::g_run;

namespace {

constexpr std::int32_t kRecordLength = 80;
constexpr std::uint32_t kProgressIntervalMs = 250;

// The most byte yields taken at once (TakeYieldBudget).
constexpr std::size_t kYieldBlock = 512;

// Appends the bytes of `drawn` that lie in low..high until `pool` holds
// `wanted`; returns how many it looked at.
std::size_t Accept(std::span<const std::uint8_t> drawn, std::int16_t low, std::int16_t high,
                   std::size_t wanted, std::vector<std::uint8_t>& pool) {
  if (low <= 0 && high >= 255) {
    const std::size_t take = std::min(drawn.size(), wanted - pool.size());
    pool.insert(pool.end(), drawn.begin(), drawn.begin() + static_cast<std::ptrdiff_t>(take));
    return take;
  }
  std::size_t looked = 0;
  while (looked < drawn.size() && pool.size() < wanted) {
    const std::uint8_t b = drawn[looked++];
    if (b >= low && b <= high) pool.push_back(b);
  }
  return looked;
}

// Draws batches until `pool` holds `chunk` bytes within low..high (a range
// with no byte value in it never fills, so the run goes on until Stop).
// Every byte looked at is a yield, except the one that fills the pool; where
// no pump can fall inside a block of them, the block is taken at once.
// Returns false when the run is to end.
bool FillPool(cPrng& prng, std::int32_t chunk, std::int16_t low, std::int16_t high,
              std::vector<std::uint8_t>& pool) {
  pool.clear();
  const auto wanted = static_cast<std::size_t>(chunk);
  // One byte value (the command line's --low N --high N) is what the draws
  // would leave after filtering, 256 draws a pool later.
  if (low == high && low >= 0 && low <= 255) {
    pool.assign(wanted, static_cast<std::uint8_t>(low));
    return true;
  }
  while (pool.size() < wanted) {
    const RndResult drawn = prng.BuildRndData(chunk, 3);
    Yield();
    if (StopFlag) return false;
    const Bytes* bytes = std::get_if<Bytes>(&drawn);
    if (prng.IsArrayInitialized(drawn) == 0 || bytes == nullptr || bytes->size() < wanted) {
      detail::FailRun(kNoRandomDataMessage);
      return false;
    }
    const std::span<const std::uint8_t> batch(bytes->data(), wanted);
    for (std::size_t at = 0; at < wanted && pool.size() < wanted;) {
      const std::size_t block =
          TakeYieldBudget(static_cast<std::uint32_t>(std::min(kYieldBlock, wanted - at)));
      if (block > 0) {
        at += Accept(batch.subspan(at, block), low, high, wanted, pool);
        continue;
      }
      at += Accept(batch.subspan(at, 1), low, high, wanted, pool);
      if (pool.size() == wanted) break;
      Yield();
      if (StopFlag) return false;
    }
    Yield();
    if (StopFlag) return false;
  }
  return true;
}

}  // namespace

// One record of recLen bytes from the pool, advancing `position` by recLen.
// With addCrLf the record is recLen - 2 content bytes and CR LF. A record of
// a single byte (the last one of a size whose remainder modulo 80 is 1, which
// only a length typed in bytes gives) holds one content byte and no line
// end: a lone CR or LF would be half a line end, while a content byte keeps
// the rule that records show only hex digits or bytes of the range.
std::vector<std::uint8_t> FmtOutputRecord(std::int32_t recLen, std::vector<std::uint8_t>& pool,
                                          std::int32_t& position, bool addCrLf) {
  try {
    if (pool.empty() || recLen < 1) return {};
    if (position < 0 ||
        pool.size() - static_cast<std::size_t>(position) < static_cast<std::size_t>(recLen)) {
      MsgBox(kPoolTooShortMessage);
      return {};
    }
    JobSource* source = CurrentServices().job;
    // Hex needs two characters per source byte; the text is cut to recLen.
    std::vector<std::uint8_t> text(2 * static_cast<std::size_t>(recLen));
    // Where no pump can fall inside the record's yields, they are taken at once.
    if (TryYieldBlock(static_cast<std::uint32_t>(recLen))) {
      // The choice can change only while events run, which they cannot
      // here: it is read once. Hex text is cut to recLen, so only the first
      // half of the record's source bytes shows; all of them are consumed.
      const std::uint8_t* from = pool.data() + position;
      if (source == nullptr || source->HexPairs()) {
        for (std::int32_t i = 0; 2 * i < recLen; ++i) {
          text[2 * i] = static_cast<std::uint8_t>(kHexDigits[from[i] >> 4]);
          text[2 * i + 1] = static_cast<std::uint8_t>(kHexDigits[from[i] & 15]);
        }
      } else {
        std::copy(from, from + recLen, text.begin());
      }
      position += recLen;
    } else {
      std::size_t at = 0;
      for (std::int32_t i = 0; i < recLen; ++i) {
        const std::uint8_t b = pool[static_cast<std::size_t>(position)];
        if (source == nullptr || source->HexPairs()) {
          text[at] = static_cast<std::uint8_t>(kHexDigits[b >> 4]);
          text[at + 1] = static_cast<std::uint8_t>(kHexDigits[b & 15]);
          at += 2;
        } else {
          text[at++] = b;
        }
        Yield();
        if (StopFlag) break;
        ++position;
      }
    }
    Yield();
    if (StopFlag) return {};

    text.resize(static_cast<std::size_t>(recLen));
    std::size_t content = text.size();
    if (addCrLf && recLen >= 2) {
      content -= 2;
      text[content] = '\r';
      text[content + 1] = '\n';
    }
    ConvertCase(std::span(text.data(), content),
                source != nullptr ? source->CaseConversionNow() : CaseConversion::None);
    return text;
  } catch (...) {
    MsgBox(DescribeException(std::current_exception()));
    return {};
  }
}

bool BuildFixedLength(std::int16_t LowValue, std::int16_t HighValue) {
  if (const auto done = detail::BuildOverlapped(true, LowValue, HighValue)) return *done;
  const ByteCount total = g_run.total_bytes;
  return detail::RunBuilder(true, [&](cPrng& prng, auto& target) {
    std::vector<std::uint8_t> pool;
    pool.reserve(static_cast<std::size_t>(CalcChunkSize(total)));
    detail::ProgressPacer pacer(kProgressIntervalMs);
    // Records gathered for a later write count as made: written() lags.
    while (target.opened() && target.handed() < total) {
      ByteCount remaining = total - target.handed();
      if (!FillPool(prng, CalcChunkSize(remaining), LowValue, HighValue, pool)) break;
      std::int32_t position = 0;
      Yield();
      if (StopFlag) break;

      for (;;) {
        const auto recLen =
            static_cast<std::int32_t>(remaining >= kRecordLength ? kRecordLength : remaining);
        const std::vector<std::uint8_t> record = FmtOutputRecord(recLen, pool, position, true);
        Yield();
        if (StopFlag) break;
        if (record.size() != static_cast<std::size_t>(recLen)) {
          // FmtOutputRecord has shown why.
          StopFlag = true;
          g_run.failed = true;
          break;
        }
        if (!target.Write(record)) break;
        remaining -= recLen;
        Yield();
        if (StopFlag) break;
        Yield();
        if (remaining < 1 ||
            pool.size() - static_cast<std::size_t>(position) < static_cast<std::size_t>(recLen))
          break;
        Yield();
        pacer.ShowIfDue(target.written());
      }
      Yield();
      if (StopFlag) break;
    }

    // The last gathered records belong to a run that went to its end; after
    // a Stop they are dropped.
    if (!StopFlag) (void)target.Flush();  // a failure has set StopFlag
    // Shown after a Stop too, so that the text names what the file holds.
    Yield();
    ShowProgress(target.written());
    Yield();
    return !StopFlag;
  });
}

}  // namespace torvane::FileCreator
