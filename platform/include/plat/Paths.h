// Where the Windows paths of the system live on Linux.
//
// Drive C: is the system root: $KELP_SYSTEM_ROOT, else ${XDG_DATA_HOME:-$HOME/.local/share}/kelpset
// (the environment is read on every call, so tests can point it elsewhere). The root itself is
// not created here.
#pragma once

#include <filesystem>
#include <string>

namespace plat {

// The folder that stands for drive C:.
std::filesystem::path SystemRoot();

// Maps a Windows path to a Linux one. "C:\x\y", "c:/x/y" or "C:x" (any case) become
// SystemRoot()/x/y, with "." dropped and ".." never climbing above the root. Any other path
// keeps its form with every '\' turned into '/', so a relative path stays relative. Another drive
// letter has no mapping: the result is empty.
std::filesystem::path MapPath(const std::string& windowsPath);

// The running program's file (from /proc/self/exe) and its folder, where default trace folders
// and settings files sit "beside the program"; empty when /proc cannot tell.
std::filesystem::path ProgramPath();
std::filesystem::path ProgramDir();

// The folder of the boards' dump files on the maintenance PC, and the folder inside it where the
// PC's file-transfer service receives a board's upload before the setup tool files it (map both
// with MapPath).
inline constexpr const char* kDumpFolder = "C:\\NASDUMP";
inline constexpr const char* kDumpReceiveFolder = "C:\\NASDUMP\\.receive";

// The folder of an installation medium that holds its network-boot tree (the TFTP root).
inline constexpr const char* kMediaNetbootFolder = "netboot";

// The system folder: "/".
std::filesystem::path SystemFolder();

}  // namespace plat
