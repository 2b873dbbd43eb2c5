// The value cipher of the configuration file: Blowfish, 16 rounds, ECB.
// An enciphered value text is upper-case hex, 16 characters per 8-byte
// block; each 4-byte half of a block is stored least significant byte first.
// The plain value ends at its first zero byte (a zero byte pads a value whose
// length is not a multiple of 8).
#ifndef DORVEK_CONFIG_VALUE_CIPHER_H_
#define DORVEK_CONFIG_VALUE_CIPHER_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace dorvek {

// The fixed key of every value in the configuration file.
inline constexpr char kConfigKey[] = "KALVORN";

// The expanded key: P[0..17], then the four S-boxes (1042 words).
struct CipherContext {
  uint32_t p[18];
  uint32_t s[4][256];
};

// The one context the value operations below use. All zero between calls.
const CipherContext& programCipherContext();

// Expands keyLength key bytes (taken cyclically) into ctx. An empty key
// leaves P at its initial values.
void setupKey(CipherContext& ctx, const unsigned char* key, size_t keyLength);
// One block in place; left is the half combined with P[0] first.
void encipherBlock(const CipherContext& ctx, uint32_t& left, uint32_t& right);
void decipherBlock(const CipherContext& ctx, uint32_t& left, uint32_t& right);
// 16 characters to 8 bytes. No character is rejected: 'A'..'F' count
// 10..15, every other byte c counts c - 48 (mod 256), so "a0" gives 0x10.
void decodeHexBlock(const char* text, unsigned char bytes[8]);

// Deciphers the zero-terminated valueText into plainText under keyText (its
// bytes up to the zero). Only the whole 16-character blocks are deciphered;
// a trailing partial block is ignored. plainText receives 8 bytes per block
// and a zero byte, so it needs length(valueText) / 2 + 1 bytes. Always 1.
// The context is wiped before returning.
int32_t decryptValue(const char* valueText, char* plainText, const char* keyText);

// The reverse, for writing configuration files: the plain bytes, a zero byte
// when the length is not a multiple of 8, zero-filled to whole blocks, as
// upper-case hex. False (valueText untouched) when plain holds a zero byte.
// The context is wiped before returning.
bool encryptValue(std::string_view plain, const char* keyText, std::string& valueText);

}  // namespace dorvek

#endif  // DORVEK_CONFIG_VALUE_CIPHER_H_
