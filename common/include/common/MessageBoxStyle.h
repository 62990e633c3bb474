// Message box style flags and button codes, with the values the system has always used.
#pragma once

#include <cstdint>

inline constexpr std::uint32_t MB_OK = 0x00000000;
inline constexpr std::uint32_t MB_OKCANCEL = 0x00000001;
inline constexpr std::uint32_t MB_YESNOCANCEL = 0x00000003;
inline constexpr std::uint32_t MB_YESNO = 0x00000004;
inline constexpr std::uint32_t MB_TYPEMASK = 0x0000000F;

inline constexpr std::uint32_t MB_ICONHAND = 0x00000010;         // error
inline constexpr std::uint32_t MB_ICONQUESTION = 0x00000020;
inline constexpr std::uint32_t MB_ICONEXCLAMATION = 0x00000030;  // warning
inline constexpr std::uint32_t MB_ICONASTERISK = 0x00000040;     // information
inline constexpr std::uint32_t MB_ICONMASK = 0x000000F0;

inline constexpr std::uint32_t MB_DEFBUTTON1 = 0x00000000;
inline constexpr std::uint32_t MB_DEFBUTTON2 = 0x00000100;
inline constexpr std::uint32_t MB_DEFBUTTON3 = 0x00000200;
inline constexpr std::uint32_t MB_DEFMASK = 0x00000F00;

inline constexpr std::uint32_t MB_TASKMODAL = 0x00002000;
inline constexpr std::uint32_t MB_TOPMOST = 0x00040000;

// The pressed button; 0 means the box could not be shown.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// The buttons of a style, in display order (at most three), and the default one.
struct MessageButtons {
  int aButtons[3];
  int nCount;
  int nDefault;
};
MessageButtons ButtonsOfStyle(std::uint32_t ulStyle);
// "OK", "Cancel", "Yes", "No" (empty for other codes).
const char* ButtonName(int nButton);
