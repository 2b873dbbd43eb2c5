// The configuration file: line pairs (header line, entry line) with
// ';'-separated fields; each value is an enciphered value text.
#ifndef DORVEK_CONFIG_CONFIG_FILE_H_
#define DORVEK_CONFIG_CONFIG_FILE_H_

#include <cstdint>
#include <string>

namespace dorvek {

// The result of one lookup. Number 0 and empty texts when no pair was taken
// or the file could not be opened.
struct ConfigEntry {
  int32_t number = 0;
  std::string section;
  std::string key;
  std::string value;  // deciphered, up to its first zero byte
};

// Walks the file at path pair by pair from the top and takes the first pair
// whose section equals requestedSection, or whose key equals requestedKey,
// or whose number equals requestedNumber; its value comes back deciphered
// under the fixed key. Never prints, never fails: a lookup that finds
// nothing yields an empty value.
ConfigEntry lookupConfigValue(const std::string& requestedSection,
                              const std::string& requestedKey,
                              int32_t requestedNumber, const char* path);

}  // namespace dorvek

#endif  // DORVEK_CONFIG_CONFIG_FILE_H_
