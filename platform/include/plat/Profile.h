// INI profile files with the semantics of the Win32 profile functions, under their Win32 names.
//
// Reading: section and key names match case-insensitively; names and values lose leading and
// trailing blanks; a value enclosed in matching single or double quotes loses them; lines whose
// first non-blank character is ';' are comments. Lines end in LF or CRLF; a lone CR ending the
// last line is its line ending too. When a section or key appears twice, the first one counts. A
// missing or unreadable file reads as empty, so every call yields its default.
//
// Writing: only the lines concerned change; comments, blank lines, unknown lines and key order
// stay byte for byte. A replaced key keeps its line (and everything up to its '='); a new key goes
// after the last key of its section; a new section goes at the end of the file. New lines end the
// way the file's first line does ("\n" for a new file). The folder must exist. Each write
// replaces the file atomically (temporary file in the same folder, fsync, rename) and is
// serialised with other writers of the same file: threads of this process through an in-process
// lock, other processes through flock on "<file>.lock", which stays beside the file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace plat {

// Copies the value of section/key (or default, trailing blanks removed, when missing; null
// default = "") into buffer and NUL-terminates it; returns the characters copied without the
// NUL. Too long: truncated to size-1 characters, returns size-1.
// Null key: copies the section's key names; null section: the file's section names. Each name is
// followed by a NUL and the list by a second NUL; the return value counts all but the last NUL.
// A list too long for the buffer is cut and ends with two NULs; it then returns size-2.
// size 0 copies nothing and returns 0.
std::uint32_t GetPrivateProfileString(const char* section, const char* key,
                                      const char* defaultValue, char* buffer, std::uint32_t size,
                                      const std::filesystem::path& file);

// The value of section/key read as a decimal integer: optional sign, then the leading digits
// ("12abc" is 12; "abc", "", "0x1F" are 0). A negative value comes back in two's complement, so
// casting to int restores it. Missing section or key: the default.
unsigned int GetPrivateProfileInt(const char* section, const char* key, int defaultValue,
                                  const std::filesystem::path& file);

// Sets section/key to value, creating the file, section or key as needed. Null value deletes the
// key; null key deletes the whole section. Returns false when nothing was written: null section,
// a name or value holding a line break, a section holding ']', a key holding '=' or starting with
// ';' or '[', an existing file that cannot be read, or an I/O failure (the file stays as it was).
bool WritePrivateProfileString(const char* section, const char* key, const char* value,
                               const std::filesystem::path& file);

// Replaces every key of the section with the entries of a "k=v\0k2=v2\0\0" list (or of the
// vector), placed where the first old key was; comments and blank lines inside the section stay.
// Creates the section when missing. Null entries delete the section. False as above.
bool WritePrivateProfileSection(const char* section, const char* entries,
                                const std::filesystem::path& file);
bool WritePrivateProfileSection(const char* section, const std::vector<std::string>& entries,
                                const std::filesystem::path& file);

// One change of WritePrivateProfileChanges: with a key, section/key set to value (as
// WritePrivateProfileString); without one, the section's keys replaced by entries (as
// WritePrivateProfileSection).
struct ProfileChange {
  std::string section;
  std::string key;
  std::string value;
  std::vector<std::string> entries;
};

// Applies the changes in order and replaces the file once: afterwards it holds all of them or,
// on a false return, is as it was. False for the same reasons as the single writes.
bool WritePrivateProfileChanges(const std::vector<ProfileChange>& changes,
                                const std::filesystem::path& file);

// GetPrivateProfileString into a string, with a buffer of maxChars characters (NUL included).
std::string GetProfileString(const std::string& section, const std::string& key,
                             const std::string& defaultValue, const std::filesystem::path& file,
                             std::uint32_t maxChars = 4096);
// The section names of the file, in file order, each once.
std::vector<std::string> GetProfileSectionNames(const std::filesystem::path& file);
// The key names of a section, in file order.
std::vector<std::string> GetProfileKeyNames(const std::string& section,
                                            const std::filesystem::path& file);

}  // namespace plat
