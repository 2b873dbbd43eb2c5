// The value cipher: tables, published block vectors, the value text format.
#include "config/value_cipher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "config/pi_tables.h"

namespace dorvek {
namespace {

std::string bytesFromHex(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  return out;
}

std::string hexFromBytes(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 0xF];
  }
  return out;
}

uint32_t bigEndian(const std::string& b, size_t at) {
  uint32_t w = 0;
  for (size_t i = 0; i < 4; ++i) w = w << 8 | static_cast<unsigned char>(b[at + i]);
  return w;
}

// Each 4-byte half reversed: the byte order of a value text.
std::string reverseHalves(const std::string& block) {
  std::string out = block;
  std::reverse(out.begin(), out.begin() + 4);
  std::reverse(out.begin() + 4, out.end());
  return out;
}

bool contextIsZero() {
  const CipherContext& ctx = programCipherContext();
  const auto* bytes = reinterpret_cast<const unsigned char*>(&ctx);
  for (size_t i = 0; i < sizeof ctx; ++i) {
    if (bytes[i] != 0) return false;
  }
  return true;
}

// A value text made straight from the block cipher under the fixed key, so
// decryptValue is checked against something other than encryptValue.
std::string valueTextOf(const std::string& plainBlocks) {
  CipherContext ctx{};
  setupKey(ctx, reinterpret_cast<const unsigned char*>(kConfigKey), std::strlen(kConfigKey));
  std::string cipher;
  for (size_t k = 0; k < plainBlocks.size(); k += 8) {
    const std::string block = reverseHalves(plainBlocks.substr(k, 8));
    uint32_t l = bigEndian(block, 0);
    uint32_t r = bigEndian(block, 4);
    encipherBlock(ctx, l, r);
    std::string out;
    for (uint32_t w : {l, r}) {
      for (int i = 3; i >= 0; --i) out += static_cast<char>(w >> (8 * i));
    }
    cipher += reverseHalves(out);
  }
  return hexFromBytes(cipher);
}

TEST(ValueCipher, InitialTablesAreTheDigitsOfPi) {
  EXPECT_EQ(kInitialP[0], 0x243F6A88u);
  EXPECT_EQ(kInitialP[17], 0x8979FB1Bu);
  EXPECT_EQ(kInitialS0[0], 0xD1310BA6u);
  EXPECT_EQ(kInitialS3[255], 0x3AC372E6u);
}

struct Vector {
  const char* key;
  const char* plain;
  const char* cipher;
};

