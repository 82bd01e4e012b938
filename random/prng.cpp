// cPrng: lifecycle, provider, hashing, the seed text and the raw random data.

#include "random/prng.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <new>

#include "common/clock.h"
#include "common/error_box.h"
#include "common/message_box.h"
#include "common/pseudo_random.h"
#include "common/stop_flag.h"
#include "common/yield.h"
#include "random/prng_internal.h"

namespace torvane {

namespace prng_detail {

void ShowLocated(std::string_view description, std::string_view member) noexcept {
  try {
    MsgBox(LocatedMessage(description, kSource, member));
  } catch (...) {
    // A box that cannot be built is not worth a second failure.
  }
}

void ReportFault(std::exception_ptr fault) noexcept {
  StopFlag = true;
  try {
    std::string description;
    try {
      std::rethrow_exception(fault);
    } catch (const std::length_error&) {
      description = "Out of memory";  // a size beyond what any allocation can hold
    } catch (...) {
      description = DescribeException(std::current_exception());
    }
    MsgBox(description, MsgIcon::Exclamation);
  } catch (...) {
  }
}

namespace {
std::size_t Characters(std::string_view text) {
  std::size_t count = 0;
  for (unsigned char c : text) count += (c & 0xC0) != 0x80;  // a multi-byte separator is one
  return count;
}
}  // namespace

std::string AlignRight(std::string_view text, std::size_t width) {
  const std::size_t chars = Characters(text);
  std::string out(chars < width ? width - chars : 0, ' ');
  return out.append(text);
}

std::string PadRight(std::string_view text, std::size_t width) {
  const std::size_t chars = Characters(text);
  std::string out(text);
  return out.append(chars < width ? width - chars : 0, ' ');
}

}  // namespace prng_detail

using namespace prng_detail;

namespace {

struct HashRow {
  std::uint32_t algid;
  std::int32_t length;
};
constexpr HashRow kHashRows[] = {{kAlgMd2, 16},   {kAlgMd4, 16},    {kAlgMd5, 16},
                                 {kAlgSha1, 20},  {kAlgSha256, 32}, {kAlgSha384, 48},
                                 {kAlgSha512, 64}};

// Reads the tick counter's 32 bits as a signed number.
std::int32_t SignedTicks() { return static_cast<std::int32_t>(GetTickCount()); }

std::string Hex8(std::int32_t value) {
  char text[9];
  std::snprintf(text, sizeof text, "%08X", static_cast<std::uint32_t>(value));
  return text;
}

// Eight hex digits as a 32-bit two's-complement number.
std::int32_t ParseHex8(std::string_view digits) {
  std::uint32_t value = 0;
  std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
  return static_cast<std::int32_t>(value);
}

// A 1-based start position floor(r * span) + 1 turned into a 0-based index.
std::size_t PickStart(std::size_t span) {
  return static_cast<std::size_t>(std::floor(Rnd() * static_cast<double>(span)));
}

}  // namespace

cPrng::cPrng() {
  m_alngSeed[0] = m_alngSeed[1] = 0;
  StopProcessing(false);
  const std::int32_t t = SignedTicks();
  RandomizeReseed(static_cast<double>(t - t / 5));
}

cPrng::~cPrng() {
  ReleaseProvider();
  m_alngSeed[0] = m_alngSeed[1] = 0;
}

bool cPrng::AES_Ready() noexcept {
  if (m_hProv == 0) GetProviderHandle();
  return m_blnAESReady;
}

void cPrng::StopProcessing(bool blnData) noexcept { StopFlag = blnData; }
bool cPrng::StopProcessing() const noexcept { return StopFlag; }

void cPrng::ReleaseProvider() noexcept {
  if (m_hProv != 0 && m_provider != nullptr) m_provider->Release(m_hProv);
  m_hProv = 0;
  m_provider = nullptr;
  m_blnAESReady = false;
}

void cPrng::GetProviderHandle() noexcept {
  try {
    ReleaseProvider();
    CryptoProvider& provider = CurrentCryptoProvider();
    for (const ProviderRow& row : kProviderRows) {
      const ProviderHandle handle = provider.Acquire(row);
      if (handle != 0) {
        m_hProv = handle;
        m_provider = &provider;
        m_blnAESReady = row.offers_sha2;
        return;
      }
    }
    ShowLocated(kNoProvider, "GetProviderHandle");
    ReleaseProvider();
    StopFlag = true;
  } catch (...) {
    ReportFault(std::current_exception());
    ReleaseProvider();
  }
}

void cPrng::GetHashAlgorithm(std::int32_t lngSelection, std::uint32_t& lngAlgorithm,
                             std::int32_t& lngDigestLength) {
  if (!m_blnAESReady) {
    Yield();
    if (lngSelection > 3) lngSelection = 3;  // no SHA-2 here: SHA-1 stands in
  }
  lngAlgorithm = 0;
  lngDigestLength = 0;
  if (lngSelection >= 0 && lngSelection < static_cast<std::int32_t>(std::size(kHashRows))) {
    lngAlgorithm = kHashRows[lngSelection].algid;
    lngDigestLength = kHashRows[lngSelection].length;
  }
}

RndResult cPrng::CreateHash(std::string_view strInput, std::int32_t lngHashSelection,
                            bool blnReturnHexString) noexcept {
  RndResult result;
  std::unique_ptr<HashObject> hash;
  try {
    if (m_hProv == 0) GetProviderHandle();
    Yield();
    if (!StopFlag) {
      std::uint32_t algid = 0;
      std::int32_t length = 0;
      GetHashAlgorithm(lngHashSelection, algid, length);
      Bytes digest(static_cast<std::size_t>(length));
      std::uint32_t digest_length = static_cast<std::uint32_t>(length);
      std::string_view failure;
      if (algid == 0 || m_provider == nullptr || !(hash = m_provider->CreateHash(m_hProv, algid))) {
        failure = kHashCreateFailed;
      } else if (!hash->HashData(
                     {reinterpret_cast<const std::uint8_t*>(strInput.data()), strInput.size()})) {
        failure = kHashDataFailed;
      } else if (!hash->GetHashValue(digest, digest_length) || digest_length > digest.size()) {
        failure = kHashValueFailed;
      }
      if (failure.empty()) {
        digest.resize(digest_length);
        Yield();
        result = ConvertDataToHex(static_cast<std::int32_t>(digest_length),
                                  {reinterpret_cast<const char*>(digest.data()), digest.size()},
                                  blnReturnHexString);
      } else {
        ShowLocated(failure, "CreateHash");
        StopFlag = true;
      }
    }
  } catch (...) {
    ReportFault(std::current_exception());
    result = {};
  }
  Yield();
  hash.reset();
  Yield();
  return result;
}

std::string cPrng::BuildSeedString(std::int32_t lngLength) noexcept {
  // Nothing here is reported: a step that faults is skipped.
  try {
    Yield();
    if (m_alngSeed[0] == 0 || m_alngSeed[1] == 0) {
      const std::int32_t t = SignedTicks();
      m_alngSeed[0] = t - t / 4;
      m_alngSeed[1] = t - t / 10;
    }
    const std::string seed = Hex8(m_alngSeed[0]) + Hex8(m_alngSeed[1]);
    const std::string_view window = std::string_view(seed).substr(PickStart(16 - 7), 8);
    RandomizeReseed(std::fabs(static_cast<double>(ParseHex8(window))));

    const RndResult hashed = CreateHash(seed, 6, true);
    const std::string* hex = std::get_if<std::string>(&hashed);
    Yield();
    if (StopFlag) return {};
    Yield();
    if (hex == nullptr || hex->size() < 8) return {};
    for (std::int32_t& element : m_alngSeed)
      element = ParseHex8(std::string_view(*hex).substr(PickStart(hex->size() - 7), 8));
    if (lngLength < 1) return {};
    const auto wanted = static_cast<std::size_t>(lngLength);
    if (wanted >= hex->size()) return *hex;
    return hex->substr(PickStart(hex->size() - wanted + 1), wanted);
  } catch (...) {
    return {};
  }
}

void cPrng::RndSeed() noexcept { BuildSeedString(0); }

double cPrng::LongToDouble(std::int32_t lngValue) const noexcept {
  static constexpr double kScale = std::bit_cast<double>(0x3E000000000FEE68ULL);
  const double unsigned_value = static_cast<double>(static_cast<std::uint32_t>(lngValue));
  const double x = unsigned_value * kScale - 1 + 1E-12;
  // Round to 14 decimals through the decimal text, as the figure is defined.
  char text[48];
  const auto written = std::to_chars(text, text + sizeof text, x, std::chars_format::fixed, 14);
  double rounded = x;
  std::from_chars(text, written.ptr, rounded);
  return rounded;
}

namespace {

// Element k of a format 4 or 5 array is bytes 4k..4k+3 read little-endian;
// the elements stop early on a stop, leaving zeros.
template <class Element, class Convert>
std::vector<Element> WordsOf(const Bytes& bytes, std::int32_t count, Convert convert) {
  std::vector<Element> out(static_cast<std::size_t>(count) + 1);
  for (std::int32_t k = 0; k < count; ++k) {
    const std::size_t at = static_cast<std::size_t>(k) * 4;
    const std::uint32_t word = bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
                               static_cast<std::uint32_t>(bytes[at + 3]) << 24;
    out[k] = convert(static_cast<std::int32_t>(word));
    if (k + 1 == count) break;
    Yield();
    if (StopFlag) break;
  }
  return out;
}

}  // namespace

RndResult cPrng::BuildRndData(std::int32_t lngDataLength, std::int32_t lngReturnFormat) noexcept {
  if (StopFlag) return {};
  try {
    if (lngDataLength < 1) {
      MsgBox(kLengthNotPositive, MsgIcon::Exclamation);
      return {};
    }
    const bool words = lngReturnFormat == 4 || lngReturnFormat == 5;
    // The buffer's length, with its 16 bytes of surplus, must fit the 32-bit
    // count; only the bytes handed out are drawn, so that a seeded stream
    // spends no byte that no caller sees.
    const std::int64_t length = std::int64_t{lngDataLength} * (words ? 4 : 1);
    (void)CheckedAdd(length, 16);
    if (lngReturnFormat < 0 || lngReturnFormat > 5) lngReturnFormat = 0;

    if (m_hProv == 0) GetProviderHandle();
    Yield();
    if (StopFlag) return {};
    const std::string seed = BuildSeedString(40);
    Yield();
    if (StopFlag) return {};

    // Format 3's spare follows the drawn bytes and stays 0: drawing it would
    // spend a byte of the stream that no caller sees.
    const auto drawn = static_cast<std::size_t>(length);
    Bytes data(drawn + (lngReturnFormat == 3 ? 1 : 0));
    if (m_provider == nullptr || !m_provider->GenRandom(m_hProv, seed, {data.data(), drawn})) {
      StopFlag = true;  // the generator failed: the run ends, without a box
      return {};
    }
    const std::string_view text(reinterpret_cast<const char*>(data.data()), drawn);
    switch (lngReturnFormat) {
      case 0:
        return std::string(text.substr(0, static_cast<std::size_t>(lngDataLength)));
      case 1:
        return ConvertDataToHex(lngDataLength, text, true);
      case 2:
        return ConvertDataToHex(lngDataLength, text, false);
      case 3:
        return data;
      case 4:
        return WordsOf<std::int32_t>(data, lngDataLength, [](std::int32_t v) { return v; });
      default:
        return WordsOf<double>(data, lngDataLength,
                               [this](std::int32_t v) { return LongToDouble(v); });
    }
  } catch (...) {
    ReportFault(std::current_exception());
    return {};
  }
}

}  // namespace torvane
