// The medium's text rules, the catalogue built from media that kelp-mkmedia writes (good and
// broken description files), the CD-ROM search and the start-up locating of the medium.
#include <gtest/gtest.h>

#include <algorithm>

#include "TestEnv.h"
#include "common/CusrTrace.h"
#include "common/MemoryTraceSink.h"
#include "media/CusrMedia.h"
#include "media/MediaRules.h"
#include "mkmedia/MediaWriter.h"
#include "plat/Profile.h"

namespace fs = std::filesystem;
using board::ProductRecord;

namespace {

bool Traced(const common::MemoryTraceSink& sink, const std::string& text) {
  const auto lines = sink.TaggedTexts();
  return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(text) != std::string::npos; });
}

TEST(MediaRules, TextsOfVersionsTimeoutsAndFiles) {
  const struct {
    const char* text;
    bool version;
  } versions[] = {{"04-00-00-00", true}, {"-", true},         {"4-0-0-0", false},     {"04-00-00", false},
                  {"04-00-00-0a", false}, {"04-00-00-00 ", false}, {"", false},      {"04.00.00.00", false}};
  for (const auto& c : versions) EXPECT_EQ(media::IsValidVersion(c.text), c.version) << c.text;

  const struct {
    const char* text;
    std::optional<std::uint32_t> minutes;
  } timeouts[] = {{"1", 1},           {"0010", 10},          {"1440", 1440},       {"0", std::nullopt},
                  {"1441", std::nullopt}, {"10m", std::nullopt}, {"", std::nullopt}, {"-5", std::nullopt},
                  {"99999999999999999999999999", std::nullopt}, {"18446744073709551617", std::nullopt}};
  for (const auto& c : timeouts) EXPECT_EQ(media::ParseTimeoutMinutes(c.text), c.minutes) << c.text;

  const struct {
    const char* file;
    bool safe;
  } files[] = {{"a.img", true},    {"sub/a.img", true},  {"a..b.img", true},  {"../a.img", false},
               {"a/../b", false},  {"sub\\..\\x", false}, {"/etc/passwd", false}, {"\\x", false},
               {"C:x.img", false}, {"..", false},        {"", false}};
  for (const auto& c : files) EXPECT_EQ(media::IsSafeProductFileName(c.file), c.safe) << c.file;
}

TEST(MediaRules, VersionDisplayAndListOrder) {
  EXPECT_EQ(media::GetVersionString("05-00-01-00", false), "05-00-01");
  EXPECT_EQ(media::GetVersionString("05-00-01-00", true), "05-00-01-00");
  EXPECT_EQ(media::GetVersionString("05", false), "05");
  EXPECT_EQ(media::GetVersionString("05-00-01", false), "05-00-01");
  EXPECT_EQ(media::GetVersionString("05-00-01-00-07", false), "05-00-01");

  std::vector<ProductRecord> list;
  for (const char* env : {"b.os", "a.os", "c.os", "a.os", "B.os"}) {
    ProductRecord r;
    r[board::kProductEnvFile] = env;
    r[board::kProductName] = std::to_string(list.size());
    media::InsertByEnvFileName(list, r);
  }
  std::vector<std::string> order;
  for (const ProductRecord& r : list) order.push_back(r[board::kProductEnvFile] + "#" + r[board::kProductName]);
  EXPECT_EQ(order, (std::vector<std::string>{"B.os#4", "a.os#1", "a.os#3", "b.os#0", "c.os#2"}));
}

class Catalogue : public ::testing::Test {
 protected:
  void SetUp() override { SetTrace(&m_trace, TRC_MASK_NORMAL); }
  void TearDown() override { SetTrace(nullptr, 0); }

  static mkmedia::Product P(mkmedia::ProductKind kind, const char* name, const char* version, const char* file,
                            const char* timeout = "30") {
    mkmedia::Product p;
    p.kind = kind;
    p.name = name;
    p.version = version;
    p.build = std::string("b-") + version;
    p.file = file;
    p.size = 16;
    p.timeout = timeout;
    return p;
  }
  void Write(const mkmedia::Media& m) {
    std::string error;
    ASSERT_TRUE(mkmedia::WriteMedia(m_root.path(), m, error)) << error;
  }
  void Raw(mkmedia::Media& m, const char* name, const char* items) {
    m.rawDescriptions.push_back({name, *mkmedia::RawDescriptionText(items)});
  }
  static std::vector<std::string> Names(const std::shared_ptr<const CusrMedia::ProductList>& list) {
    std::vector<std::string> names;
    if (list)
      for (const ProductRecord& r : *list) names.push_back(r[board::kProductName]);
    return names;
  }

  common::MemoryTraceSink m_trace;
  kelptest::TempDir m_root;
  kelptest::IsolatedEnv m_env;
};

