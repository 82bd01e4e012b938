#pragma once

// Shared by the cPrng sources only: the user-visible texts, kept in one
// place byte-for-byte, and the fault plumbing.

#include <cstdint>
#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>

namespace torvane::prng_detail {

inline constexpr std::string_view kSource = "clsRandom";

inline constexpr std::string_view kNoProvider =
    "An unknown error occurred while retrieving\r\nCryptoAPI provider handle.";
inline constexpr std::string_view kHashCreateFailed = "Failed to create hash object key.";
inline constexpr std::string_view kHashDataFailed = "Failed to hash data.";
inline constexpr std::string_view kHashValueFailed = "Failed to retrieve hashed data.";
inline constexpr std::string_view kLengthNotPositive =
    "Return data length must be greater than zero.";

inline constexpr std::string_view kRangeFormat =
    "Long Integer and Double precision arrays \r\nare not valid return formats.";
inline constexpr std::string_view kRangeLength =
    "The length of the return data must be\r\ngreater than zero.\r\n\r\nReturn length - ";
inline constexpr std::string_view kRangeMin =
    "The minimum range value must be a positive\r\nvalue of 0-254.\r\n\r\nCurrent Min - ";
inline constexpr std::string_view kRangeMax =
    "The maximum range value must be a positive\r\nvalue of 1-255.\r\n\r\nCurrent Max - ";
inline constexpr std::string_view kRangeOrder =
    "The minimum range value must be less than\r\nthe maximum range value.\r\n\r\nCurrent Min - ";
inline constexpr std::string_view kCurrentMax = "Current Max - ";

inline constexpr std::string_view kNotLongRange =
    "Incoming data must fall within the range of a long integer.";

inline constexpr std::string_view kQtyTooSmall =
    "Need to request at least one value to be returned.";
inline constexpr std::string_view kMinNotBelowMax =
    "Minimum value cannot exceed or equal maximum value.";
inline constexpr std::string_view kQtyTooLarge =
    "Return quantity exceeds number of items produced.";

inline constexpr std::string_view kShuffleNotPrepared =
    "Incoming array has not been properly prepared.";
inline constexpr std::string_view kShuffleTooFew =
    "Invalid amount of data in array.\r\nElement count:  ";

inline constexpr std::string_view kDupesNotInitialized =
    "Incoming array has not been properly initialized.";
inline constexpr std::string_view kDupesNotSorted = "Data array could not be sorted.";

// The faults a member may meet, described as the user sees them.
inline constexpr const char* kOverflow = "Overflow";
inline constexpr const char* kSubscript = "Subscript out of range";

[[noreturn]] inline void RaiseOverflow() { throw std::overflow_error(kOverflow); }
[[noreturn]] inline void RaiseSubscript() { throw std::out_of_range(kSubscript); }

// a + b, or an overflow fault when it leaves 32 bits.
inline std::int32_t CheckedAdd(std::int64_t a, std::int64_t b) {
  const std::int64_t sum = a + b;
  if (sum > INT32_MAX || sum < INT32_MIN) RaiseOverflow();
  return static_cast<std::int32_t>(sum);
}

// "clsRandom" located message, no icon; rejected arguments and failed calls.
void ShowLocated(std::string_view description, std::string_view member) noexcept;

// An unexpected fault: its description with the exclamation icon, and StopFlag set.
void ReportFault(std::exception_ptr fault) noexcept;

// `text` right-aligned in `width` characters (never cut short).
std::string AlignRight(std::string_view text, std::size_t width);
// `text` padded with spaces on the right to `width` characters.
std::string PadRight(std::string_view text, std::size_t width);

}  // namespace torvane::prng_detail
