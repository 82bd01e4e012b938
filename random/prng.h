#pragma once

// cPrng: the program's only source of random content, plus the small array
// tools built on it (ranges, distinct values, shuffling, sorting,
// de-duplication, hashing, byte/text/hex conversions).
//
// Every member reports failure through its result and StopFlag; none lets an
// exception out. A set StopFlag makes each member return at its next check.
// Arrays made for n values hold n + 1 elements: the last one is a spare that
// callers needing exactly n drop, and that the array members leave alone.
// Byte texts hold one char per byte (Windows-1252), so bytes round-trip.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "random/crypto_provider.h"

namespace torvane {

using Bytes = std::vector<std::uint8_t>;

// What BuildRndData, BuildWithinRange and CreateHash return: empty, a byte
// text, an array of texts, a byte array, 32-bit integers or doubles. Array
// results made for n values hold n + 1 elements (the last one a spare).
using RndResult = std::variant<std::monostate, std::string, std::vector<std::string>, Bytes,
                               std::vector<std::int32_t>, std::vector<double>>;

// One element of the arrays that ReshuffleData, CombSort and RemoveDupes
// work on: a text (the empty text by default) or a number. Numbers order
// numerically and before every text; texts order by their byte values.
using Value = std::variant<std::string, double>;
// An empty vector is an array that was never sized.
using Values = std::vector<Value>;

// Items at 1-based positions, as EmptyCollection empties them.
class Collection {
 public:
  virtual ~Collection() = default;
  // Puts the item at position Count() + 1.
  void Add(Value item) { items_.push_back(std::move(item)); }
  std::int32_t Count() const { return static_cast<std::int32_t>(items_.size()); }
  // An index outside 1..Count() removes nothing.
  virtual void Remove(std::int32_t index) {
    if (index >= 1 && index <= Count()) items_.erase(items_.begin() + (index - 1));
  }

 private:
  std::vector<Value> items_;
};

class cPrng {
 public:
  // Clears StopFlag and re-seeds the process-wide pseudo-random generator
  // from the tick counter. No provider is acquired until a member needs one.
  cPrng();
  // Releases the provider this object acquired.
  ~cPrng();
  cPrng(const cPrng&) = delete;
  cPrng& operator=(const cPrng&) = delete;

  // True when the held provider offers SHA-256/384/512; acquires one first if
  // needed. False too when none can be acquired: a box says so and StopFlag is set.
  [[nodiscard]] bool AES_Ready() noexcept;
  // Sets StopFlag to `blnData`, for every member of every cPrng.
  void StopProcessing(bool blnData) noexcept;
  // StopFlag as it is now.
  [[nodiscard]] bool StopProcessing() const noexcept;