TEST_F(Catalogue, KindsOrderAndEveryKindOfBrokenDescription) {
  using K = mkmedia::ProductKind;
  mkmedia::Media m;
  m.products = {P(K::Os, "NAS OS B", "05-00-01-00", "b.img"), P(K::Os, "NAS OS A", "05-00-00-00", "a.img", "0045"),
                P(K::Sut, "Backup", "05-00-01-00", "backup.img"), P(K::Opt, "Hotfix", "-", "fix.img", "")};
  Raw(m, "empty-timeout.req", "Name=Req;Version=04-01-00-00;File=a.img;Timeout=");
  Raw(m, "letter.req", "Name=Letter;Version=04-01-00-00;File=a.img;Timeout=10m");
  Raw(m, "huge.req", "Name=Huge;Version=04-01-00-00;File=a.img;Timeout=99999999999999999999999");
  Raw(m, "day.req", "Name=Day;Version=04-01-00-00;File=a.img;Timeout=1441");
  Raw(m, "climb.sut", "Name=Climb;Version=04-01-00-00;File=../a.img");
  Raw(m, "abs.sut", "Name=Abs;Version=04-01-00-00;File=/etc/hostname");
  Raw(m, "badver.sut", "Name=BadVer;Version=5-0;File=a.img");
  Raw(m, "noname.sut", "Version=04-01-00-00;File=a.img");
  Raw(m, "nofile.sut", "Name=NoFile;Version=04-01-00-00;File=missing.img");
  Raw(m, "upper.opt", "Name=Upper;Version=04-02-00-00;File=A.IMG");
  // Found by fuzz_media_files: a File naming a folder of the medium was taken as a product file.
  Raw(m, "folder.opt", "Name=Folder;Version=04-02-00-00;File=sub/");
  // A value longer than 259 characters is refused, not cut; so is one with a NUL inside, which
  // the file system would read only up to the NUL.
  const std::string strLongName = "Name=" + std::string(260, 'n') + ";Version=04-02-00-00;File=a.img";
  Raw(m, "long.opt", strLongName.c_str());
  Write(m);
  std::filesystem::create_directory(m_root.path() / "MP" / "sub");
  kelptest::WriteFile(m_root.path() / "MP" / "nul.opt",
                      "[Product]\nName=Nul\nVersion=04-02-00-00\nFile=a.img" + std::string(1, '\0') + "/x\n");

  CusrMedia cMedia({m_root.path().string(), false});
  ASSERT_EQ(cMedia.CreateProductArrayInMedia(), 0u);
  EXPECT_EQ(cMedia.MediaFolder(), (m_root.path() / "MP").string());
  const CusrMedia::ProductArray a = cMedia.GetProductArrayInMedia();
  EXPECT_EQ(Names(a[0]), (std::vector<std::string>{"NAS OS A", "NAS OS B"}));
  EXPECT_EQ(Names(a[1]), (std::vector<std::string>{"Backup"}));
  EXPECT_EQ(Names(a[2]), (std::vector<std::string>{"Req"}));
  EXPECT_EQ(Names(a[3]), (std::vector<std::string>{"Hotfix", "Upper"}));

  const ProductRecord os = (*a[0])[0];
  EXPECT_EQ(os, (ProductRecord{"NAS OS A", "05-00-00-00", (m_root.path() / "MP" / "a.img").string(), "45", "a.os",
                               "b-05-00-00-00"}));
  EXPECT_EQ((*a[2])[0][board::kProductTimeout], "1");
  EXPECT_EQ((*a[3])[0][board::kProductTimeout], "1");
  EXPECT_EQ((*a[3])[1][board::kProductFilePath], (m_root.path() / "MP" / "a.img").string());

  // Records are found by identity: kind and position, whatever their names.
  std::vector<std::pair<std::string, bool>> listed;
  for (const media::CatalogueEntry& e : cMedia.GetCatalogueEntries()) {
    EXPECT_EQ(cMedia.GetPPInfoEx(e.key), e.record);
    listed.emplace_back(e.record[board::kProductName], CusrMedia::IsOS(e.key));
  }
  EXPECT_EQ(listed, (std::vector<std::pair<std::string, bool>>{
                        {"NAS OS A", true}, {"NAS OS B", true}, {"Backup", false}, {"Req", false},
                        {"Hotfix", false}, {"Upper", false}}));
  EXPECT_EQ(cMedia.GetPPInfoEx({3, 0}).value()[board::kProductVersion], "-");
  EXPECT_FALSE(cMedia.GetPPInfoEx({3, 2}));
  EXPECT_FALSE(cMedia.GetPPInfoEx({1, 1}));
  EXPECT_FALSE(cMedia.GetPPInfoEx({4, 0}));

  for (const char* bad :
       {"letter.req", "huge.req", "day.req", "climb.sut", "abs.sut", "badver.sut", "noname.sut", "long.opt", "nul.opt"})
    EXPECT_TRUE(Traced(m_trace, std::string("Envfile Error : ") + (m_root.path() / "MP" / bad).string())) << bad;
  EXPECT_TRUE(Traced(m_trace, "Invalid value : Name"));
  EXPECT_TRUE(Traced(m_trace, "Invalid value : File"));
  EXPECT_TRUE(Traced(m_trace, "No such file : " + (m_root.path() / "MP" / "sub/").string()));
  EXPECT_TRUE(Traced(m_trace, "[DMEN03507E]The file is invalid. \nFile name: " +
                                  (m_root.path() / "MP" / "folder.opt").string()));
  EXPECT_TRUE(Traced(m_trace, "No such file : " + (m_root.path() / "MP" / "missing.img").string()));
  EXPECT_TRUE(Traced(m_trace, "[DMEN03507E]The file is invalid. \nFile name: " +
                                  (m_root.path() / "MP" / "nofile.sut").string()));
  EXPECT_TRUE(Traced(m_trace, "Invalid timeout!"));
}

