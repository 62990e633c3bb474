// The installation decisions without a board: which selected products still need installing,
// the patch checks, the NAS OS choice and the limits of an inherit installation.
#include <gtest/gtest.h>

#include <map>

#include "install/InstallRules.h"

namespace {

using install::ProductList;

board::ProductRecord Record(const std::string& name, const std::string& version, const std::string& timeout = "60") {
  board::ProductRecord r;
  r[board::kProductName] = name;
  r[board::kProductVersion] = version;
  r[board::kProductFilePath] = "MP/" + name + ".tar";
  r[board::kProductTimeout] = timeout;
  return r;
}

std::vector<std::string> Names(const ProductList& list) {
  std::vector<std::string> names;
  for (const auto& r : list) names.push_back(r[board::kProductName]);
  return names;
}

// A board as the check sees it: installed versions by name, patch check results by name.
struct FakeBoard : install::BoardFacts {
  bool exist = true;
  bool running = true;
  std::map<std::string, std::string> installed;
  std::map<std::string, std::pair<std::uint32_t, std::uint32_t>> patch;  // name -> (flags, result)
  bool patchCallFails = false;
  bool IsExistLinux() const override { return exist; }
  bool IsOsRunning() const override { return running; }
  int CompareProductVersion(const board::ProductRecord& r) const override {
    const auto it = installed.find(r[board::kProductName]);
    return it == installed.end() || r[board::kProductVersion] > it->second ? 1 : 0;
  }
  std::uint32_t SutInstallCheck(const board::ProductRecord& r, std::uint32_t* pulFlags,
                                std::uint32_t* pulResult) const override {
    if (patchCallFails) return 5;
    const auto it = patch.find(r[board::kProductName]);
    *pulFlags = it == patch.end() ? 0 : it->second.first;
    *pulResult = it == patch.end() ? 0 : it->second.second;
    return 0;
  }
};

TEST(InstallRules, NecessityFollowsTheBoardAndTheVersions) {
  const ProductList all = {Record("NAS OS", "05-01-00-00"), Record("NAS Backup", "05-00-00-00"),
                           Record("Fix A", "-"), Record("NAS Cluster", "05-02-00-00")};
  struct Case {
    const char* name;
    FakeBoard board;
    bool forcibly;
    bool goOn;
    std::vector<std::string> list;
    std::uint32_t message;
    std::uint32_t preOps;
  };
  FakeBoard fresh;
  fresh.exist = false;
  FakeBoard stopped;
  stopped.running = false;
  FakeBoard same;
  same.installed = {{"NAS OS", "05-01-00-00"}, {"NAS Backup", "05-00-00-00"}, {"NAS Cluster", "05-01-00-00"}};
  FakeBoard newer = same;
  newer.installed["NAS Cluster"] = "05-03-00-00";
  FakeBoard patchNotNeeded = same;
  patchNotNeeded.patch["Fix A"] = {0, install::kPatchNotNeeded};
  FakeBoard patchWrongOs = newer;
  patchWrongOs.patch["Fix A"] = {0, install::kPatchWrongNasOs};
  FakeBoard patchStops = same;
  patchStops.patch["Fix A"] = {install::kPreStopNode | install::kPreStopService, 0};
  FakeBoard patchCallFails = same;
  patchCallFails.patchCallFails = true;
  const std::vector<std::string> everything = {"NAS OS", "NAS Backup", "Fix A", "NAS Cluster"};
  const std::vector<Case> cases = {
      {"no NAS OS: everything", fresh, false, true, everything, 0, 0},
      {"stopped, not forcibly: refused", stopped, false, false, {}, 4011, 0},
      {"stopped, forcibly: everything", stopped, true, true, everything, 0, 0},
      {"running: same versions drop out", same, false, true, {"Fix A", "NAS Cluster"}, 0, 0},
      {"running, forcibly: versions not compared", same, true, true, everything, 0, 0},
      {"a downgrade drops out", newer, false, true, {"Fix A"}, 0, 0},
      {"a patch that is not needed drops out", patchNotNeeded, false, true, {"NAS Cluster"}, 0, 0},
      {"a patch for another NAS OS", patchWrongOs, false, false, {}, 4007, 0},
      {"a patch that needs stops first", patchStops, false, true, {"Fix A", "NAS Cluster"}, 0,
       install::kPreStopNode | install::kPreStopService},
      {"a failing patch check stops silently", patchCallFails, false, false, {}, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const install::Necessity n = install::IsInstallNecessary(c.board, all, 1, c.forcibly);
    EXPECT_EQ(n.bGoOn, c.goOn);
    if (c.goOn) {
      EXPECT_EQ(Names(n.list), c.list);
      // The NAS OS count follows the NAS OS at the head of what is left.
      EXPECT_EQ(n.nOsCount, !n.list.empty() && n.list.front()[board::kProductName] == "NAS OS" ? 1u : 0u);
    }
    EXPECT_EQ(n.ulMessage, c.message);
    EXPECT_EQ(n.ulPreOps, c.preOps);
  }
  // Nothing left at all: message 4012.
  const install::Necessity none = install::IsInstallNecessary(same, {all[0], all[1]}, 1, false);
  EXPECT_FALSE(none.bGoOn);
  EXPECT_EQ(none.ulMessage, 4012u);
}

TEST(InstallRules, VersionsLimitsAndTexts) {
  EXPECT_TRUE(install::BootsByItself(Record("NAS OS", "01-05-00-00")));
  EXPECT_FALSE(install::BootsByItself(Record("NAS OS", "05-01-00-00")));
  EXPECT_FALSE(install::BootsByItself(Record("Fix", "-")));
  EXPECT_TRUE(install::IsPatch(Record("Fix", "-")));
  EXPECT_EQ(install::InstallLimit(Record("x", "-", "3")), plat::Millis(180'000));
  EXPECT_EQ(install::InstallLimit(Record("x", "-", "1440")), plat::Millis(86'400'000));
  // A Timeout the catalogue does not accept counts as the least one.
  EXPECT_EQ(install::InstallLimit(Record("x", "-", "100000")), plat::Millis(60'000));

  EXPECT_EQ(install::PreOperationLines(install::kPreStopCluster | install::kPreStopNode), "- Stop the cluster\n");
  EXPECT_EQ(install::PreOperationLines(install::kPreStopNode | install::kPreStopService),
            "- Stop the node\n- Stop the service\n");
  EXPECT_EQ(install::ElapsedText(plat::Millis(725'000), plat::Millis(1'800'000)), "[12:05 of 30:00]");
  EXPECT_EQ(install::ElapsedText(plat::Millis(-5), plat::Millis(5'400'000)), "[0:00 of 1:30:00]");

  const ProductList products = {Record("NAS OS", "05-01-00-00", "60"), Record("A", "05-00-00-00", "3"),
                                Record("B", "-", "10")};
  const install::InheritLimits limits = install::GetInheritLimits(products);
  EXPECT_EQ(limits.total, plat::Millis((60 + 3 + 10) * 60'000 + 1'920'000));
  EXPECT_EQ(limits.wait, limits.total + plat::Millis(300'000));
}

TEST(InstallRules, OneNasOsPerInstallation) {
  std::size_t nOs = 2;
  ProductList refused;
  const ProductList chosen = install::KeepFirstNasOs(
      {Record("NAS OS", "05-01-00-00"), Record("NAS OS", "05-02-00-00"), Record("A", "05-00-00-00")}, &nOs, &refused);
  EXPECT_EQ(nOs, 1u);
  EXPECT_EQ(Names(chosen), (std::vector<std::string>{"NAS OS", "A"}));
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_EQ(refused[0][board::kProductVersion], "05-02-00-00");

  // The inherit installation takes the highest NAS OS of the medium, wherever it is listed.
  const std::vector<media::CatalogueEntry> catalogue = {{{0, 0}, Record("NAS OS", "05-01-00-00")},
                                                        {{0, 1}, Record("NAS OS", "05-03-00-00")},
                                                        {{0, 2}, Record("NAS OS", "05-02-00-00")},
                                                        {{1, 0}, Record("A", "05-00-00-00")}};
  const ProductList inherit = install::InheritProducts(catalogue, &nOs);
  EXPECT_EQ(nOs, 1u);
  ASSERT_EQ(inherit.size(), 2u);
  EXPECT_EQ(inherit[0][board::kProductVersion], "05-03-00-00");
  // A product is a NAS OS by its kind, not by its name.
  EXPECT_EQ(Names(install::InheritProducts({{{2, 0}, Record("NAS OS", "05-09-00-00")}}, &nOs)),
            (std::vector<std::string>{"NAS OS"}));
  EXPECT_EQ(nOs, 0u);
}

// The rows of the program installation's media list are the catalogue's entries: a checked row
// gives its own record even when another record has the same name.
TEST(InstallRules, SelectionTakesTheCheckedRowsOwnRecords) {
  const std::vector<media::CatalogueEntry> rows = {{{0, 0}, Record("NAS OS", "05-00-01-00")},
                                                   {{0, 1}, Record("NAS OS", "05-02-00-00")},
                                                   {{1, 0}, Record("A", "05-00-00-00")},
                                                   {{3, 0}, Record("NAS OS", "-")}};
  const auto versions = [](const ProductList& list) {
    std::vector<std::string> v;
    for (const auto& r : list) v.push_back(r[board::kProductVersion]);
    return v;
  };
  struct Case {
    const char* name;
    std::vector<bool> checked;
    std::vector<std::string> versions;
    std::size_t osCount;
    bool someLeftOut;
  };
  const std::vector<Case> cases = {
      {"the second NAS OS alone", {false, true, false, false}, {"05-02-00-00"}, 1, true},
      {"the first NAS OS and a product", {true, false, true, false}, {"05-00-01-00", "05-00-00-00"}, 1, true},
      {"an OPT product named like the NAS OS", {false, false, false, true}, {"-"}, 0, true},
      {"every row", {true, true, true, true}, {"05-00-01-00", "05-02-00-00", "05-00-00-00", "-"}, 2, false},
      {"no row", {false, false, false, false}, {}, 0, true},
      {"fewer check marks than rows", {true, true}, {"05-00-01-00", "05-02-00-00"}, 2, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const install::Selection selection = install::SelectProducts(rows, c.checked);
    EXPECT_EQ(versions(selection.products), c.versions);
    EXPECT_EQ(selection.nOsCount, c.osCount);
    EXPECT_EQ(selection.bSomeLeftOut, c.someLeftOut);
  }
  // Every row checked and the list trimmed to one NAS OS: nothing was left out by the user.
  install::Selection all = install::SelectProducts(rows, {true, true, true, true});
  ProductList refused;
  const ProductList kept = install::KeepFirstNasOs(std::move(all.products), &all.nOsCount, &refused);
  EXPECT_EQ(versions(kept), (std::vector<std::string>{"05-00-01-00", "05-00-00-00", "-"}));
  EXPECT_FALSE(all.bSomeLeftOut);
}

}  // namespace
