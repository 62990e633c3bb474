#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "TestEnv.h"
#include "plat/Profile.h"

namespace {

namespace fs = std::filesystem;
using kelptest::ReadFile;
using kelptest::WriteFile;

TEST(ProfileRead, FindsValuesAndDefaults) {
  struct Case {
    const char* name;
    const char* section;
    const char* key;
    const char* defaultValue;
    std::string expected;
  };
  const Case cases[] = {
      {"SectionNameIgnoresCase", "SERVER", "Port", "x", "21"},
      {"KeyNameIgnoresCase", "server", "PORT", "x", "21"},
      {"ArgumentNamesAreTrimmed", " Server ", " Port ", "x", "21"},
      {"BlanksAroundFileNameAndValueTrimmed", "Server", "Name", "x", "value with spaces"},
      {"DoubleQuotesRemoved", "Server", "Double", "x", "quoted value"},
      {"SingleQuotesRemoved", "Server", "Single", "x", "single"},
      {"MismatchedQuotesKept", "Server", "Mismatched", "x", "\"abc'"},
      {"FirstDuplicateKeyWins", "Server", "Dup", "x", "first"},
      {"CommentLineIsNoKey", "Server", "Hidden", "dflt", "dflt"},
      {"KeysBelongToTheirSection", "Other", "Port", "x", "99"},
      {"MissingSectionGivesDefault", "Nowhere", "Port", "dflt", "dflt"},
      {"MissingKeyGivesDefault", "Server", "Nothing", "dflt", "dflt"},
      {"DefaultLosesTrailingBlanks", "Server", "Nothing", " dflt  ", " dflt"},
      {"NullDefaultIsEmpty", "Server", "Nothing", nullptr, ""},
  };
  kelptest::TempDir dir;
  const fs::path file = dir / "r.ini";
  WriteFile(file,
            "[Server]\r\nPort=21\r\n  Name  =  value with spaces  \r\n;Hidden=1\r\n"
            "Double=\"quoted value\"\r\nSingle='single'\r\nMismatched=\"abc'\r\nDup=first\r\n"
            "Dup=second\r\nnot a key line\r\n[Other]\nPort=99\n");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    char buffer[64];
    const std::uint32_t n = plat::GetPrivateProfileString(c.section, c.key, c.defaultValue, buffer,
                                                          sizeof buffer, file);
    EXPECT_EQ(std::string(buffer), c.expected);
    EXPECT_EQ(n, c.expected.size());
  }
  EXPECT_EQ(plat::GetProfileString("S", "K", "dflt", dir / "absent.ini"), "dflt");
}

TEST(ProfileRead, TruncatesToBufferSize) {
  struct Case {
    const char* name;
    std::uint32_t size;
    std::string expected;
  };
  const Case cases[] = {{"SizeZeroWritesNothing", 0, ""},
                        {"SizeOneHoldsOnlyTheNul", 1, ""},
                        {"OneShortDropsLastChar", 6, "abcde"},
                        {"ExactFit", 7, "abcdef"}};
  kelptest::TempDir dir;
  WriteFile(dir / "t.ini", "[S]\nK=abcdef\n");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    char buffer[16];
    std::fill(std::begin(buffer), std::end(buffer), '#');
    const std::uint32_t n =
        plat::GetPrivateProfileString("S", "K", "", buffer, c.size, dir / "t.ini");
    EXPECT_EQ(std::string(buffer, n), c.expected);
    EXPECT_EQ(n, c.expected.size());
    if (c.size > 0) {
      EXPECT_EQ(buffer[n], '\0');
    }
    EXPECT_EQ(buffer[c.size], '#') << "wrote past the buffer";
  }
}

