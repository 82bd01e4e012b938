#pragma once

// PLACEHOLDER: the random-data helper owns this file and completes it.
// The engine relies on exactly these declarations.

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace torvane {

using Bytes = std::vector<std::uint8_t>;

// What BuildRndData, BuildWithinRange and CreateHash return: empty, a byte
// text, an array of texts, a byte array, 32-bit integers or doubles. Array
// results made for n values hold n + 1 elements (the last one a spare).
using RndResult = std::variant<std::monostate, std::string, std::vector<std::string>, Bytes,
                               std::vector<std::int32_t>, std::vector<double>>;

class cPrng {
 public:
  cPrng();  // clears StopFlag
  ~cPrng();
  cPrng(const cPrng&) = delete;
  cPrng& operator=(const cPrng&) = delete;

  bool AES_Ready();
  void StopProcessing(bool blnData);
  bool StopProcessing() const;
  RndResult BuildRndData(std::int32_t lngDataLength, std::int32_t lngReturnFormat = 0);
  RndResult BuildWithinRange(std::int32_t lngDataLength, std::int32_t lngLow = 0,
                             std::int32_t lngHigh = 0, std::int32_t lngReturnFormat = 0);
  // Nonzero when the value is an array that holds storage.
  std::int32_t IsArrayInitialized(const RndResult& avntData) const;
};

}  // namespace torvane
