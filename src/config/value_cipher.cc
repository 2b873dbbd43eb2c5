#include "config/value_cipher.h"

#include <string.h>  // explicit_bzero

#include <cstring>

#include "config/pi_tables.h"

namespace dorvek {
namespace {

CipherContext gContext{};

// Not removable by the optimiser, unlike a memset of a dying object.
void wipe(CipherContext& ctx) { explicit_bzero(&ctx, sizeof ctx); }

// Wipes the program context however the calling operation returns.
struct ContextLease {
  ContextLease() = default;
  ~ContextLease() { wipe(gContext); }
  ContextLease(const ContextLease&) = delete;
  ContextLease& operator=(const ContextLease&) = delete;
  CipherContext& ctx = gContext;
};

uint32_t roundF(const CipherContext& ctx, uint32_t x) {
  return ((ctx.s[0][x >> 24] + ctx.s[1][(x >> 16) & 0xFF]) ^ ctx.s[2][(x >> 8) & 0xFF]) +
         ctx.s[3][x & 0xFF];
}

unsigned hexValue(unsigned char c) {
  return c >= 'A' && c <= 'F' ? static_cast<unsigned char>(c - 55)
                              : static_cast<unsigned char>(c - 48);
}

uint32_t loadLittle(const unsigned char* b) {
  return uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
}

void storeLittle(uint32_t w, unsigned char* b) {
  for (int i = 0; i < 4; ++i) b[i] = static_cast<unsigned char>(w >> (8 * i));
}

void setupKeyText(CipherContext& ctx, const char* keyText) {
  setupKey(ctx, reinterpret_cast<const unsigned char*>(keyText), std::strlen(keyText));
}

}  // namespace

const CipherContext& programCipherContext() { return gContext; }

void setupKey(CipherContext& ctx, const unsigned char* key, size_t keyLength) {
  std::memcpy(ctx.s[0], kInitialS0, sizeof ctx.s[0]);
  std::memcpy(ctx.s[1], kInitialS1, sizeof ctx.s[1]);
  std::memcpy(ctx.s[2], kInitialS2, sizeof ctx.s[2]);
  std::memcpy(ctx.s[3], kInitialS3, sizeof ctx.s[3]);
  size_t k = 0;
  for (int j = 0; j < 18; ++j) {
    uint32_t word = 0;
    for (int i = 0; i < 4 && keyLength > 0; ++i) {
      word = word << 8 | key[k];
      k = (k + 1) % keyLength;
    }
    ctx.p[j] = kInitialP[j] ^ word;
  }
  uint32_t left = 0;
  uint32_t right = 0;
  for (int j = 0; j < 18; j += 2) {
    encipherBlock(ctx, left, right);
    ctx.p[j] = left;
    ctx.p[j + 1] = right;
  }
  for (auto& box : ctx.s) {
    for (int j = 0; j < 256; j += 2) {
      encipherBlock(ctx, left, right);
      box[j] = left;
      box[j + 1] = right;
    }
  }
}

void encipherBlock(const CipherContext& ctx, uint32_t& left, uint32_t& right) {
  uint32_t l = left;
  uint32_t r = right;
  for (int i = 0; i < 16; i += 2) {  // two rounds per pass, no exchanges
    l ^= ctx.p[i];
    r ^= roundF(ctx, l);
    r ^= ctx.p[i + 1];
    l ^= roundF(ctx, r);
  }
  left = r ^ ctx.p[17];
  right = l ^ ctx.p[16];
}

void decipherBlock(const CipherContext& ctx, uint32_t& left, uint32_t& right) {
  uint32_t l = left;
  uint32_t r = right;
  for (int i = 17; i > 1; i -= 2) {
    l ^= ctx.p[i];
    r ^= roundF(ctx, l);
    r ^= ctx.p[i - 1];
    l ^= roundF(ctx, r);
  }
  left = r ^ ctx.p[0];
  right = l ^ ctx.p[1];
}

void decodeHexBlock(const char* text, unsigned char bytes[8]) {
  for (int j = 0; j < 8; ++j) {
    const unsigned high = hexValue(static_cast<unsigned char>(text[2 * j]));
    const unsigned low = hexValue(static_cast<unsigned char>(text[2 * j + 1]));
    bytes[j] = static_cast<unsigned char>(16 * high + low);
  }
}

int32_t decryptValue(const char* valueText, char* plainText, const char* keyText) {
  ContextLease lease;
  setupKeyText(lease.ctx, keyText);
  const size_t blocks = std::strlen(valueText) / 16;
  auto* out = reinterpret_cast<unsigned char*>(plainText);
  for (size_t k = 0; k < blocks; ++k) {
    unsigned char bytes[8];
    decodeHexBlock(valueText + 16 * k, bytes);
    uint32_t left = loadLittle(bytes);
    uint32_t right = loadLittle(bytes + 4);
    decipherBlock(lease.ctx, left, right);
    storeLittle(left, out + 8 * k);
    storeLittle(right, out + 8 * k + 4);
  }
  out[8 * blocks] = 0;
  return 1;
}

bool encryptValue(std::string_view plain, const char* keyText, std::string& valueText) {
  if (plain.find('\0') != std::string_view::npos) return false;
  static constexpr char kDigits[] = "0123456789ABCDEF";
  ContextLease lease;
  setupKeyText(lease.ctx, keyText);
  std::string padded(plain);
  padded.resize((plain.size() + 7) / 8 * 8, '\0');  // zero byte and fill
  std::string text;
  text.reserve(padded.size() * 2);
  for (size_t k = 0; k < padded.size(); k += 8) {
    const auto* in = reinterpret_cast<const unsigned char*>(padded.data() + k);
    uint32_t left = loadLittle(in);
    uint32_t right = loadLittle(in + 4);
    encipherBlock(lease.ctx, left, right);
    unsigned char bytes[8];
    storeLittle(left, bytes);
    storeLittle(right, bytes + 4);
    for (unsigned char b : bytes) {
      text += kDigits[b >> 4];
      text += kDigits[b & 0xF];
    }
  }
  explicit_bzero(padded.data(), padded.size());
  valueText = std::move(text);
  return true;
}

}  // namespace dorvek