// Published ECB vectors (key, plaintext, ciphertext; big-endian bytes).
const Vector kVectors[] = {
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
    {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
    {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
    {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
    {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
    {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
    {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
    {"0131D9619DC1376E", "5CD54CA83DEF57DA", "B1B8CC0B250F09A0"},
};

TEST(ValueCipher, BlockCipherMatchesPublishedVectors) {
  for (const Vector& v : kVectors) {
    SCOPED_TRACE(v.key);
    const std::string key = bytesFromHex(v.key);
    const std::string plain = bytesFromHex(v.plain);
    CipherContext ctx{};
    setupKey(ctx, reinterpret_cast<const unsigned char*>(key.data()), key.size());
    uint32_t l = bigEndian(plain, 0);
    uint32_t r = bigEndian(plain, 4);
    encipherBlock(ctx, l, r);
    EXPECT_EQ(l, bigEndian(bytesFromHex(v.cipher), 0));
    EXPECT_EQ(r, bigEndian(bytesFromHex(v.cipher), 4));
    decipherBlock(ctx, l, r);
    EXPECT_EQ(l, bigEndian(plain, 0));
    EXPECT_EQ(r, bigEndian(plain, 4));
  }
}

// Through the value text: each half's bytes reversed on both sides.
TEST(ValueCipher, DecryptValueReadsHalvesLittleEndian) {
  for (const Vector& v : kVectors) {
    const std::string key = bytesFromHex(v.key);
    if (key.find('\0') != std::string::npos) continue;  // the key text would end early
    SCOPED_TRACE(v.key);
    const std::string text = hexFromBytes(reverseHalves(bytesFromHex(v.cipher)));
    char plain[9];
    std::memset(plain, 0x55, sizeof plain);
    EXPECT_EQ(decryptValue(text.c_str(), plain, key.c_str()), 1);
    EXPECT_EQ(std::string(plain, 8), reverseHalves(bytesFromHex(v.plain)));
    EXPECT_EQ(plain[8], '\0');
    EXPECT_TRUE(contextIsZero());
  }
}

TEST(ValueCipher, DecodeHexBlockFollowsTheArithmeticForEveryCharacter) {
  struct Case {
    const char* text;
    const char* bytes;  // as hex
  };
  const Case cases[] = {
      {"0123456789ABCDEF", "0123456789ABCDEF"},
      {"a00a000000000000", "1031000000000000"},  // lower case is not hex
      {"ffFF0F0f00000000", "96FF0F3600000000"},
      // Any character c counts c - 48: 'G' 23, '/' -1, ' ' -16, '~' 78.
      {"G0/0 0~00~000000", "70F000E04E000000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    unsigned char bytes[8];
    decodeHexBlock(c.text, bytes);
    EXPECT_EQ(hexFromBytes(std::string(reinterpret_cast<char*>(bytes), 8)), c.bytes);
  }
}

TEST(ValueCipher, DecryptValueOfValueTexts) {
  const std::string junk5 = std::string("abcde") + '\0' + "XY";
  struct Case {
    const char* name;
    std::string text;
    std::string value;
    size_t zeroAt;  // where the terminator goes
  };
  const Case cases[] = {
      {"empty text", "", "", 0},
      {"one block", valueTextOf(std::string("Host") + '\0' + "\0\0\0"), "Host", 8},
      {"exactly 8 characters", valueTextOf("datenbnk"), "datenbnk", 8},
      {"5 characters, junk after the zero byte", valueTextOf(junk5), "abcde", 8},
      {"two blocks", valueTextOf(std::string("twelve chars") + '\0' + "zzz"), "twelve chars", 16},
      {"16 characters", valueTextOf("sixteen chars!!!"), "sixteen chars!!!", 16},
      {"first byte zero", valueTextOf(std::string("\0rest of", 8) + "ignored!"), "", 16},
      {"partial block ignored", valueTextOf("whole8ch") + "ABCDEF0", "whole8ch", 8},
      {"shorter than a block", "0123456", "", 0},
      {"single LF", "\n", "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string area(c.text.size() + 1 + 8, '\x55');  // 8 guard bytes
    decryptValue(c.text.c_str(), area.data(), kConfigKey);
    EXPECT_EQ(std::string(area.c_str()), c.value);
    EXPECT_EQ(area[c.zeroAt], '\0');
    // Nothing beyond the terminator is written.
    EXPECT_EQ(area.substr(c.zeroAt + 1).find_first_not_of('\x55'), std::string::npos);
    EXPECT_TRUE(contextIsZero());
  }
}

TEST(ValueCipher, EncryptValueRoundTripsAndPadsWithAZeroByte) {
  std::string printable;
  for (int c = 0x20; c < 0x7F; ++c) printable += static_cast<char>(c);
  const std::string values[] = {"",         "a",         "abcdefg", "abcdefgh", "abcdefghi",
                                " leading", "trailing ", "a;b;;c",  printable,  "\xFC\x80\xFF"};
  for (const std::string& value : values) {
    SCOPED_TRACE(value);
    std::string text;
    ASSERT_TRUE(encryptValue(value, kConfigKey, text));
    EXPECT_TRUE(contextIsZero());
    EXPECT_EQ(text.size(), (value.size() + 7) / 8 * 16);
    EXPECT_EQ(text.find_first_not_of("0123456789ABCDEF"), std::string::npos);
    std::string area(text.size() + 1, '\x55');
    decryptValue(text.c_str(), area.data(), kConfigKey);
    EXPECT_EQ(std::string(area.c_str()), value);
    // The zero byte after a value of a length not a multiple of 8.
    if (value.size() % 8 != 0) {
      EXPECT_EQ(area[value.size()], '\0');
    }
    // Agrees with the block cipher used directly.
    std::string blocks = value;
    blocks.resize(text.size() / 2, '\0');
    EXPECT_EQ(text, valueTextOf(blocks));
  }
}

TEST(ValueCipher, EncryptValueRefusesAZeroByte) {
  std::string text = "untouched";
  EXPECT_FALSE(encryptValue(std::string("ab\0cd", 5), kConfigKey, text));
  EXPECT_EQ(text, "untouched");
}

TEST(ValueCipher, AnotherKeyGivesAnotherValue) {
  std::string text;
  ASSERT_TRUE(encryptValue("geheim", kConfigKey, text));
  char area[17];
  decryptValue(text.c_str(), area, "KALVORM");
  EXPECT_NE(std::string(area, std::strlen(area)), "geheim");
}

}  // namespace
}  // namespace dorvek
