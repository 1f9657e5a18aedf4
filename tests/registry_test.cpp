// The registry helpers against values as other writers leave them: with or
// without a NUL, of the wrong type, empty, or too long.
#include "harness/test_support.h"

#include <algorithm>
#include <cstring>

namespace {

const char Key[] = "Display\\Settings";

void Store(const std::string &kind, const std::string &data) {
  GIVEN(std::string("value HKCC \"Display\\\\Settings\" \"V\" ") + kind + " " +
        data);
}

} // namespace

using Registry = FreshNotebookTest;

TEST_F(Registry, ByteReadTakesTheFirstByteOfAnyType) {
  std::string longest = "06"; // 255 bytes, the longest value read
  for (int i = 1; i < 255; ++i)
    longest += " 00";
  const std::string tooLong = longest + " 00";
  const struct {
    const char *kind, *data;
    BOOL ok;
    DWORD value;
  } cases[] = {
      {"binary", "08", TRUE, 8},
      {"dword", "8", TRUE, 8},            // little-endian: first byte 8
      {"sz", "\"6\"", TRUE, 54},          // the character '6'
      {"binary", "ff 01", TRUE, 255},     // zero-extended
      {"binary", "", FALSE, 0xDEAD},      // nothing to take
      {"sz-bare", "\"\"", FALSE, 0xDEAD}, // zero length as text
      {"binary", longest.c_str(), TRUE, 6},
      {"binary", tooLong.c_str(), FALSE, 0xDEAD}, // too long
  };
  for (const auto &c : cases) {
    FreshNotebook();
    Store(c.kind, c.data);
    DWORD value = 0xDEAD;
    EXPECT_EQ(ReadRegistryByte(HKEY_CURRENT_CONFIG, Key, "V", &value), c.ok)
        << c.kind << " " << c.data;
    EXPECT_EQ(value, c.value) << c.kind << " " << c.data;
    EXPECT_TRUE(OpenCountsAreZero());
  }
}

TEST_F(Registry, StringReadIsAlwaysTerminated) {
  const std::string max(255, 'x');
  const struct {
    std::string kind, data;
    BOOL ok;
    std::string text;
  } cases[] = {
      {"sz-bare", "\"75\"", TRUE, "75"}, // no NUL stored
      {"sz", "\"75\"", TRUE, "75"},      // NUL stored
      {"sz-bare", "\"\"", TRUE, ""},     // zero length
      {"sz-bare", "\"" + max + "\"", TRUE, max},
      {"sz", "\"" + max + "\"", FALSE, "untouched"}, // 256 bytes with NUL
      {"dword", "75", TRUE, "K"}, // type not checked: bytes 4b 00..
  };
  for (const auto &c : cases) {
    FreshNotebook();
    Store(c.kind, c.data);
    char buffer[257];
    std::fill(buffer, buffer + sizeof buffer, 'u');
    std::strcpy(buffer, "untouched");
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_CONFIG, Key, "V", buffer), c.ok)
        << c.kind << " " << c.data.size();
    EXPECT_EQ(std::string(buffer), c.text) << c.kind << " " << c.data.size();
    EXPECT_EQ(buffer[256], 'u') << "wrote past the 256-byte buffer";
  }
}

TEST_F(Registry, ReadsFailOnMissingKeyOrValue) {
  DWORD value = 7;
  char text[256] = "kept";
  EXPECT_FALSE(ReadRegistryByte(HKEY_CURRENT_CONFIG, Key, "V", &value));
  EXPECT_FALSE(ReadRegistryString(HKEY_CURRENT_CONFIG, Key, "V", text));
  GIVEN("key HKCC \"Display\\\\Settings\"");
  EXPECT_FALSE(ReadRegistryByte(HKEY_CURRENT_CONFIG, Key, "V", &value));
  EXPECT_FALSE(ReadRegistryString(HKEY_CURRENT_CONFIG, Key, "V", text));
  EXPECT_EQ(value, 7u);
  EXPECT_STREQ(text, "kept");
  EXPECT_TRUE(OpenCountsAreZero());
}

TEST_F(Registry, ShowAllModesIsOnInAnyCaseAndForcedOtherwise) {
  const char SwitchKey[] = "SOFTWARE\\Kq\\Switch";
  // "ON", then blanks up to the longest value read (255 bytes, NUL last).
  const std::string longest = "\"ON\\x00" + std::string(251, ' ') + "\"";
  const struct {
    const char *stored; // NULL: value missing
    BOOL readOk;
    DWORD on;
  } cases[] = {
      {"\"ON\"", TRUE, 1},  {"\"on\"", TRUE, 1},        {"\"oN\"", TRUE, 1},
      {"\"on \"", TRUE, 0}, {"\"OFF\"", TRUE, 0},       {"\"\"", TRUE, 0},
      {nullptr, FALSE, 0},  {longest.c_str(), TRUE, 1},
  };
  for (const auto &c : cases) {
    FreshNotebook();
    if (c.stored)
      GIVEN(std::string("value HKLM \"SOFTWARE\\\\Kq\\\\Switch\" "
                        "\"ShowAllModes\" sz ") +
            c.stored);
    else
      GIVEN("key HKLM \"SOFTWARE\\\\Kq\\\\Switch\"");
    ShowAllModesOn = 1;
    EXPECT_EQ(ReadShowAllModes(), c.readOk) << (c.stored ? c.stored : "-");
    EXPECT_EQ(ShowAllModesOn, c.on) << (c.stored ? c.stored : "-");
    ShowAllModesWanted = 1;
    EXPECT_TRUE(WriteShowAllModes());
    EXPECT_EQ(Stored("HKLM", SwitchKey, "ShowAllModes"), "1:ON");
  }

  FreshNotebook();
  ShowAllModesWanted = 0;
  GIVEN("key HKLM \"SOFTWARE\\\\Kq\\\\Switch\"");
  EXPECT_TRUE(WriteShowAllModes());
  EXPECT_EQ(Stored("HKLM", SwitchKey, "ShowAllModes"), "1:OFF");

  FreshNotebook();
  ShowAllModesOn = 1;
  EXPECT_FALSE(ReadShowAllModes());
  EXPECT_EQ(ShowAllModesOn, 0u);
  ShowAllModesWanted = 1;
  EXPECT_FALSE(WriteShowAllModes());
  EXPECT_FALSE(SimRegistryKeyExists("HKLM", SwitchKey));
  EXPECT_TRUE(OpenCountsAreZero());
}
