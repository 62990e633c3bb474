// The demo medium: description files the setup tool can read, product files whose bytes a reader
// can predict, the TFTP root record, and the command line.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "TestEnv.h"
#include "mkmedia/MediaWriter.h"
#include "plat/Paths.h"
#include "plat/Process.h"
#include "plat/Profile.h"

namespace fs = std::filesystem;
using namespace mkmedia;

namespace {

std::vector<std::uint8_t> FileBytes(const fs::path& file) {
  const std::string text = kelptest::ReadFile(file);
  return {text.begin(), text.end()};
}

TEST(MkMedia, WritesOneDescribedProductOfEachKind) {
  kelptest::TempDir root;
  const Media media = DefaultMedia(5000);
  std::string error;
  ASSERT_TRUE(WriteMedia(root.path(), media, error)) << error;

  std::set<std::string> extensions;
  for (const Product& p : media.products) {
    const fs::path description = root.path() / "MP" / DescriptionFileName(p);
    extensions.insert(description.extension().string());
    EXPECT_EQ(plat::GetProfileString("Product", "Name", "", description), p.name);
    EXPECT_EQ(plat::GetProfileString("Product", "Version", "", description), p.version);
    EXPECT_EQ(plat::GetProfileString("Product", "Build", "", description), p.build);
    EXPECT_EQ(plat::GetProfileString("Product", "File", "", description), p.file);
    EXPECT_EQ(plat::GetProfileString("Install", "Timeout", "", description), p.timeout);
    EXPECT_EQ(fs::file_size(root.path() / "MP" / p.file), 5000u);
  }
  EXPECT_EQ(extensions, (std::set<std::string>{".os", ".sut", ".req", ".opt"}));
  EXPECT_EQ(plat::GetProfileString("Product", "Version", "", root.path() / "netboot" / "MediaInfo.ini"),
            media.osVersion);
}

TEST(MkMedia, ProductBytesPredictEveryBlockOfTheFile) {
  kelptest::TempDir root;
  Media media = DefaultMedia(70001);
  std::string error;
  ASSERT_TRUE(WriteMedia(root.path(), media, error)) << error;
  const Product& product = media.products[0];
  const std::vector<std::uint8_t> file = FileBytes(root.path() / "MP" / product.file);
  ASSERT_EQ(file.size(), 70001u);
  const std::string header = ProductHeader(product);
  EXPECT_EQ(std::string(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(header.size())), header);
  EXPECT_NE(header.find("Name: NAS OS\n"), std::string::npos);
  EXPECT_NE(header.find("Kind: os\n"), std::string::npos);
  // Blocks at odd offsets and lengths, across the header's end and word boundaries.
  for (const auto& [offset, length] : std::vector<std::pair<std::size_t, std::size_t>>{
           {0, 70001}, {3, 5}, {header.size() - 2, 11}, {1021, 4099}, {69990, 11}}) {
    std::vector<std::uint8_t> block(length);
    ProductBytes(product, offset, block);
    EXPECT_TRUE(std::equal(block.begin(), block.end(), file.begin() + static_cast<std::ptrdiff_t>(offset)))
        << offset << "+" << length;
  }
}

TEST(MkMedia, StreamsDifferBetweenProductsAndRepeatBetweenRuns) {
  kelptest::TempDir a;
  kelptest::TempDir b;
  const Media media = DefaultMedia(4096);
  std::string error;
  ASSERT_TRUE(WriteMedia(a.path(), media, error) && WriteMedia(b.path(), media, error)) << error;
  EXPECT_EQ(FileBytes(a.path() / "MP" / "nasos.img"), FileBytes(b.path() / "MP" / "nasos.img"));
  std::vector<std::uint8_t> first(256), second(256);
  ProductBytes(media.products[0], 1024, first);
  ProductBytes(media.products[1], 1024, second);
  EXPECT_NE(first, second);
}

TEST(MkMedia, RegistersTheNetbootFolderAsTftpRoot) {
  kelptest::IsolatedEnv env;
  kelptest::TempDir root;
  std::string error;
  ASSERT_TRUE(RegisterTftpRoot(root.path(), error)) << error;
  EXPECT_EQ(plat::GetProfileString("Parameters", "File path", "", env.systemRoot() / "tftp.ini"),
            (root.path() / "netboot").string());
}

// --pxelinux: the two syslinux files byte for byte and a configuration naming the installer; a
// missing source names the file and its package, and no configuration is written.
TEST(MkMedia, PxelinuxMakesTheNetbootFolderBootable) {
  kelptest::TempDir root, system;
  kelptest::WriteFile(system.path() / "pxelinux.0", std::string("PXE\0boot", 8));
  kelptest::WriteFile(system.path() / "ldlinux.c32", "module");
  const PxelinuxFiles from{system.path() / "pxelinux.0", system.path() / "ldlinux.c32"};
  std::string error;
  ASSERT_TRUE(AddPxelinux(root.path(), from, error)) << error;
  EXPECT_EQ(kelptest::ReadFile(root.path() / "netboot" / "pxelinux.0"), std::string("PXE\0boot", 8));
  EXPECT_EQ(kelptest::ReadFile(root.path() / "netboot" / "ldlinux.c32"), "module");
  EXPECT_THAT(kelptest::ReadFile(root.path() / "netboot" / "pxelinux.cfg" / "default"),
              testing::HasSubstr("KERNEL nasinstall.krn\n"));

  kelptest::TempDir other;
  const PxelinuxFiles missing{system.path() / "pxelinux.0", system.path() / "none.c32"};
  EXPECT_FALSE(AddPxelinux(other.path(), missing, error));
  EXPECT_EQ(error, (system.path() / "none.c32").string() + " is missing (Debian package syslinux-common)");
  EXPECT_FALSE(fs::exists(other.path() / "netboot" / "pxelinux.cfg" / "default"));
}

TEST(MkMedia, RefusesProductFileNamesWithAFolder) {
  kelptest::TempDir root;
  Media media = DefaultMedia(10);
  media.products[0].file = "../escape.img";
  std::string error;
  EXPECT_FALSE(WriteMedia(root.path(), media, error));
  EXPECT_FALSE(fs::exists(root.path() / "escape.img"));
}

TEST(MkMedia, ParsesSizesWithBinarySuffixes) {
  const struct {
    const char* text;
    std::optional<std::uint64_t> size;
  } cases[] = {{"512M", 512ull << 20}, {"64K", 64ull << 10}, {"1G", 1ull << 30}, {"100", 100},
               {"0", 0},           {"", std::nullopt},    {"M", std::nullopt}, {"12MB", std::nullopt},
               {"-1", std::nullopt}, {"99999999999999G", std::nullopt}};
  for (const auto& c : cases) EXPECT_EQ(ParseSize(c.text), c.size) << c.text;
}

TEST(MkMediaHeader, ReadsBackWhatItWrote) {
  Product product = DefaultMedia(123456).products[1];
  product.clusterStop = true;
  product.reboot = true;
  const std::string header = ProductHeader(product);
  EXPECT_NE(header.find("\nRequires: cluster-stop+reboot\n\n"), std::string::npos) << header;
  std::size_t headerSize = 0;
  const auto parsed = ParseProductHeader(header + "stream bytes\n\nmore", &headerSize);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(headerSize, header.size());
  EXPECT_EQ(ProductHeader(*parsed), header);
  EXPECT_EQ(parsed->kind, product.kind);
  EXPECT_EQ(parsed->size, 123456u);
  EXPECT_TRUE(parsed->clusterStop && parsed->reboot);
  EXPECT_FALSE(parsed->nodeStop || parsed->serviceStop);
}

TEST(MkMediaHeader, RefusesWhatIsNotAWholeHeader) {
  const std::string good = ProductHeader(DefaultMedia(10).products[0]);
  const auto replaced = [&good](const std::string& from, const std::string& to) {
    std::string text = good;
    text.replace(text.find(from), from.size(), to);
    return text;
  };
  const struct {
    const char* name;
    std::string text;
  } cases[] = {
      {"empty", ""},
      {"cut_before_the_blank_line", good.substr(0, good.size() - 1)},
      {"other_title", replaced("KELPSET PRODUCT", "KELPSET PRODUCTS")},
      {"empty_name", replaced("Name: NAS OS", "Name: ")},
      {"unknown_kind", replaced("Kind: os", "Kind: dvd")},
      {"size_not_a_number", replaced("Size: 10", "Size: 1O")},
      {"size_empty", replaced("Size: 10", "Size: ")},
      {"size_too_large", replaced("Size: 10", "Size: 99999999999999999999999")},
      {"unknown_requirement", replaced("Requires: none", "Requires: reboot+coffee")},
      {"missing_requirements", replaced("Requires: none\n", "")},
      {"line_out_of_order", replaced("Name: NAS OS\nVersion: 05-00-01-00", "Version: 05-00-01-00\nName: NAS OS")},
      {"extra_line", replaced("Requires: none\n", "Requires: none\nColour: blue\n")},
  };
  for (const auto& c : cases) EXPECT_FALSE(ParseProductHeader(c.text)) << c.name;
}

TEST(MkMediaProgram, BuildsTheMediumFromTheCommandLine) {
  kelptest::IsolatedEnv env;
  kelptest::TempDir root;
  plat::Process process;
  ASSERT_TRUE(process.Start(KELP_MKMEDIA_PATH, {"--product", "os,NAS OS,05-00-02-00,os.img,3K,45", "--product",
                                                "opt,Extra,04-00-00-00,extra.img,200,15,node-stop+reboot",
                                                "--register", root.path().string()}));
  ASSERT_EQ(process.Wait(plat::Millis(60000)), 0);
  EXPECT_EQ(fs::file_size(root.path() / "MP" / "os.img"), 3072u);
  EXPECT_EQ(plat::GetProfileString("Install", "Timeout", "", root.path() / "MP" / "os.os"), "45");
  EXPECT_EQ(plat::GetProfileString("Product", "Name", "", root.path() / "MP" / "extra.opt"), "Extra");
  EXPECT_EQ(plat::GetProfileString("Product", "Version", "", root.path() / "netboot" / "MediaInfo.ini"),
            "05-00-02-00");
  EXPECT_FALSE(fs::exists(root.path() / "MP" / "nasos.img"));
  const auto extra = ParseProductHeader(kelptest::ReadFile(root.path() / "MP" / "extra.img"));
  ASSERT_TRUE(extra);
  EXPECT_TRUE(extra->nodeStop && extra->reboot);
  EXPECT_FALSE(extra->clusterStop || extra->serviceStop);
  EXPECT_EQ(plat::GetProfileString("Parameters", "File Path", "", env.systemRoot() / "tftp.ini"),
            (root.path() / "netboot").string());
}

TEST(MkMedia, RawDescriptionsHoldExactlyTheKeysGiven) {
  EXPECT_EQ(RawDescriptionText("Name=X;File=../x.img;Timeout=10m;Version="),
            "[Product]\nName=X\nFile=../x.img\nVersion=\n\n[Install]\nTimeout=10m\n");
  EXPECT_EQ(RawDescriptionText(""), "[Product]\n\n[Install]\n");
  EXPECT_FALSE(RawDescriptionText("Name=X;Colour=blue"));
  EXPECT_FALSE(RawDescriptionText("Name"));
}

TEST(MkMediaProgram, WritesSeveralProductsOfAKindPatchesAndRawDescriptions) {
  kelptest::TempDir root;
  plat::Process process;
  ASSERT_TRUE(process.Start(KELP_MKMEDIA_PATH,
                            {"--product", "os,NAS OS,05-00-02-00,b.img,1K", "--product", "os,NAS OS Lite,05-00-01-00,a.img,1K",
                             "--product", "opt,Hotfix,-,fix.img,10", "--envfile", "bad.sut", "Name=Bad;File=/etc/hostname",
                             root.path().string()}));
  ASSERT_EQ(process.Wait(plat::Millis(60000)), 0);
  EXPECT_EQ(plat::GetProfileString("Product", "Name", "", root.path() / "MP" / "a.os"), "NAS OS Lite");
  EXPECT_EQ(plat::GetProfileString("Product", "Name", "", root.path() / "MP" / "b.os"), "NAS OS");
  EXPECT_EQ(plat::GetProfileString("Product", "Version", "", root.path() / "MP" / "fix.opt"), "-");
  EXPECT_EQ(kelptest::ReadFile(root.path() / "MP" / "bad.sut"), "[Product]\nName=Bad\nFile=/etc/hostname\n\n[Install]\n");
  EXPECT_EQ(plat::GetProfileString("Product", "Version", "", root.path() / "netboot" / "MediaInfo.ini"),
            "05-00-02-00");
}

TEST(MkMediaProgram, RejectsBadArguments) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {}, {"--size", "lots", "x"}, {"--product", "dvd,A,1,a.img,1", "x"}, {"--product", "os,A,1,a.img", "x"},
           {"--product", "os,A,1,a.img,1,30,reboot+nap", "x"}, {"--product", "os,A,1,a.img,1,30,none,x", "x"},
           {"--bogus", "x"}, {"a", "b"}, {"--envfile", "x.os", "Colour=blue", "x"}, {"--envfile", "x.os"}}) {
    plat::Process process;
    ASSERT_TRUE(process.Start(KELP_MKMEDIA_PATH, args));
    EXPECT_EQ(process.Wait(plat::Millis(60000)), 2) << (args.empty() ? "" : args[0]);
  }
}

}  // namespace