  // Formats: 0 byte text of n chars, 1 text of 2n hex digits, 2 n two-digit
  // texts + spare, 3 n random bytes + spare 0, 4 n int32 + spare 0, 5 n
  // doubles in [-1, 1) + spare 0; any other code as 0. Empty on failure or
  // stop: a length below 1 shows a box, a failing generator sets StopFlag
  // without one. Takes from the provider exactly the bytes it hands out (4n
  // for formats 4 and 5), so a seeded provider's stream has no gaps.
  [[nodiscard]] RndResult BuildRndData(std::int32_t lngDataLength,
                                       std::int32_t lngReturnFormat = 0) noexcept;
  // Bytes b with lngLow <= b <= lngHigh (formats 0 to 3; 1 gives lngDataLength
  // digits). 0..255 is BuildRndData itself. A rejected argument shows a box
  // and returns empty with StopFlag left alone: the caller decides to stop.
  [[nodiscard]] RndResult BuildWithinRange(std::int32_t lngDataLength, std::int32_t lngLow = 0,
                                           std::int32_t lngHigh = 0,
                                           std::int32_t lngReturnFormat = 0) noexcept;
  // Sorts ascending, then keeps the first of every group of items whose
  // trimmed texts are equal; blank items go too. The array ends with one
  // empty spare. False (array complete, maybe sorted) on a stop or failure.
  [[nodiscard]] bool RemoveDupes(Values& avntData, bool blnCaseSenitive = false) noexcept;
  // As above; on success `lngDupeCnt` is the number of items dropped as
  // duplicates (blank items are not counted).
  [[nodiscard]] bool RemoveDupes(Values& avntData, bool blnCaseSenitive,
                                 std::int32_t& lngDupeCnt) noexcept;
  // lngMixCount passes (below 1: 15, at most 99) over all but the spare,
  // re-seeding the pseudo-random generator first. An array of fewer than
  // three values is refused with a box; the array stays as it was.
  void ReshuffleData(Values& avntData, std::int32_t lngMixCount = 0) noexcept;
  // lngReturnQty distinct values of lngMinValue, +lngStep, ... <= lngMaxValue
  // in random order (or sorted), plus a spare 0. Empty after a rejected
  // argument; {0, 0} after a stop.
  [[nodiscard]] std::vector<std::int32_t> NonRepeatingNbrs(std::int32_t lngReturnQty,
                                                           std::int32_t lngMinValue,
                                                           std::int32_t lngMaxValue,
                                                           std::int32_t lngStep = 0,
                                                           bool blnSortData = false) noexcept;
  // Sorts all but the spare. False on a stop, and after a fault (its box
  // shown, StopFlag set); the array may then be partly sorted.
  [[nodiscard]] bool CombSort(Values& avntData, bool blnAscending = true) noexcept;
  // Selection 0 MD2, 1 MD4, 2 MD5, 3 SHA-1, 4 SHA-256, 5 SHA-384, 6 SHA-512
  // (4 to 6 fall back to SHA-1 without SHA-2). Hex text or two-digit texts + spare.
  // Empty on a stop, or when the digest cannot be made (a box, StopFlag set).
  [[nodiscard]] RndResult CreateHash(std::string_view strInput, std::int32_t lngHashSelection = 0,
                                     bool blnReturnHexString = false) noexcept;
  // A uniform whole number in [trunc(dblLow), trunc(dblHigh)]; dblLow when it
  // is not below dblHigh; 0 after the message when either is not a 32-bit value.
  std::int32_t GetRndValue(double dblLow, double dblHigh) noexcept;
  // Maps the 32 bits, read unsigned, onto [-1, 1), rounded to 14 decimals.
  double LongToDouble(std::int32_t lngValue) const noexcept;
  // Nonzero when the value is an array that holds storage.
  [[nodiscard]] std::int32_t IsArrayInitialized(const RndResult& avntData) const noexcept;
  [[nodiscard]] std::int32_t IsArrayInitialized(const Values& avntData) const noexcept;
  // Removes the items last first, then drops the collection.
  void EmptyCollection(std::unique_ptr<Collection>& colData) const noexcept;
  // Exchange the two values; a value swapped with itself keeps its value.
  void SwapData(Value& vntData1, Value& vntData2) const noexcept;
  void SwapLong(std::int32_t& AA, std::int32_t& BB) const noexcept;
  // The text up to its first NUL. This and the two conversions below (one
  // char per byte each way) return empty and set StopFlag should the copy
  // not fit in memory; they look at no StopFlag before.
  [[nodiscard]] std::string RemoveTrailingNulls(std::string_view strData) const noexcept;
  [[nodiscard]] std::string ByteArrayToString(const Bytes& abytData) const noexcept;
  [[nodiscard]] Bytes StringToByteArray(std::string_view strData) const noexcept;
  // Moves the seed pair and re-seeds the process-wide pseudo-random generator.
  void RndSeed() noexcept;

 private:
  friend struct PrngTestAccess;
  enum class SortOutcome { Sorted, Stopped, Faulted };

  std::string BuildSeedString(std::int32_t lngLength) noexcept;
  RndResult ConvertDataToHex(std::int32_t lngLength, std::string_view strData,
                             bool blnAsText) noexcept;
  void GetHashAlgorithm(std::int32_t lngSelection, std::uint32_t& lngAlgorithm,
                        std::int32_t& lngDigestLength);
  void GetProviderHandle() noexcept;
  void ReleaseProvider() noexcept;

  RndResult CollectWithinRange(std::int32_t lngDataLength, std::uint8_t low, std::uint8_t high,
                               std::int32_t lngReturnFormat);
  SortOutcome SortValues(Values& avntData, bool blnAscending) noexcept;

  ProviderHandle m_hProv = 0;
  bool m_blnAESReady = false;
  std::int32_t m_alngSeed[2] = {0, 0};
  CryptoProvider* m_provider = nullptr;  // the one m_hProv came from
};

}  // namespace torvane
