// Any text as an enciphered value: decrypting must stay inside the area the
// caller gives (length / 2 + 1 bytes) and wipe the context; any value
// without a zero byte must come back whole from its enciphered text.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "config/value_cipher.h"

namespace {

bool contextIsZero() {
  const auto& ctx = dorvek::programCipherContext();
  const unsigned char* p = reinterpret_cast<const unsigned char*>(&ctx);
  for (size_t i = 0; i < sizeof ctx; ++i) {
    if (p[i] != 0) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  text.resize(strnlen(text.c_str(), size));
  std::vector<char> plain(text.size() / 2 + 1);
  dorvek::decryptValue(text.c_str(), plain.data(), dorvek::kConfigKey);
  if (!contextIsZero()) std::abort();

  std::string value;
  if (!dorvek::encryptValue(text, dorvek::kConfigKey, value)) std::abort();  // no zero byte in it
  if (!contextIsZero()) std::abort();
  std::vector<char> back(value.size() / 2 + 1);
  dorvek::decryptValue(value.c_str(), back.data(), dorvek::kConfigKey);
  if (text != back.data()) std::abort();
  return 0;
}
