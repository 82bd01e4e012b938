// cPrng: bytes within a range, random whole numbers and distinct values.

#include <cmath>
#include <span>
#include <string>

#include "common/message_box.h"
#include "common/number_locale.h"
#include "common/stop_flag.h"
#include "common/yield.h"
#include "random/prng.h"
#include "random/prng_internal.h"
#include "random/range_scan.h"

namespace torvane {

using namespace prng_detail;

namespace {

// Yields per examined byte: before the (possible) draw, before and after the byte.
constexpr std::uint32_t kYieldsPerByte = 3;

std::string Decimal(std::int64_t value) { return std::to_string(value); }

}  // namespace

RndResult cPrng::BuildWithinRange(std::int32_t lngDataLength, std::int32_t lngLow,
                                  std::int32_t lngHigh, std::int32_t lngReturnFormat) noexcept {
  static constexpr std::string_view kMember = "BuildWithinRange";
  if (StopFlag) return {};
  try {
    if (lngReturnFormat == 4 || lngReturnFormat == 5) {
      ShowLocated(kRangeFormat, kMember);
      return {};
    }
    if (lngLow == 0 && lngHigh == 255) return BuildRndData(lngDataLength, lngReturnFormat);
    if (lngDataLength < 1) {
      ShowLocated(std::string(kRangeLength) + Decimal(lngDataLength), kMember);
      return {};
    }
    if (lngLow < 0 || lngLow > 254) {
      ShowLocated(std::string(kRangeMin) + Decimal(lngLow), kMember);
      return {};
    }
    if (lngHigh < 1 || lngHigh > 255) {
      ShowLocated(std::string(kRangeMax) + Decimal(lngHigh), kMember);
      return {};
    }
    if (lngLow >= lngHigh) {
      ShowLocated(std::string(kRangeOrder) + Decimal(lngLow) + "\r\n" + std::string(kCurrentMax) +
                      Decimal(lngHigh),
                  kMember);
      return {};
    }
    return CollectWithinRange(lngDataLength, static_cast<std::uint8_t>(lngLow),
                              static_cast<std::uint8_t>(lngHigh), lngReturnFormat);
  } catch (...) {
    ReportFault(std::current_exception());
    return {};
  }
}

// What a call takes from the provider, which a seeded file depends on: whole
// blocks of kRangeBlock bytes, the first one drawn fresh by each call. In
// each block bytes 0 to kRangeExamined - 1 are looked at in order and the
// last byte never; the in-range ones are kept until n + 5 are held, and the
// result is the first n of them (an array's spare the next one). The rest,
// the block's unexamined tail and its last byte are spent: the call consumes
// kRangeBlock * k bytes, k being the blocks it took to find n + 5 in range.
RndResult cPrng::CollectWithinRange(std::int32_t lngDataLength, std::uint8_t low, std::uint8_t high,
                                    std::int32_t lngReturnFormat) {
  // Five bytes beyond the request, as the array shape has always had them.
  const auto wanted = static_cast<std::size_t>(CheckedAdd(lngDataLength, 5));
  Bytes out(wanted);
  std::size_t stored = 0;
  Bytes block;
  std::size_t position = kRangeBlock;  // forces a draw first
  const std::uint8_t span = high - low;

  // Takes the bytes whose 3 yields each fit before the next clock read at
  // once (StopFlag cannot change among them); under the tests' every-yield
  // policy none are taken.
  auto scan_block = [&]() {
    const std::size_t m = TakeYieldBudget(
        static_cast<std::uint32_t>(std::min<std::size_t>(256, kRangeExamined - position)),
        kYieldsPerByte);
    if (m == 0) return false;
    stored += KeepInRange({block.data() + position, m}, low, span,
                          {out.data() + stored, wanted - stored});
    position += m;
    return true;
  };

  while (stored < wanted) {
    if (position < kRangeExamined && scan_block()) continue;
    Yield();
    if (position >= kRangeExamined) {
      position = 0;
      RndResult drawn = BuildRndData(static_cast<std::int32_t>(kRangeBlock), 3);
      Bytes* drawn_bytes = std::get_if<Bytes>(&drawn);
      block = drawn_bytes != nullptr ? std::move(*drawn_bytes) : Bytes();
    }
    Yield();
    if (StopFlag) break;
    if (block.size() < kRangeExamined) RaiseSubscript();
    const std::uint8_t byte = block[position];
    if (byte >= low && byte <= high) {
      out[stored++] = byte;
      if (stored == wanted) break;
    }
    ++position;
    Yield();
    if (StopFlag) break;
  }

  Yield();
  if (StopFlag) return {};
  const auto length = static_cast<std::size_t>(lngDataLength);
  const std::string_view text(reinterpret_cast<const char*>(out.data()), length);
  switch (lngReturnFormat) {
    case 0:
      return std::string(text);
    case 1: {
      // As many digits as bytes were asked for: the hex of the first half.
      RndResult hex = ConvertDataToHex(lngDataLength, text, true);
      if (auto* digits = std::get_if<std::string>(&hex)) digits->resize(length);
      return hex;
    }
    case 2:
      return ConvertDataToHex(lngDataLength, text, false);
    default:
      out.resize(length + 1);
      return out;
  }
}

std::int32_t cPrng::GetRndValue(double dblLow, double dblHigh) noexcept {
  try {
    dblLow = std::trunc(dblLow);
    dblHigh = std::trunc(dblHigh);
    auto fits = [](double v) { return v >= -2147483648.0 && v <= 2147483647.0; };  // NaN fails
    if (!fits(dblLow) || !fits(dblHigh)) {
      const std::string margin(8, ' ');
      ShowLocated(std::string(kNotLongRange) + "\r\n" + margin + "Min" +
                      AlignRight(FormatThousands(INT32_MIN), 18) + "\r\n" + margin + "Max" +
                      AlignRight(FormatThousands(INT32_MAX), 18),
                  "GetRndValue");
      return 0;
    }
    const auto low = static_cast<std::int64_t>(dblLow);
    const auto high = static_cast<std::int64_t>(dblHigh);
    if (low >= high) return static_cast<std::int32_t>(low);

    // Uniform over every value of the range, ends included: random 32-bit
    // words, dropping the few at the top that would favour the low values.
    const std::uint64_t span = static_cast<std::uint64_t>(high - low) + 1;
    constexpr std::uint64_t kWords = std::uint64_t{1} << 32;
    const std::uint64_t accepted_below = kWords - kWords % span;
    while (!StopFlag) {
      const RndResult drawn = BuildRndData(10, 4);
      const auto* words = std::get_if<std::vector<std::int32_t>>(&drawn);
      if (words == nullptr || StopFlag) break;
      for (std::size_t k = 0; k + 1 < words->size(); ++k) {
        const std::uint64_t word = static_cast<std::uint32_t>((*words)[k]);
        if (word < accepted_below) return static_cast<std::int32_t>(low + word % span);
      }
    }
    return static_cast<std::int32_t>(low);
  } catch (...) {
    ReportFault(std::current_exception());
    return 0;
  }
}

std::vector<std::int32_t> cPrng::NonRepeatingNbrs(std::int32_t lngReturnQty,
                                                  std::int32_t lngMinValue,
                                                  std::int32_t lngMaxValue, std::int32_t lngStep,
                                                  bool blnSortData) noexcept {
  static constexpr std::string_view kMember = "NonRepeatingNbrs";
  if (StopFlag) return {};
  std::vector<std::int32_t> result;
  try {
    std::int64_t step = std::llabs(lngStep);
    if (step > std::int64_t{lngMaxValue} - 1 || step < 1) step = 1;
    const std::string header =
        PadRight("Items to be returned:" + AlignRight(Decimal(lngReturnQty), 6), 60) + "\r\n" +
        PadRight("Minimum value:" + AlignRight(Decimal(lngMinValue), 16), 60) + "\r\n" +
        PadRight("Maximum value:" + AlignRight(Decimal(lngMaxValue), 16), 60);

    if (lngReturnQty < 1) {
      ShowLocated(kQtyTooSmall, kMember);
      return {};
    }
    if (lngMinValue >= lngMaxValue) {
      ShowLocated(std::string(kMinNotBelowMax) + "\r\n\r\n" + header, kMember);
      return {};
    }
    const std::int64_t produced = (std::int64_t{lngMaxValue} - lngMinValue) / step + 1;
    if (lngReturnQty > produced) {
      ShowLocated(std::string(kQtyTooLarge) + "\r\n\r\n" + header + "\r\n" +
                      PadRight("Items produced:" + AlignRight(Decimal(produced), 16), 60),
                  kMember);
      return {};
    }

    const std::int32_t last = CheckedAdd(produced, 0);  // the spare's index must fit too
    Values work(static_cast<std::size_t>(last) + 1, Value(0.0));
    for (std::int32_t i = 0; i < last; ++i) {
      work[i] = static_cast<double>(lngMinValue + i * step);
      Yield();
      if (StopFlag) break;
    }
    ReshuffleData(work, 25);

    Values picked(static_cast<std::size_t>(lngReturnQty) + 1, Value(0.0));
    std::int32_t copied = 0;
    for (std::size_t i = 0; copied < lngReturnQty && i < work.size() && !StopFlag; ++i) {
      const double value = std::get<double>(work[i]);
      if (value >= lngMinValue && value <= lngMaxValue) picked[copied++] = value;
      Yield();
    }
    // A sort that fails has set StopFlag, and the stop's result follows below.
    if (lngReturnQty >= 2 && blnSortData) (void)CombSort(picked, true);
    for (const Value& value : picked)
      result.push_back(static_cast<std::int32_t>(std::get<double>(value)));
  } catch (...) {
    ReportFault(std::current_exception());
  }
  if (StopFlag) return {0, 0};
  return result;
}

}  // namespace torvane