TEST(ProfileRead, NullNamesListSectionsAndKeys) {
  kelptest::TempDir dir;
  const fs::path file = dir / "l.ini";
  WriteFile(file, "[One]\na=1\nB=2\nA=3\n[Two]\n[one]\nc=4\n");
  char buf[32];
  std::uint32_t n = plat::GetPrivateProfileString(nullptr, nullptr, "d", buf, sizeof buf, file);
  EXPECT_EQ(std::string(buf, n + 1), std::string("One\0Two\0\0", 9));
  n = plat::GetPrivateProfileString("ONE", nullptr, "d", buf, sizeof buf, file);
  EXPECT_EQ(std::string(buf, n + 1), std::string("a\0B\0\0", 5));
  // 7 characters cut the list to "One", "T" and end it in two NULs.
  n = plat::GetPrivateProfileString(nullptr, nullptr, "", buf, 7, file);
  EXPECT_EQ(std::string(buf, 7), std::string("One\0T\0\0", 7));
  EXPECT_EQ(n, 5u);
  EXPECT_EQ(plat::GetProfileSectionNames(file), (std::vector<std::string>{"One", "Two"}));
  EXPECT_TRUE(plat::GetProfileKeyNames("Missing", file).empty());
}

TEST(ProfileRead, IntParsesLeadingDecimal) {
  struct Case {
    const char* name;
    const char* line;
    unsigned int expected;
  };
  const Case cases[] = {{"LeadingBlanksSkipped", "K= 42", 42},
                        {"NegativeInTwosComplement", "K=-3", static_cast<unsigned>(-3)},
                        {"TrailingTextIgnored", "K=12abc", 12},
                        {"NonNumericIsZero", "K=abc", 0},
                        {"EmptyIsZero", "K=", 0},
                        {"HexPrefixStopsAtX", "K=0x1F", 0},
                        {"QuotedNumber", "K=\"8\"", 8},
                        {"MissingKeyGivesDefault", "Other=1", 7}};
  kelptest::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(dir / "i.ini", std::string("[S]\n") + c.line + "\n");
    EXPECT_EQ(plat::GetPrivateProfileInt("S", "K", 7, dir / "i.ini"), c.expected);
  }
  EXPECT_EQ(plat::GetPrivateProfileInt("S", "K", 7, dir / "absent.ini"), 7u);
}

using Write = std::function<bool(const fs::path&)>;

Write Set(const char* section, const char* key, const char* value) {
  return [=](const fs::path& f) { return plat::WritePrivateProfileString(section, key, value, f); };
}

TEST(ProfileWrite, ChangesOnlyWhatItMust) {
  const std::string original =
      "; settings\n\n[Net]\nAddr = 10.0.0.1\n; the port\nPort=21\ngarbage\n\n[Log]\nLevel=3\n";
  const std::string head = "; settings\n\n[Net]\n";
  const std::string tail = "garbage\n\n[Log]\nLevel=3\n";
  struct Case {
    const char* name;
    Write write;
    std::string expected;
  };
  const Case cases[] = {
      {"KeyReplacedInPlace", Set("net", "PORT", "2121"),
       head + "Addr = 10.0.0.1\n; the port\nPort=2121\n" + tail},
      {"BlanksAroundEqualsKept", Set("Net", "addr", "x"),
       head + "Addr = x\n; the port\nPort=21\n" + tail},
      {"NewKeyFollowsLastKey", Set("Net", "Mask", "8"),
       head + "Addr = 10.0.0.1\n; the port\nPort=21\nMask=8\n" + tail},
      {"NewSectionAppended", Set("Dump", "Dir", "C:\\D"), original + "\n[Dump]\nDir=C:\\D\n"},
      {"NullValueDeletesKey", Set("Net", "Port", nullptr),
       head + "Addr = 10.0.0.1\n; the port\n" + tail},
      {"NullKeyDeletesSection", Set("NET", nullptr, nullptr), "; settings\n\n[Log]\nLevel=3\n"},
      {"DeletingMissingKeyChangesNothing", Set("Net", "None", nullptr), original},
      {"SectionListReplacesKeysKeepsComments",
       [](const fs::path& f) { return plat::WritePrivateProfileSection("Net", "A=1\0B=2\0", f); },
       head + "A=1\nB=2\n; the port\n" + tail},
      {"SectionVectorCreatesSection",
       [](const fs::path& f) {
         return plat::WritePrivateProfileSection("New", std::vector<std::string>{"x=1", "y=2"}, f);
       },
       original + "\n[New]\nx=1\ny=2\n"},
  };
  kelptest::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(dir / "w.ini", original);
    ASSERT_TRUE(c.write(dir / "w.ini"));
    EXPECT_EQ(ReadFile(dir / "w.ini"), c.expected);
  }
}

