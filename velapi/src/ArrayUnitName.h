// ArrayUnitName: the one piece of process-wide state. Empty when the library is loaded, set
// once by dsvp_SetArrayUnitName, never emptied. Lock-free: a setter claims the slot, checks the
// name with the array and then commits or abandons it; readers see "" until the commit.
#pragma once

#include <cstddef>

inline constexpr std::size_t kUnitNameMax = 64;

// The name every array call passes: "" until committed.
const char* ArrayUnitName();
// Whether a name is set or being set.
bool IsArrayUnitNameTaken();
// Empty -> being set; false when the name is already set or being set by another thread.
bool ClaimArrayUnitName();
// Being set -> set. pszName holds at most kUnitNameMax characters.
void CommitArrayUnitName(const char* pszName);
// Being set -> empty again.
void AbandonArrayUnitName();
