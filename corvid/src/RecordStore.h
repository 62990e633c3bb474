// The record store behind the ZQ_ functions of the JNI family: per unit, a get returns what the
// matching set stored (<unit folder>/records/<record>.bin) or a default derived from the
// schema; the commands the simulated array models act on the unit's state.
#pragma once

namespace corvid::detail {

// The arguments of one call, as its generated entry point received them.
struct StoreCall {
  const char* unit = nullptr;
  const void* session = nullptr;
  const char* text = nullptr;
  const void* in = nullptr;
  void* out = nullptr;
  char** textOut = nullptr;
  char* pair[2] = {nullptr, nullptr};
  int* intOut = nullptr;
  int ints[4] = {0, 0, 0, 0};
};

// Serves method `method` of corvid::schema::kMethods.
int ServeCall(int method, const StoreCall& call);

// A unit name argument: not null and a valid name within its first 65 bytes.
bool NameArgOk(const char* name);

}  // namespace corvid::detail
