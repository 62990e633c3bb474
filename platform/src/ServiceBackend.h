// What each service backend provides to ServiceManager and ServiceHandle, and the pieces the
// backends share. Private to the platform library.
#pragma once

#include <sys/file.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "plat/Clock.h"
#include "plat/ServiceManager.h"
#include "plat/Socket.h"

namespace plat {

inline constexpr char kServicesSection[] = "Services";

class ServiceBackend {
 public:
  virtual ~ServiceBackend() = default;
  virtual bool Exists(const std::string& name) const = 0;
  // 0, or the Win32 error of the call.
  virtual std::uint32_t Start(const std::string& name) = 0;
  virtual std::uint32_t Stop(const std::string& name) = 0;
  virtual std::uint32_t Query(const std::string& name, ServiceState* pState) = 0;
};

// How a command ended: not started, outran its time limit (killed), or its exit code.
struct CommandOutcome {
  bool started = false;
  bool timedOut = false;
  int exitCode = -1;
  bool Succeeded() const { return started && !timedOut && exitCode == 0; }
};

// Runs argv[0] with the rest as arguments and waits at most limit (logical time).
CommandOutcome RunCommand(const std::vector<std::string>& argv, Millis limit);

// [Services] CommandTimeout of the settings file, at least one second.
Millis CommandLimit(const std::filesystem::path& settingsFile);

// An exclusive flock on a file of the state folder, held for the object's life.
class StateLock {
 public:
  explicit StateLock(const std::filesystem::path& file);
  bool Held() const { return m_held; }

 private:
  UniqueFd m_fd;
  bool m_held = false;
};

std::shared_ptr<ServiceBackend> MakeSimBackend(const std::filesystem::path& stateDir);
// exec and systemd.
std::shared_ptr<ServiceBackend> MakeExecBackend(const std::filesystem::path& settingsFile);
std::shared_ptr<ServiceBackend> MakeSystemdBackend(const std::filesystem::path& settingsFile);
// Null with *pulError when a required key is missing.
std::shared_ptr<ServiceBackend> MakeDnsmasqBackend(const std::filesystem::path& settingsFile,
                                                   const std::filesystem::path& stateDir,
                                                   std::uint32_t* pulError);

}  // namespace plat
