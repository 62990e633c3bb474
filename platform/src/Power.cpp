#include "plat/Power.h"

#include <fstream>
#include <optional>
#include <string>

namespace plat {
namespace {

// One sysfs attribute: its first line, or nothing when it cannot be read.
std::optional<std::string> ReadAttribute(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::string value;
  if (!std::getline(in, value)) return std::nullopt;
  while (!value.empty() && (value.back() == ' ' || value.back() == '\r')) value.pop_back();
  return value;
}

bool IsMains(const std::string& type) {
  // Older kernels name USB chargers by kind: USB_DCP, USB_CDP, USB_C, USB_PD...
  return type == "Mains" || type.rfind("USB", 0) == 0;
}

}  // namespace

const char* ToText(AcLineStatus status) {
  switch (status) {
    case AcLineStatus::Offline:
      return "offline";
    case AcLineStatus::Online:
      return "online";
    case AcLineStatus::Unknown:
      return "unknown";
  }
  return "unknown";
}

PowerStatus GetSystemPowerStatus(const std::filesystem::path& root) {
  bool mainsOnline = false;
  bool batteryPresent = false;
  bool discharging = false;
  bool batteryStatusKnown = false;

  std::error_code ec;
  for (std::filesystem::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    const std::filesystem::path& supply = it->path();
    const std::string type = ReadAttribute(supply / "type").value_or("");
    if (IsMains(type)) {
      mainsOnline = mainsOnline || ReadAttribute(supply / "online") == "1";
    } else if (type == "Battery" && ReadAttribute(supply / "scope").value_or("") != "Device") {
      // Drivers without a "present" attribute only list batteries that are there.
      if (ReadAttribute(supply / "present").value_or("1") != "1") continue;
      batteryPresent = true;
      const std::string state = ReadAttribute(supply / "status").value_or("Unknown");
      discharging = discharging || state == "Discharging";
      batteryStatusKnown = batteryStatusKnown || state != "Unknown";
    }
  }

  // Only a battery that says it is discharging means the machine runs on it.
  PowerStatus status;
  status.batteryPresent = batteryPresent;
  if (mainsOnline) {
    status.acLine = AcLineStatus::Online;
  } else if (discharging) {
    status.acLine = AcLineStatus::Offline;
  } else if (batteryPresent && !batteryStatusKnown) {
    status.acLine = AcLineStatus::Unknown;
  } else {
    status.acLine = AcLineStatus::Online;
  }
  return status;
}

}  // namespace plat