TEST_F(Catalogue, ListsOutliveTheObjectThatBuiltThem) {
  mkmedia::Media m;
  m.products = {P(mkmedia::ProductKind::Os, "NAS OS", "05-00-01-00", "nasos.img")};
  Write(m);
  CusrMedia::ProductArray held;
  {
    auto pMedia = std::make_unique<CusrMedia>(media::MediaLocation{m_root.path().string(), false});
    ASSERT_EQ(pMedia->CreateProductArrayInMedia(), 0u);
    held = pMedia->GetProductArrayInMedia();
  }
  ASSERT_TRUE(held[0]);
  EXPECT_EQ((*held[0])[0][board::kProductName], "NAS OS");
  EXPECT_FALSE(held[1] || held[2] || held[3]);
}

class Locate : public Catalogue {
 protected:
  std::string TftpRoot() const {
    return plat::GetProfileString("Parameters", "File Path", "", m_env.systemRoot() / "tftp.ini");
  }
};

TEST_F(Locate, ConfiguredProductFolderIsTakenAsIs) {
  kelptest::TempDir medium;
  fs::create_directories(medium / "MP");
  CusrMedia cMedia;
  const media::LocateResult r = cMedia.LocateInstallMedia((medium / "MP").string() + "/");
  EXPECT_EQ(r.ulError, 0u);
  EXPECT_EQ(r.location.strRoot, (medium / "MP").string());
  EXPECT_TRUE(r.location.bRootIsMP);
  EXPECT_EQ(TftpRoot(), (medium / "netboot").string());
  std::string strPath;
  cMedia.GetInstallFilesPath(&strPath);
  EXPECT_EQ(strPath, (medium / "MP").string());
}

TEST_F(Locate, MissingFolderFallsBackToTheFirstCdRomThenToDriveC) {
  kelptest::WriteFile(m_root / "mounts",
                      "/dev/sda1 / ext4 rw 0 0\n/dev/sr1 /media/first\\040disc iso9660 ro 0 0\n"
                      "/dev/sr0 /media/second udf ro 0 0\n");
  CusrMedia cMedia({}, m_root / "mounts");
  media::LocateResult r = cMedia.LocateInstallMedia("/no/such/media/MP");
  EXPECT_EQ(r.location.strRoot, "/media/first disc");
  EXPECT_FALSE(r.location.bRootIsMP);
  EXPECT_EQ(TftpRoot(), "/media/first disc/netboot");
  EXPECT_TRUE(Traced(m_trace, "File not found (default path): error path = /no/such/media/MP, error code = 0x00000002"));

  kelptest::WriteFile(m_root / "mounts", "/dev/sda1 / ext4 rw 0 0\n");
  CusrMedia cNoCd({}, m_root / "mounts");
  std::string strDrive;
  EXPECT_EQ(cNoCd.SearchCDROM(&strDrive), CusrMedia::kErrNoCdRom);
  r = cNoCd.LocateInstallMedia("/no/such/media/MP");
  EXPECT_EQ(r.location.strRoot, m_env.systemRoot().string());
  EXPECT_EQ(TftpRoot(), (m_env.systemRoot() / "netboot").string());
  EXPECT_TRUE(Traced(m_trace, "CD-ROM drive cannot be found"));
  EXPECT_TRUE(Traced(m_trace, "SearchCDROM() : code = 0x00000006"));
}

TEST_F(Locate, UnwritableTftpSettingsGiveTwentyFour) {
  kelptest::WriteFile(m_root / "plainfile", "");
  kelptest::ScopedEnv root("KELP_SYSTEM_ROOT", (m_root / "plainfile" / "sys").string());
  CusrMedia cMedia({}, m_root / "none");
  EXPECT_EQ(cMedia.SetInstallDevice(m_root.path().string()), CusrMedia::kErrTftpIni);
  EXPECT_TRUE(Traced(m_trace, "[DMEN03506E]A file I/O error occurred in SVP."));
}

}  // namespace
