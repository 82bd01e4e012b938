// cPrng: shuffling, sorting and de-duplication of value arrays, and the
// small array helpers.

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <unordered_set>

#include "common/case_mapping.h"
#include "common/pseudo_random.h"
#include "common/stop_flag.h"
#include "common/text.h"
#include "common/yield.h"
#include "random/prng.h"
#include "random/prng_internal.h"

namespace torvane {

using namespace prng_detail;

namespace {

// Numbers before texts; numbers numerically, texts by byte values.
bool Less(const Value& a, const Value& b) {
  if (a.index() != b.index()) return std::holds_alternative<double>(a);
  if (const double* x = std::get_if<double>(&a)) return *x < std::get<double>(b);
  return std::get<std::string>(a) < std::get<std::string>(b);
}

std::string TextOf(const Value& value) {
  if (const std::string* text = std::get_if<std::string>(&value)) return *text;
  double number = std::get<double>(value);
  if (number == 0) number = 0;  // -0 reads as 0
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.15g", number);
  return buffer;
}

std::int32_t StorageIdentity(const void* storage) {
  const auto address = reinterpret_cast<std::uintptr_t>(storage);
  const auto folded = static_cast<std::uint32_t>(address ^ (std::uint64_t{address} >> 32));
  return folded != 0 ? static_cast<std::int32_t>(folded) : 1;
}

}  // namespace

void cPrng::ReshuffleData(Values& avntData, std::int32_t lngMixCount) noexcept {
  if (StopFlag) return;
  try {
    if (lngMixCount < 1) lngMixCount = 15;
    if (lngMixCount > 99) lngMixCount = 99;
    if (avntData.empty()) {
      ShowLocated(kShuffleNotPrepared, "ReshuffleData");
      return;
    }
    const std::int64_t first = 0;
    const std::int64_t last = static_cast<std::int64_t>(avntData.size()) - 2;  // the spare stays
    if (last < 2) {
      ShowLocated(std::string(kShuffleTooFew) + std::to_string(last), "ReshuffleData");
      return;
    }
    RndSeed();
    Yield();
    if (StopFlag) return;

    // Long shuffles re-seed every k passes, once k passes have made 65536 draws.
    std::int64_t reseed_every = 0;
    if ((lngMixCount - 1) * last >= 65536) {
      for (std::int64_t k = 1; k < lngMixCount && reseed_every == 0; ++k)
        if (last * k >= 65536) reseed_every = k;
    }
    for (std::int32_t pass = 1; pass <= lngMixCount; ++pass) {
      for (std::int64_t i = last; i >= first; --i) {
        auto j = static_cast<std::int64_t>(std::floor(Rnd() * static_cast<double>(i - first + 1)));
        j = std::min(j + first, i);
        if (j != i) SwapData(avntData[i], avntData[j]);
      }
      Yield();
      if (StopFlag) return;
      if (reseed_every != 0 && pass % reseed_every == 0) RndSeed();
    }
  } catch (...) {
    ReportFault(std::current_exception());
  }
}

bool cPrng::CombSort(Values& avntData, bool blnAscending) noexcept {
  return SortValues(avntData, blnAscending) == SortOutcome::Sorted;
}

cPrng::SortOutcome cPrng::SortValues(Values& avntData, bool blnAscending) noexcept {
  if (StopFlag) return SortOutcome::Stopped;
  try {
    if (avntData.empty()) return SortOutcome::Sorted;
    const std::int64_t first = 0;
    const std::int64_t last = static_cast<std::int64_t>(avntData.size()) - 2;
    if (last == 1) {
      const bool swap =
          blnAscending ? Less(avntData[1], avntData[0]) : Less(avntData[0], avntData[1]);
      if (swap) SwapData(avntData[0], avntData[1]);
    } else {
      std::int64_t gap = last - first + 1;
      bool swapped = false;
      while ((gap > 1 || swapped) && !StopFlag) {
        gap = gap * 10 / 13;
        if (gap == 9 || gap == 10) gap = 11;
        if (gap < 1) gap = 1;
        swapped = false;
        for (std::int64_t i = first; i <= last - gap; ++i) {
          if (Less(avntData[i + gap], avntData[i])) {
            SwapData(avntData[i], avntData[i + gap]);
            swapped = true;
          }
          Yield();
          if (StopFlag) break;
        }
      }
      Yield();
      if (StopFlag) return SortOutcome::Stopped;
      if (!blnAscending) {
        for (std::int64_t lo = first, hi = last; lo < hi; ++lo, --hi) {
          SwapData(avntData[lo], avntData[hi]);
          Yield();
          if (StopFlag) return SortOutcome::Stopped;
        }
      }
    }
    Yield();
    return StopFlag ? SortOutcome::Stopped : SortOutcome::Sorted;
  } catch (...) {
    ReportFault(std::current_exception());
    return SortOutcome::Faulted;
  }
}

bool cPrng::RemoveDupes(Values& avntData, bool blnCaseSenitive) noexcept {
  std::int32_t ignored = 0;
  return RemoveDupes(avntData, blnCaseSenitive, ignored);
}

bool cPrng::RemoveDupes(Values& avntData, bool blnCaseSenitive, std::int32_t& lngDupeCnt) noexcept {
  if (StopFlag) return false;
  try {
    if (avntData.empty()) {
      ShowLocated(kDupesNotInitialized, "RemoveDupes");
      return false;
    }
    lngDupeCnt = 0;
    Yield();
    if (StopFlag) return false;
    // A stop while sorting is the user's: only a fault earns the box.
    if (SortValues(avntData, true) == SortOutcome::Faulted) {
      ShowLocated(kDupesNotSorted, "RemoveDupes");
      StopFlag = true;
    }
    Yield();
    if (StopFlag) return false;

    // Built apart, so that a stop leaves the caller's array whole. Equal
    // items need not sit side by side (case folding and trimming do not
    // follow the sort order), so every key seen so far is remembered.
    Values kept;
    kept.reserve(avntData.size());
    std::unordered_set<std::string> seen;
    std::int32_t dupes = 0;
    for (std::size_t i = 0; i + 1 < avntData.size(); ++i) {
      // Only spaces are trimmed here: "a" and "a\t" stay two items.
      std::string key(TrimBlanks(TextOf(avntData[i]), " "));
      if (!key.empty()) {  // blank items are dropped, not counted
        if (!blnCaseSenitive) key = LowerCase(key);
        if (seen.insert(std::move(key)).second)
          kept.push_back(avntData[i]);
        else
          ++dupes;
      }
      Yield();
      if (StopFlag) return false;
    }
    kept.emplace_back();  // the spare
    avntData = std::move(kept);
    lngDupeCnt = dupes;
    return true;
  } catch (...) {
    ReportFault(std::current_exception());
    return false;
  }
}

std::int32_t cPrng::IsArrayInitialized(const RndResult& avntData) const noexcept {
  return std::visit(
      [](const auto& held) -> std::int32_t {
        using Held = std::decay_t<decltype(held)>;
        if constexpr (std::is_same_v<Held, std::monostate> || std::is_same_v<Held, std::string>) {
          return 0;
        } else {
          return held.empty() ? 0 : StorageIdentity(held.data());
        }
      },
      avntData);
}

std::int32_t cPrng::IsArrayInitialized(const Values& avntData) const noexcept {
  return avntData.empty() ? 0 : StorageIdentity(avntData.data());
}

void cPrng::EmptyCollection(std::unique_ptr<Collection>& colData) const noexcept {
  if (!colData) return;
  try {
    for (std::int32_t i = colData->Count(); i >= 1; --i) colData->Remove(i);
  } catch (...) {
    // Emptying is best effort; the reference is dropped all the same.
  }
  colData.reset();
}

void cPrng::SwapData(Value& vntData1, Value& vntData2) const noexcept { vntData1.swap(vntData2); }

void cPrng::SwapLong(std::int32_t& AA, std::int32_t& BB) const noexcept {
  if (&AA == &BB) return;  // the exclusive-or exchange would zero a value swapped with itself
  AA ^= BB;
  BB ^= AA;
  AA ^= BB;
}

}  // namespace torvane
