#include "random/crypto_provider.h"

#include "common/services.h"

namespace torvane {

CryptoProvider& CurrentCryptoProvider() {
  CryptoProvider* provider = CurrentServices().crypto;
  return provider != nullptr ? *provider : SystemCryptoProvider();
}

}  // namespace torvane
