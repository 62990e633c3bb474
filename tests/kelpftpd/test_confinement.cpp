// No request reads outside the install-files folder: names are resolved through ".." and
// symbolic links and must end inside it, as a regular file.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "FtpdHarness.h"

namespace fs = std::filesystem;
using kelpftp::ClientStatus;
using namespace ftptest;
using testing::HasSubstr;

namespace {

const std::string kInside = "inside content";
const std::string kSecret = "secret content";

struct Case {
  const char* name;
  std::string request;  // "{MP}" and "{ROOT}" stand for the absolute folders
  bool served;
};

class FtpdConfinement : public testing::TestWithParam<Case> {
 protected:
  // One server for the whole table: each case has a connection of its own.
  static void SetUpTestSuite() {
    s_server = std::make_unique<FtpdHarness>();
    const fs::path mp = s_server->mp();
    const fs::path root = s_server->root();
    kelptest::WriteFile(mp / "product.img", kInside);
    fs::create_directories(mp / "sub");
    kelptest::WriteFile(mp / "sub" / "inner.img", kInside);
    kelptest::WriteFile(root / "secret.txt", kSecret);
    fs::create_directories(root / "outside");
    kelptest::WriteFile(root / "outside" / "secret.txt", kSecret);
    fs::create_symlink("product.img", mp / "alias.img");
    fs::create_symlink(mp / "sub" / "inner.img", mp / "absolute-alias.img");
    fs::create_symlink("../secret.txt", mp / "escape.img");
    fs::create_symlink(root / "outside", mp / "outdir");
    fs::create_symlink("/etc/passwd", mp / "passwd.img");
    ASSERT_EQ(s_server->Start(), "KELPFTPD OK");
  }
  static void TearDownTestSuite() { s_server.reset(); }

  static std::string Expand(std::string text) {
    for (const auto& [key, value] : {std::pair<std::string, std::string>{"{MP}", s_server->mp().string()},
                                     std::pair<std::string, std::string>{"{ROOT}", s_server->root().string()}}) {
      for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key))
        text.replace(at, key.size(), value);
    }
    return text;
  }

  static std::unique_ptr<FtpdHarness> s_server;
};

std::unique_ptr<FtpdHarness> FtpdConfinement::s_server;

TEST_P(FtpdConfinement, ServesOnlyFilesInsideTheFolder) {
  const Case& c = GetParam();
  kelpftp::FtpClient client = s_server->Connect();
  std::vector<std::uint8_t> data;
  bool more = true;
  const ClientStatus status = client.ReadBlock(Expand(c.request), 0, 64, data, more);
  if (c.served) {
    ASSERT_EQ(status, ClientStatus::Ok) << client.Error();
    EXPECT_EQ(std::string(data.begin(), data.end()), kInside);
  } else {
    ASSERT_EQ(status, ClientStatus::ErrorReply) << client.Error();
    EXPECT_EQ(client.ErrorStatus(), 3u);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FtpdConfinement,
    testing::Values(Case{"BareName", "product.img", true}, Case{"RelativeSubPath", "sub/inner.img", true},
                    Case{"BackslashSubPath", "sub\\inner.img", true},
                    Case{"DotDotStayingInside", "sub/../product.img", true},
                    Case{"AbsoluteInside", "{MP}/sub/inner.img", true},
                    Case{"AbsoluteThroughDotDotBackInside", "{MP}/../MP/product.img", true},
                    Case{"SymlinkInsideToInside", "alias.img", true},
                    Case{"AbsoluteSymlinkToInside", "absolute-alias.img", true},
                    Case{"RelativeToCurrentFolderInside", "MP/product.img", true},
                    Case{"DotDotOut", "../secret.txt", false},
                    Case{"DeepDotDotToSystemFile", "../../../../../../../../etc/passwd", false},
                    Case{"AbsoluteOutside", "{ROOT}/secret.txt", false},
                    Case{"AbsoluteSystemFile", "/etc/passwd", false},
                    Case{"SymlinkOut", "escape.img", false},
                    Case{"SymlinkToSystemFile", "passwd.img", false},
                    Case{"SymlinkedFolderOut", "outdir/secret.txt", false},
                    Case{"RelativeToCurrentFolderOutside", "secret.txt", false},
                    Case{"DriveCPath", "C:\\tftp.ini", false},
                    Case{"OtherDrive", "D:\\MP\\product.img", false},
                    Case{"TheFolderItself", "{MP}", false}, Case{"SubFolder", "sub", false},
                    Case{"Missing", "missing.img", false}, Case{"EmptyName", "", false}),
    CaseName());

TEST_F(FtpdConfinement, OutsideNamesAreTracedAsNotFound) {
  kelpftp::FtpClient client = s_server->Connect();
  std::uint32_t size = 0;
  ASSERT_EQ(client.RequestSize("../secret.txt", size), ClientStatus::ErrorReply);
  const std::string line = "Install file not found. PATH = " + (s_server->mp() / "../secret.txt").string() +
                           ". FindFile error = Permission denied";
  EXPECT_THAT(s_server->TraceText(), HasSubstr(line)) << line;
}

TEST_F(FtpdConfinement, NameFieldIsReadAsAtMost1023Characters) {
  // 1023 characters naming the product, and a 1024th that is not a NUL.
  std::string name;
  while (name.size() + 2 <= 1023 - std::string("product.img").size()) name += "./";
  name += "product.img";
  ASSERT_EQ(name.size(), 1023u);
  RawConnection raw;
  ASSERT_TRUE(raw.Connect(s_server->address(), s_server->port()));
  ASSERT_TRUE(raw.Read(28));
  ASSERT_TRUE(raw.Send(FileRequestBytes(name + "X", 0xFFFFFFFF, 0)));
  std::vector<std::uint8_t> expected = ReplyBytes(0x00020001, 0);
  PutBE32(expected, static_cast<std::uint32_t>(kInside.size()));
  EXPECT_EQ(raw.Read(expected.size()), expected);
}

}  // namespace
