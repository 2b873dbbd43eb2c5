#include "platform/text_input.h"

#include <gtest/gtest.h>

#include <string>

#include "support/temp_file.h"

namespace dorvek {
namespace {

std::string drain(TextInput& in) {
  std::string s;
  for (int c; (c = in.get()) != TextInput::kEof;) s.push_back(static_cast<char>(c));
  return s;
}

struct TextModeCase {
  const char* name;
  std::string bytes;
  std::string expected;
};

TEST(TextInput, ReadsLikeTextMode) {
  const std::string big(65535, 'x');  // puts a CR LF across the buffer edge
  const TextModeCase cases[] = {
      {"crlf becomes lf", "a\r\nb\r\n", "a\nb\n"},
      {"lone cr stays", "a\rb\r", "a\rb\r"},
      {"cr cr lf keeps one cr", "a\r\r\nb", "a\r\nb"},
      {"0x1a ends the input", std::string("ab\x1A" "cd\n", 6), "ab"},
      {"zero byte is a character", std::string("a\0b", 3), std::string("a\0b", 3)},
      {"high bytes pass", "\xFC\x80\xFF", "\xFC\x80\xFF"},
      {"empty", "", ""},
      {"crlf across the buffer edge", big + "\r\nz", big + "\nz"},
      {"cr at the very end", big + "\r", big + "\r"},
  };
  testing::TempDir dir;
  for (const auto& c : cases) {
    TextInput file, memory;
    ASSERT_TRUE(file.open(dir.write("f", c.bytes).c_str()));
    EXPECT_EQ(drain(file), c.expected) << c.name;
    ASSERT_TRUE(memory.openMemory(c.bytes.data(), c.bytes.size()));
    EXPECT_EQ(drain(memory), c.expected) << c.name << " (from memory)";
  }
}

TEST(TextInput, ReadLineStopsAfterLineFeedOrCapacity) {
  testing::TempDir dir;
  TextInput in;
  ASSERT_TRUE(in.open(dir.write("f", "abcdef\r\ngh").c_str()));
  char buf[5];
  EXPECT_EQ(in.readLine(buf, sizeof buf), 4u);
  EXPECT_STREQ(buf, "abcd");
  EXPECT_EQ(in.readLine(buf, sizeof buf), 3u);
  EXPECT_STREQ(buf, "ef\n");
  EXPECT_EQ(in.readLine(buf, sizeof buf), 2u);
  EXPECT_STREQ(buf, "gh");
  EXPECT_EQ(in.readLine(buf, sizeof buf), 0u);
}

TEST(TextInput, RefusesMissingFilesAndDirectories) {
  testing::TempDir dir;
  TextInput in;
  EXPECT_FALSE(in.open((dir.path() + "/missing").c_str()));
  EXPECT_FALSE(in.open(dir.path().c_str()));
}

}  // namespace
}  // namespace dorvek
