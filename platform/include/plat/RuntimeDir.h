// The per-user folder that holds the lock files and sockets of named objects (mutexes, pipes).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace plat {

// $KELP_RUNTIME_DIR, else $XDG_RUNTIME_DIR/kelpset, else /tmp/kelpset-<uid> (empty variables
// count as unset). The environment is read on every call. Missing folders are created with mode
// 0700. ec is set when the folder cannot be created, or when the shared /tmp fallback is not a
// real folder owned by this user; the path is returned either way.
std::filesystem::path RuntimeDir(std::error_code& ec);
std::filesystem::path RuntimeDir();

// The file name standing for an object name: letters, digits, '_' and '-' stay, every other
// byte becomes %XX, and the empty name becomes "%". Distinct names give distinct file names,
// none of them holds a '.' or a '/', so suffixes like ".lock" never collide with another name.
std::string EscapeObjectName(std::string_view name);

}  // namespace plat
