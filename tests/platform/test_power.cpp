#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "TestEnv.h"
#include "plat/Power.h"

namespace {

using plat::AcLineStatus;

struct Supply {
  std::string name;
  std::map<std::string, std::string> attributes;  // file name -> content
};

TEST(PowerStatus, FollowsSupplies) {
  struct Case {
    const char* name;
    std::vector<Supply> supplies;
    AcLineStatus acLine;
    bool batteryPresent;
  };
  const Supply battery{"BAT0", {{"type", "Battery\n"}, {"present", "1\n"}, {"status", "Discharging\n"}}};
  const Supply charging{"BAT0", {{"type", "Battery\n"}, {"present", "1\n"}, {"status", "Charging\n"}}};
  const Supply full{"BAT0", {{"type", "Battery\n"}, {"status", "Full\n"}}};
  const Supply silentBattery{"BAT0", {{"type", "Battery\n"}, {"present", "1\n"}}};
  const Supply mainsOn{"AC", {{"type", "Mains\n"}, {"online", "1\n"}}};
  const Supply mainsOff{"AC", {{"type", "Mains\n"}, {"online", "0\n"}}};
  const Supply usbOn{"usb", {{"type", "USB\n"}, {"online", "1\n"}}};
  const Supply mainsSilent{"AC", {{"type", "Mains\n"}}};
  const Supply noBattery{"BAT1", {{"type", "Battery\n"}, {"present", "0\n"}, {"status", "Discharging\n"}}};
  const Supply mouse{"hid", {{"type", "Battery\n"}, {"scope", "Device\n"}, {"present", "1\n"}, {"status", "Discharging\n"}}};
  const Case cases[] = {
      {"MainsOnlineMeansOnline", {battery, mainsOn}, AcLineStatus::Online, true},
      {"UsbOnlineMeansOnline", {battery, mainsOff, usbOn}, AcLineStatus::Online, true},
      {"DischargingWithMainsOfflineMeansOffline", {battery, mainsOff}, AcLineStatus::Offline, true},
      {"DischargingWithoutMainsMeansOffline", {battery}, AcLineStatus::Offline, true},
      {"DischargingWithSilentMainsMeansOffline", {battery, mainsSilent}, AcLineStatus::Offline, true},
      {"ChargingBatteryMeansAc", {charging, mainsSilent}, AcLineStatus::Online, true},
      {"FullBatteryWithoutMainsMeansAc", {full}, AcLineStatus::Online, true},
      {"BatteryWithoutStatusIsUnknown", {silentBattery, mainsOff}, AcLineStatus::Unknown, true},
      {"NoBatteryMeansAc", {mainsOff}, AcLineStatus::Online, false},
      {"AbsentBatteryIgnored", {mainsOff, noBattery}, AcLineStatus::Online, false},
      {"PeripheralBatteryIgnored", {mouse}, AcLineStatus::Online, false},
      {"NoSupplyDataMeansAc", {}, AcLineStatus::Online, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    kelptest::TempDir root;
    for (const Supply& supply : c.supplies) {
      std::filesystem::create_directories(root / supply.name);
      for (const auto& [file, content] : supply.attributes)
        kelptest::WriteFile(root / supply.name / file, content);
    }
    const plat::PowerStatus status = plat::GetSystemPowerStatus(root.path());
    EXPECT_STREQ(plat::ToText(status.acLine), plat::ToText(c.acLine));
    EXPECT_EQ(status.batteryPresent, c.batteryPresent);
  }
}

TEST(PowerStatus, UnreadableFolderMeansAc) {
  kelptest::TempDir dir;
  const plat::PowerStatus status = plat::GetSystemPowerStatus(dir / "absent");
  EXPECT_EQ(status.acLine, AcLineStatus::Online);
  EXPECT_FALSE(status.batteryPresent);
}

}  // namespace
