#include "config/config_file.h"

#include <climits>
#include <cstring>
#include <optional>
#include <string_view>

#include "config/value_cipher.h"
#include "platform/text_input.h"

namespace dorvek {
namespace {

// Line limits including the LF: the rest of a longer line is read as the
// next line of the file, which shifts the pairing after it.
constexpr size_t kHeaderLineCap = 200;
constexpr size_t kEntryLineCap = 400;

// Position of the n-th ch in text; of the last one when there are fewer;
// -1 when there is none.
long findNthChar(std::string_view text, char ch, int n) {
  long found = -1;
  for (size_t i = 0; i < text.size() && n > 0; ++i) {
    if (text[i] == ch) {
      found = static_cast<long>(i);
      --n;
    }
  }
  return found;
}

// The field between the first two sep of line. With fewer than two there is
// none; with the two side by side it is the rest of the line from the second.
std::optional<std::string> fieldAfterFirst(std::string_view line, char sep) {
  const long first = findNthChar(line, sep, 1);
  const long second = findNthChar(line, sep, 2);
  if (second <= first) return std::nullopt;
  const size_t start = static_cast<size_t>(first) + 1;
  const size_t length = static_cast<size_t>(second - first - 1);
  return std::string(line.substr(start, length == 0 ? std::string_view::npos : length));
}

// Decimal integer after leading white space and one sign, up to the first
// other character; 0 without digits; clamped to the 32-bit range.
int32_t parseNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > 1LL + INT32_MAX) magnitude = 1LL + INT32_MAX;  // stays clamped
  }
  const long long value = negative ? -magnitude : magnitude;
  if (value > INT32_MAX) return INT32_MAX;
  return static_cast<int32_t>(value);
}

// A line as the lookup sees it: fgets semantics, so it ends at a zero byte.
bool readLine(TextInput& in, char* area, size_t cap, std::string& line) {
  if (in.readLine(area, cap) == 0) return false;
  line.assign(area, std::strlen(area));
  return true;
}

std::string decipher(const std::string& valueText) {
  std::string plain(valueText.size() + 1, '\0');
  decryptValue(valueText.c_str(), plain.data(), kConfigKey);
  plain.resize(std::strlen(plain.c_str()));
  return plain;
}

}  // namespace

ConfigEntry lookupConfigValue(const std::string& requestedSection, const std::string& requestedKey,
                              int32_t requestedNumber, const char* path) {
  ConfigEntry entry;
  TextInput in;
  if (!in.open(path)) return entry;
  char headerArea[kHeaderLineCap];
  char entryArea[kEntryLineCap];
  std::string header;
  std::string line;
  for (;;) {
    if (!readLine(in, headerArea, sizeof headerArea, header)) header.clear();
    if (!readLine(in, entryArea, sizeof entryArea, line)) break;
    if (line.empty() || line.back() != '\n') line += '\n';

    entry.section = fieldAfterFirst(header, ';').value_or("");
    const long e1 = findNthChar(line, ';', 1);
    // A line without ';' has no number text and is never taken by number.
    const bool hasNumber = e1 >= 0;
    entry.number = e1 > 0 ? parseNumber(std::string_view(line).substr(0, e1)) : 0;
    entry.key = fieldAfterFirst(line, ';').value_or("");
    if (!hasNumber) {
      entry.value = line;
    } else {
      const long e2 = findNthChar(line, ';', 2);
      const size_t start = static_cast<size_t>(e2) + 1;
      const size_t length = line.size() - 1 - start;  // up to the LF
      entry.value = line.substr(start, length == 0 ? std::string::npos : length);
    }

    if (entry.section == requestedSection || entry.key == requestedKey ||
        (hasNumber && entry.number == requestedNumber)) {
      entry.value = decipher(entry.value);
      return entry;
    }
    entry = ConfigEntry{};
  }
  return entry;
}

}  // namespace dorvek
