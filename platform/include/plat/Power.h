// Whether the machine runs on AC power (the GetSystemPowerStatus answer), from the power supply
// class of sysfs.
//
// A "Mains" or "USB" supply reporting online=1 means AC online. Otherwise a system battery whose
// status is "Discharging" means AC offline; a present battery that gives no status (or
// "Unknown") leaves it unknown; anything else (charging, full, no battery at all, a folder that
// cannot be read) means AC. Batteries of peripherals (scope "Device") do not count.
#pragma once

#include <cstdint>
#include <filesystem>

namespace plat {

// The Win32 ACLineStatus values.
enum class AcLineStatus : std::uint8_t { Offline = 0, Online = 1, Unknown = 255 };

const char* ToText(AcLineStatus status);

struct PowerStatus {
  AcLineStatus acLine = AcLineStatus::Online;
  bool batteryPresent = false;
};

// Reads the supplies under root (the real one by default; tests pass a fake tree).
PowerStatus GetSystemPowerStatus(const std::filesystem::path& root = "/sys/class/power_supply");

}  // namespace plat
