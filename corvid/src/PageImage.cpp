#include "PageImage.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "BoardMachine.h"

namespace corvid::detail {
namespace {

using namespace corvid::pages;

constexpr std::uint8_t kSubPageFormat = 0x40;  // SPF bit of a sub-page's header

void WriteHeader(std::span<std::uint8_t> image, int page, int subPage) {
  Put8(image, 0, static_cast<std::uint8_t>(page | kSubPageFormat));
  Put8(image, 1, static_cast<std::uint8_t>(subPage));
  Put16(image, 2, static_cast<std::uint16_t>(image.size() - 4));
}

std::vector<std::uint8_t> PortInformation(const sim::UnitSpec& scenario) {
  std::vector<std::uint8_t> image(port::kSize, 0);
  Put8(image, 0, static_cast<std::uint8_t>(kPortInfoPage));
  Put8(image, port::kDeviceType, scenario.deviceType);
  Put16(image, 4, static_cast<std::uint16_t>(image.size() - 6));
  for (const sim::BoardSpec& b : scenario.boards) {
    Put8(image, port::kStatus[b.k], b.portStatus);
    Put8(image, port::kKind[b.k], b.portKind);
  }
  return image;
}

// Fixed I/O-processor information of a board: readable text, passed through by the pages.
void PutIoPInfo(std::span<std::uint8_t> entry, const sim::UnitSpec& scenario, const sim::BoardSpec& b) {
  const std::string text = std::string("IOP ") + sim::ModelName(scenario.model) + " CTL" +
                           std::to_string(b.k / 2) + "-" + std::to_string(b.k % 2);
  PutText(entry, a3::kIoPInfo, a3::kInfoSize, text);
}

void Configuration(std::span<std::uint8_t> image, const sim::UnitSpec& scenario, const UnitState& state,
                   std::int64_t now) {
  Put16(image, a3::kModel, static_cast<std::uint16_t>(scenario.model));
  for (std::size_t i = 0; i < a3::kSerialSize && i < scenario.serial.size(); ++i)
    Put8(image, a3::kSerial + i, static_cast<std::uint8_t>(scenario.serial[i]));
  for (std::size_t i = 0; i < 4; ++i) {
    Put8(image, a3::kSvpIp + i, scenario.svpIp[i]);
    Put8(image, a3::kSubnet + i, scenario.subnet[i]);
  }
  for (const sim::BoardSpec& b : scenario.boards) {
    const BoardRuntime& rt = state.boards[static_cast<std::size_t>(b.k)];
    const BoardView v = ViewBoard(rt, scenario, b, now);
    const std::span<std::uint8_t> entry = image.subspan(a3::Entry(b.k), a3::kEntrySize);
    Put8(entry, a3::kValid, b.valid);
    Put16(entry, a3::kMpStatus, v.mpStatus);
    for (std::size_t i = 0; i < 4; ++i) Put8(entry, a3::kIp + i, b.ip[i]);
    PutText(entry, a3::kLocation, a3::kLocationSize, b.location);
    Put8(entry, a3::kNasTypeFlag, b.nasTypeFlag);
    Put8(entry, a3::kNasType, b.nasType);
    Put32(entry, a3::kStatus, v.status);
    for (int t = 0; t < a3::kTimeOutCount; ++t)
      Put32(entry, a3::kTimeOuts + 4 * static_cast<std::size_t>(t), rt.timeOuts[static_cast<std::size_t>(t)]);
    PutIoPInfo(entry, scenario, b);
    for (std::size_t i = 0; i < b.mac.size(); ++i) Put8(entry, a3::kComInfo + i, b.mac[i]);
    Put8(entry, a3::kUserPortNum, static_cast<std::uint8_t>(b.userPortNum));
    Put8(entry, a3::kCacheCap, static_cast<std::uint8_t>(b.cacheCap));
    Put8(entry, a3::kBadkFCExist, static_cast<std::uint8_t>(b.badkFCExist));
  }
}

void BoardPage(std::span<std::uint8_t> image, int subPage, const sim::UnitSpec& scenario,
               const UnitState& state, std::int64_t now) {
  for (const sim::BoardSpec& b : scenario.boards) {
    const BoardView v = ViewBoard(state.boards[static_cast<std::size_t>(b.k)], scenario, b, now);
    switch (subPage) {
      case kA6Progress: {
        const auto entry = image.subspan(a6::Entry(b.k), a6::kEntrySize);
        Put8(entry, a6::kValid, b.valid);
        Put32LE(entry, a6::kInstallStatus, v.installStatus);
        Put8(entry, a6::kHibStat, v.hibStat);
        Put32(entry, a6::kNetBootResult, v.netBootResult);
        break;
      }
      case kA8Shutdown:
        Put8(image, a8::kStatus0 + static_cast<std::size_t>(b.k), v.shutdownProgress);
        break;
      case kAADumpInfo: {
        const auto entry = image.subspan(aa::Entry(b.k), aa::kEntrySize);
        Put32(entry, aa::kStatus, v.dumpStatus);
        Put32(entry, aa::kDumpSize, v.dumpSize);
        PutText(entry, aa::kDate, aa::kDateSize, v.dumpDate);
        Put8(entry, aa::kValid, b.valid);
        break;
      }
      case kACDownloadStatus: {
        const auto entry = image.subspan(ac::Entry(b.k), ac::kEntrySize);
        Put32(entry, ac::kStatus, v.downloadStatus);
        PutText(entry, ac::kFileName, ac::kFileNameSize, v.downloadFile);
        Put8(entry, ac::kValid, b.valid);
        break;
      }
      default:
        break;
    }
  }
}

// A command page reads back as it was last selected; A2 also tells whether the version is wanted.
void CommandPage(std::vector<std::uint8_t>& image, int subPage, const sim::UnitSpec& scenario,
                 const UnitState& state) {
  const auto last = state.selected.find(PageKey(kNasPage, subPage));
  if (last != state.selected.end() && last->second.size() == image.size()) image = last->second;
  if (subPage == kA2InstallInfo) Put8(image, a2::kVersionFlag, scenario.versionFlag);
}

}  // namespace

std::optional<std::size_t> PageSize(int page, int subPage) {
  if (page == kPortInfoPage) return subPage == kPortInfoSubPage ? std::optional<std::size_t>(port::kSize) : std::nullopt;
  if (page != kNasPage) return std::nullopt;
  switch (subPage) {
    case kA1Install: return a1::kSize;
    case kA2InstallInfo: return a2::kSize;
    case kA3Config: return a3::kSize;
    case kA4TimeOut: return a4::kSize;
    case kA5HibDump:
    case kA9DumpPrepare:
    case kABDownload: return cmd::kSizeAddressOnly;
    case kA6Progress: return a6::kSize;
    case kA7Power: return a7::kSize;
    case kA8Shutdown: return a8::kSize;
    case kAADumpInfo: return aa::kSize;
    case kACDownloadStatus: return ac::kSize;
    default: return std::nullopt;
  }
}

bool IsCommandPage(int page, int subPage) {
  if (page != kNasPage) return false;
  switch (subPage) {
    case kA1Install:
    case kA2InstallInfo:
    case kA4TimeOut:
    case kA5HibDump:
    case kA7Power:
    case kA9DumpPrepare:
    case kABDownload: return true;
    default: return false;
  }
}

std::optional<std::vector<std::uint8_t>> SensePage(int page, int subPage, const sim::UnitSpec& scenario,
                                                   const UnitState& state, std::int64_t now) {
  const auto size = PageSize(page, subPage);
  if (!size) return std::nullopt;
  std::vector<std::uint8_t> image;
  if (page == kPortInfoPage) {
    image = PortInformation(scenario);
  } else {
    image.assign(*size, 0);
    if (IsCommandPage(page, subPage)) CommandPage(image, subPage, scenario, state);
    else if (subPage == kA3Config) Configuration(image, scenario, state, now);
    else BoardPage(image, subPage, scenario, state, now);
    WriteHeader(image, page, subPage);
  }
  for (const Poke& poke : state.pokes) {
    if (poke.page != page || poke.subPage != subPage) continue;
    for (std::size_t i = 0; i < poke.bytes.size(); ++i) Put8(image, poke.offset + i, poke.bytes[i]);
  }
  if (const auto cut = state.cuts.find(PageKey(page, subPage)); cut != state.cuts.end() && cut->second < image.size())
    image.resize(cut->second);
  return image;
}

void Put8(std::span<std::uint8_t> image, std::size_t offset, std::uint8_t value) {
  if (offset < image.size()) image[offset] = value;
}

void Put16(std::span<std::uint8_t> image, std::size_t offset, std::uint16_t value) {
  Put8(image, offset, static_cast<std::uint8_t>(value >> 8));
  Put8(image, offset + 1, static_cast<std::uint8_t>(value));
}

void Put32(std::span<std::uint8_t> image, std::size_t offset, std::uint32_t value) {
  Put16(image, offset, static_cast<std::uint16_t>(value >> 16));
  Put16(image, offset + 2, static_cast<std::uint16_t>(value));
}

void Put32LE(std::span<std::uint8_t> image, std::size_t offset, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) Put8(image, offset + i, static_cast<std::uint8_t>(value >> (8 * i)));
}

void PutText(std::span<std::uint8_t> image, std::size_t offset, std::size_t size, std::string_view text) {
  for (std::size_t i = 0; i < size; ++i)
    Put8(image, offset + i, i < text.size() ? static_cast<std::uint8_t>(text[i]) : 0);
}

std::optional<std::uint16_t> Get16(std::span<const std::uint8_t> image, std::size_t offset) {
  if (offset > image.size() || image.size() - offset < 2) return std::nullopt;
  return static_cast<std::uint16_t>(image[offset] << 8 | image[offset + 1]);
}

std::optional<std::uint32_t> Get32(std::span<const std::uint8_t> image, std::size_t offset) {
  const auto hi = Get16(image, offset);
  const auto lo = Get16(image, offset + 2);
  if (!hi || !lo) return std::nullopt;
  return static_cast<std::uint32_t>(*hi) << 16 | *lo;
}

std::string GetText(std::span<const std::uint8_t> image, std::size_t offset, std::size_t size) {
  std::string text;
  for (std::size_t i = 0; i < size && offset + i < image.size() && image[offset + i] != 0; ++i)
    text += static_cast<char>(image[offset + i]);
  return text;
}

}  // namespace corvid::detail
