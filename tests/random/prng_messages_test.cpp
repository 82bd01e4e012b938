// Every box cPrng can show, byte for byte, with its icon, whether it stops
// the run, and the empty result that goes with it.

#include <gtest/gtest.h>

#include <cmath>
#include <new>

#include "common/stop_flag.h"
#include "tests/random/fake_crypto_provider.h"
#include "tests/support/fakes.h"

namespace torvane {
namespace {

using Step = testing::FakeCryptoProvider::HashStep;
using Setup = std::function<void(testing::FakeCryptoProvider&)>;

const std::string kRange = "\r\n\r\nclsRandom.BuildWithinRange";
const std::string kFormats =
    "Long Integer and Double precision arrays \r\nare not valid return formats.";
const std::string kMin =
    "The minimum range value must be a positive\r\nvalue of 0-254.\r\n\r\nCurrent Min - ";
const std::string kNbrs = "\r\n\r\nclsRandom.NonRepeatingNbrs";
const std::string kLong =
    "Incoming data must fall within the range of a long integer.\r\n        Min    "
    "-2,147,483,648\r\n"
    "        Max     2,147,483,647\r\n\r\nclsRandom.GetRndValue";

std::string Line(std::string text) { return text.append(60 - text.size(), ' '); }
std::string Header(const char* qty, const char* min, const char* max) {
  return Line(std::string("Items to be returned:") + qty) + "\r\n" +
         Line(std::string("Minimum value:") + min) + "\r\n" +
         Line(std::string("Maximum value:") + max);
}
Setup Failing(Step step) {
  return [step](testing::FakeCryptoProvider& p) { p.failing_step = step; };
}
const Setup kNoProvider = [](testing::FakeCryptoProvider& p) { p.row_works = {}; };
const Setup kOutOfMemory = [](testing::FakeCryptoProvider& p) {
  p.fill = [](std::span<std::uint8_t>) { throw std::bad_alloc(); };
};

struct Case {
  std::function<bool(cPrng&)> call;  // true when the result is the empty one
  std::string text;
  bool stops = false;
  MsgIcon icon = MsgIcon::None;
  Setup setup = nullptr;
};

class EveryBox : public ::testing::TestWithParam<Case> {};

TEST_P(EveryBox, ShownByteForByte) {
  const Case& c = GetParam();
  testing::RecordingMessageBoxes boxes;
  testing::FakeCryptoProvider provider;
  if (c.setup) c.setup(provider);
  cPrng prng;
  EXPECT_TRUE(c.call(prng));
  ASSERT_EQ(boxes.Texts(), std::vector<std::string>{c.text});
  EXPECT_EQ(boxes.shown[0].icon, c.icon);
  EXPECT_EQ(StopFlag, c.stops);
}

bool Empty(const RndResult& r) { return std::holds_alternative<std::monostate>(r); }

const auto kCreate = "Failed to create hash object key.\r\n\r\nclsRandom.CreateHash";
const auto kStop = true;
const auto kBang = MsgIcon::Exclamation;
const auto kNone = MsgIcon::None;

// clang-format off
INSTANTIATE_TEST_SUITE_P(Random, EveryBox, ::testing::Values(
    // BuildWithinRange, in the order it checks.
    Case{[](cPrng& p) { return Empty(p.BuildWithinRange(0, -1, 300, 4)); }, kFormats + kRange},
    Case{[](cPrng& p) { return Empty(p.BuildWithinRange(0, -1, 300, 3)); },
         "The length of the return data must be\r\ngreater than zero.\r\n\r\nReturn length - 0" + kRange},
    Case{[](cPrng& p) { return Empty(p.BuildWithinRange(10, -1, 300, 3)); }, kMin + "-1" + kRange},
    Case{[](cPrng& p) { return Empty(p.BuildWithinRange(10, 0, 0, 3)); },
         "The maximum range value must be a positive\r\nvalue of 1-255.\r\n\r\nCurrent Max - 0" + kRange},
    Case{[](cPrng& p) { return Empty(p.BuildWithinRange(10, 90, 65, 3)); },
         "The minimum range value must be less than\r\nthe maximum range value.\r\n\r\n"
         "Current Min - 90\r\nCurrent Max - 65" + kRange},
    // The full-range shortcut is BuildRndData, refusal included.
    Case{[](cPrng& p) { return Empty(p.BuildWithinRange(0, 0, 255, 3)); },
         "Return data length must be greater than zero.", false, kBang},
    // GetRndValue: either end outside 32 bits, or not a number.
    Case{[](cPrng& p) { return p.GetRndValue(0, 3e9) == 0; }, kLong},
    Case{[](cPrng& p) { return p.GetRndValue(3e9, 5) == 0; }, kLong},
    Case{[](cPrng& p) { return p.GetRndValue(NAN, 5) == 0; }, kLong},
    // NonRepeatingNbrs and the arrays.
    Case{[](cPrng& p) { return p.NonRepeatingNbrs(0, 1, 10).empty(); },
         "Need to request at least one value to be returned." + kNbrs},
    Case{[](cPrng& p) { return p.NonRepeatingNbrs(3, 5, 5).empty(); },
         "Minimum value cannot exceed or equal maximum value.\r\n\r\n" +
         Header("     3", "               5", "               5") + kNbrs},
    Case{[](cPrng& p) { return p.NonRepeatingNbrs(6, 1, 10, 2).empty(); },
         "Return quantity exceeds number of items produced.\r\n\r\n" +
         Header("     6", "               1", "              10") + "\r\n" +
         Line("Items produced:               5") + kNbrs},
    Case{[](cPrng& p) { return p.NonRepeatingNbrs(2, 1, 2) == std::vector{1, 2, 0}; },
         "Invalid amount of data in array.\r\nElement count:  1\r\n\r\nclsRandom.ReshuffleData"},
    Case{[](cPrng& p) { Values none; return p.ReshuffleData(none), none.empty(); },
         "Incoming array has not been properly prepared.\r\n\r\nclsRandom.ReshuffleData"},
    Case{[](cPrng& p) { Values none; return !p.RemoveDupes(none); },
         "Incoming array has not been properly initialized.\r\n\r\nclsRandom.RemoveDupes"},
    // The provider and the hash steps fail.
    Case{[](cPrng& p) { return Empty(p.BuildRndData(8, 3)); },
         "An unknown error occurred while retrieving\r\nCryptoAPI provider handle.\r\n\r\n"
         "clsRandom.GetProviderHandle", kStop, kNone, kNoProvider},
    Case{[](cPrng& p) { return Empty(p.CreateHash("abc", 7)); }, kCreate, kStop},
    Case{[](cPrng& p) { return Empty(p.CreateHash("abc", 2)); }, kCreate, kStop, kNone,
         Failing(Step::Create)},
    Case{[](cPrng& p) { return Empty(p.CreateHash("abc", 2)); },
         "Failed to hash data.\r\n\r\nclsRandom.CreateHash", kStop, kNone, Failing(Step::Data)},
    Case{[](cPrng& p) { return Empty(p.BuildRndData(4, 3)); },
         "Failed to retrieve hashed data.\r\n\r\nclsRandom.CreateHash", kStop, kNone,
         Failing(Step::Value)},
    // Faults: overflow and allocation, with their own description.
    Case{[](cPrng& p) { return Empty(p.BuildRndData(0x7FFFFFF0, 4)); }, "Overflow", kStop, kBang},
    Case{[](cPrng& p) { return Empty(p.BuildWithinRange(0x7FFFFFFC, 65, 90, 3)); }, "Overflow",
         kStop, kBang},
    Case{[](cPrng& p) { return Empty(p.BuildRndData(16, 3)); }, "Out of memory", kStop, kBang,
         kOutOfMemory}));
// clang-format on

}  // namespace
}  // namespace torvane
