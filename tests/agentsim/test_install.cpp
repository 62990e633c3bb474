// Installation through a real kelpftpd: the simulated board fetches the product file, checks
// its header and every byte, and lists the product afterwards.
#include <gtest/gtest.h>

#include "AgentSimHarness.h"
#include "FtpdHarness.h"
#include "common/ProcessContext.h"
#include "common/RecordingDisplay.h"
#include "mkmedia/MediaWriter.h"

using namespace agentsimtest;
using agent::ProductTexts;

namespace {

class AgentSimInstall : public testing::Test {
 protected:
  void SetUp() override {
    media = mkmedia::DefaultMedia(300000);
    media.products[1].clusterStop = true;
    media.products[1].reboot = true;
    std::string error;
    ASSERT_TRUE(mkmedia::WriteMedia(ftpd.root(), media, error)) << error;
    ASSERT_EQ(ftpd.Start(), "KELPFTPD OK");
    ASSERT_TRUE(sim.Start());
  }

  std::uint32_t Install(const std::string& file, std::uint32_t* pVerdict) {
    return Exchange(client, [&](int s) { return client.RequestInstall(s, 1234, file, ftpd.address(), ftpd.port()); },
                    [&](int s) { return client.ReplyInstall(s, 600, pVerdict); });
  }
  std::vector<ProductTexts> Products() {
    std::vector<ProductTexts> products;
    EXPECT_EQ(Exchange(client, [&](int s) { return client.RequestUninstInfo(s); },
                       [&](int s) { return client.ReplyUninstInfo(s, &products); }),
              0u);
    return products;
  }

  ftptest::FtpdHarness ftpd;
  RecordingDisplay display;
  common::ProcessContext context{{.display = &display}};
  AgentSim sim;
  CusrNasManager client = sim.Client(8);
  mkmedia::Media media;
};

TEST_F(AgentSimInstall, InstalledProductIsListedAndCanBeRemoved) {
  std::uint32_t verdict = 0xFFFFFFFF;
  ASSERT_EQ(Install(media.products[1].file, &verdict), 0u);
  EXPECT_EQ(verdict, 0u) << sim.Stderr();
  std::vector<ProductTexts> products = Products();
  ASSERT_EQ(products.size(), 2u);
  const ProductTexts& installed = products[1];
  EXPECT_EQ(installed[agent::kProductName], "NAS Backup Support");
  EXPECT_EQ(installed[agent::kProductVersion], "05-00-01-00");
  EXPECT_EQ(installed[agent::kProductType], "SUT ");
  EXPECT_EQ(installed[agent::kProductDate].size(), agent::kInstallDateWidth);

  const std::uint32_t code = static_cast<std::uint32_t>(std::stoul(installed[agent::kProductCode]));
  EXPECT_EQ(Exchange(client, [&](int s) { return client.RequestUninstall(s, code, installed[agent::kProductName]); },
                     [&](int s) { return client.ReplyUninstall(s); }),
            0u);
  EXPECT_EQ(Products().size(), 1u);
  EXPECT_NE(Exchange(client, [&](int s) { return client.RequestUninstall(s, code, "gone"); },
                     [&](int s) { return client.ReplyUninstall(s); }),
            0u);
}

TEST_F(AgentSimInstall, BadFilesAreRefusedAndNothingIsRecorded) {
  // A product file with one byte changed, one cut short, and one that is no product at all.
  std::string bytes = kelptest::ReadFile(ftpd.mp() / media.products[2].file);
  bytes[200000] = static_cast<char>(bytes[200000] ^ 1);
  kelptest::WriteFile(ftpd.mp() / "altered.img", bytes);
  kelptest::WriteFile(ftpd.mp() / "short.img", kelptest::ReadFile(ftpd.mp() / media.products[2].file).substr(0, 1000));
  kelptest::WriteFile(ftpd.mp() / "text.img", "hello\n\nworld");
  const struct {
    const char* file;
    std::uint32_t verdict;
  } cases[] = {{"altered.img", 0x10000005}, {"short.img", 0x10000005}, {"text.img", 0x10000005},
               {"missing.img", 0x10000003}};
  for (const auto& c : cases) {
    std::uint32_t verdict = 0;
    EXPECT_EQ(Install(c.file, &verdict), 0u) << c.file;
    EXPECT_EQ(verdict, c.verdict) << c.file;
  }
  EXPECT_EQ(Products().size(), 1u);
}

TEST_F(AgentSimInstall, InstallCheckAnswersFromTheProductHeader) {
  const auto check = [&](const std::string& file, std::uint32_t* pFlags, std::uint32_t* pReboot, std::uint32_t* pResult) {
    return Exchange(client,
                    [&](int s) { return client.RequestSutInstallCheck(s, file, ftpd.address(), ftpd.port()); },
                    [&](int s) { return client.ReplySutInstallCheck(s, pFlags, pReboot, pResult); });
  };
  std::uint32_t flags = 0, reboot = 0, result = 0xFFFF;
  EXPECT_EQ(check(media.products[1].file, &flags, &reboot, &result), 0u);
  EXPECT_EQ(flags, agent::kNeedClusterStop);
  EXPECT_EQ(reboot, 1u);
  EXPECT_EQ(result, 0u) << "a restart afterwards does not make the product unneeded";
  // Once the board carries that very version the check says it needs no installation.
  std::uint32_t verdict = 0xFFFFFFFF;
  ASSERT_EQ(Install(media.products[1].file, &verdict), 0u);
  ASSERT_EQ(verdict, 0u) << sim.Stderr();
  flags = reboot = 0;
  EXPECT_EQ(check(media.products[1].file, &flags, &reboot, &result), 0u);
  EXPECT_EQ(reboot, 1u);
  EXPECT_EQ(result, agent::kSutCheckNotice0);
  flags = reboot = 0;
  EXPECT_EQ(check(media.products[3].file, &flags, &reboot, &result), 0u);
  EXPECT_EQ(flags, 0u);
  EXPECT_EQ(reboot, 0u);
  EXPECT_EQ(result, 0u);
  EXPECT_EQ(check("missing.img", &flags, &reboot, &result), agent::kResultAgentInfo);
}

}  // namespace
