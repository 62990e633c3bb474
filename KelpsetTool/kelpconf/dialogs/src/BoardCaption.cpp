#include "dialogs/BoardCaption.h"

#include <ctime>

#include "board/BoardStatus.h"
#include "common/Strings.h"

namespace mainwindow {
namespace {

constexpr const char* kBootManagementHint = "Double-click: Boot Management";

}  // namespace

std::string BoardCaption(const std::string& strLocation) { return kCaptionIndent + strLocation; }

std::string BoardCaption(const std::string& strLocation, std::int32_t nStatus) {
  if (!board::HasWord(nStatus)) return BoardCaption(strLocation);
  return BoardCaption(strLocation) + LoadString(board::kStatusCaptionString + static_cast<std::uint32_t>(nStatus));
}

std::string BoardTooltip(std::uint64_t ullLastSeenMs, const std::string& strStage) {
  std::string text = "Last status read: ";
  if (ullLastSeenMs == 0) {
    text += "never";
  } else {
    const std::time_t seconds = static_cast<std::time_t>(ullLastSeenMs / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y/%m/%d %H:%M:%S", &local);
    text += buffer;
  }
  if (!strStage.empty()) text += "\n" + strStage;
  return text + "\n" + kBootManagementHint;
}

}  // namespace mainwindow
