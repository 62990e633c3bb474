// One locked visit to a unit: takes the unit's cross-process mutex, brings the process's cached
// copy of unit.ini and state.ini up to date with the files, advances the simulation to the
// current logical time, and on Save writes the state back atomically (temporary file + rename)
// when it changed.
//
// The cache keeps each file's identity (device, inode, size, mtime) and holds the file open, so
// its inode cannot be reused by a later file: an unchanged identity means unchanged content, and
// a call that changes nothing costs two stat calls and no parsing or writing.
//
// The unit's time: state.ini holds logical ms at a raw CLOCK_MONOTONIC instant (system-wide, so
// every process agrees); a session's time is that plus the real time since, divided by this
// process's time scale.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "UnitState.h"
#include "corvid/Sim.h"

namespace corvid::detail {

// <system root>/arrays/<name>
std::filesystem::path UnitFolder(std::string_view name);

struct CachedUnit;

class UnitSession {
 public:
  enum class Mode {
    Load,      // the unit must exist; scenario and state are loaded and settled
    LockOnly,  // only the lock: for creating and removing units
  };

  // name must satisfy IsValidName.
  explicit UnitSession(std::string_view name, Mode mode = Mode::Load);
  ~UnitSession();
  UnitSession(const UnitSession&) = delete;
  UnitSession& operator=(const UnitSession&) = delete;

  bool ok() const { return m_code == 0; }
  // ZQ_ERR_UNKNOWN_UNIT or ZQ_ERR_STATE when not ok; error() says why.
  std::uint32_t code() const { return m_code; }
  const std::string& error() const { return m_error; }

  const std::string& name() const { return m_name; }
  const sim::UnitSpec& scenario() const;
  UnitState& state();
  std::int64_t now() const { return m_now; }

  // The state changed: Save writes it.
  void Touch() { m_touched = true; }
  // Moves the unit's time forward and settles the boards again.
  void Advance(std::int64_t logicalMs);
  // Writes the state if it changed; false (ZQ_ERR_STATE) when it could not.
  bool Save();

  // LockOnly: whether the unit has a unit.ini.
  bool Exists() const;
  // LockOnly: writes unit.ini and a fresh state.ini (creating the folder).
  bool WriteNew(const sim::UnitSpec& scenario);
  // LockOnly: removes the unit's folder.
  bool Remove();

 private:
  bool Fail(std::uint32_t code, std::string error);
  bool LoadFiles();
  void StartClock();
  void Settle();

  std::string m_name;
  std::filesystem::path m_dir;
  std::shared_ptr<CachedUnit> m_unit;
  bool m_locked = false;
  std::uint32_t m_code = 0;
  std::string m_error;
  std::int64_t m_now = 0;
  bool m_touched = false;
};

}  // namespace corvid::detail