TEST(ProfileWrite, KeepsLineEndingsAndCreatesFilesNotFolders) {
  kelptest::TempDir dir;
  struct Case {
    const char* original;
    const char* section;  // of the key j written
    const char* expected;
    const char* k;  // [A] k, the same before and after the write
  };
  const Case cases[] = {
      {"[A]\r\nk=1", "A", "[A]\r\nk=1\r\nj=2\r\n", "1"},
      // Found by fuzz_profile: the lone CR ending the last line met the LF added after it, so
      // "k=1\r" read "1\r" before the write of another key and "1" after it.
      {"[A]\r\nk=1\r", "A", "[A]\r\nk=1\r\nj=2\r\n", "1"},
      {"[A]\nk=1\r", "B", "[A]\nk=1\r\n\n[B]\nj=2\n", "1"},
      {"[P]e-00-00\r", "New", "[P]e-00-00\r\n\n[New]\nj=2\n", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.original);
    WriteFile(dir / "eol.ini", c.original);
    EXPECT_EQ(plat::GetProfileString("A", "k", "", dir / "eol.ini"), c.k);
    ASSERT_TRUE(plat::WritePrivateProfileString(c.section, "j", "2", dir / "eol.ini"));
    EXPECT_EQ(ReadFile(dir / "eol.ini"), c.expected);
    EXPECT_EQ(plat::GetProfileString("A", "k", "", dir / "eol.ini"), c.k);
  }

  ASSERT_TRUE(plat::WritePrivateProfileString("S", "K", "V", dir / "new.ini"));
  EXPECT_EQ(ReadFile(dir / "new.ini"), "[S]\nK=V\n");
  EXPECT_FALSE(plat::WritePrivateProfileString("S", "K", "V", dir / "no" / "new.ini"));
}

TEST(ProfileWrite, RefusedWritesLeaveFileAlone) {
  kelptest::TempDir dir;
  const fs::path file = dir / "r.ini";
  WriteFile(file, "[S]\nK=1\n");
  EXPECT_FALSE(plat::WritePrivateProfileString(nullptr, "K", "V", file));
  EXPECT_FALSE(plat::WritePrivateProfileString("S", "K", "two\nlines", file));
  EXPECT_FALSE(plat::WritePrivateProfileString("S", "K=", "V", file));
  EXPECT_FALSE(plat::WritePrivateProfileSection("S", std::vector<std::string>{"a=1\nb=2"}, file));
  EXPECT_EQ(ReadFile(file), "[S]\nK=1\n");
}

std::vector<std::string> FolderEntries(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(ProfileWrite, LeavesNoTemporaryFiles) {
  kelptest::TempDir dir;
  for (const char* value : {"1", "2", "3"})
    ASSERT_TRUE(plat::WritePrivateProfileString("S", "K", value, dir / "a.ini"));
  EXPECT_EQ(FolderEntries(dir.path()), (std::vector<std::string>{"a.ini", "a.ini.lock"}));

  // A folder where the file should be cannot be read or replaced: refused, nothing left over.
  std::filesystem::create_directory(dir / "b.ini");
  EXPECT_FALSE(plat::WritePrivateProfileString("S", "K", "V", dir / "b.ini"));
  EXPECT_EQ(FolderEntries(dir.path()),
            (std::vector<std::string>{"a.ini", "a.ini.lock", "b.ini", "b.ini.lock"}));
}

TEST(ProfileWrite, ConcurrentWritersLoseNothing) {
  kelptest::TempDir dir;
  const fs::path file = dir / "c.ini";
  auto key = [](int thread, int k) {
    return "T" + std::to_string(thread) + "K" + std::to_string(k);
  };
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t)
    writers.emplace_back([&, t] {
      for (int k = 0; k < 25; ++k)
        plat::WritePrivateProfileString("S", key(t, k).c_str(), std::to_string(k).c_str(), file);
    });
  for (std::thread& w : writers) w.join();

  EXPECT_EQ(plat::GetProfileKeyNames("S", file).size(), 100u);
  for (int t = 0; t < 4; ++t)
    for (int k = 0; k < 25; ++k)
      EXPECT_EQ(plat::GetPrivateProfileInt("S", key(t, k).c_str(), -1, file), unsigned(k));
}

}  // namespace
