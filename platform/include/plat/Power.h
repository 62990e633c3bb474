// Whether the machine runs on AC power (the GetSystemPowerStatus answer), from the power supply
// class of sysfs.
//
// A "Mains" or "USB" supply reporting online=1 means AC online. Otherwise, with a system battery
// present, AC is offline, or unknown when a mains supply could not say whether it is online.
// With no system battery at all (desktops, servers), or when the folder cannot be read, the
// machine is taken to be on AC. Batteries of peripherals (scope "Device") do not count.
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
