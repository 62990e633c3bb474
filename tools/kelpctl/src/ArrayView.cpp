#include "ArrayView.h"

#include <cstring>

#include "common/TextFormats.h"
#include "nas/StatusWord.h"
#include "velapi.h"

namespace kelpctl {
namespace {

constexpr std::uint32_t kModelZQH = 0x1703;

struct ModelName {
  std::uint32_t code;
  const char* text;
};
constexpr ModelName kModels[] = {{0x1700, "ZQS"}, {0x1701, "ZQXS"}, {0x1702, "ZQM"}, {kModelZQH, "ZQH"}};


std::string IpText(const std::optional<Ip4>& ip) {
  if (!ip) return "-";
  return common::AddressText(ip->data());
}

// "CTL0-1" of slot 1.
std::string BoardName(int slot) { return "CTL" + std::to_string(slot / 8) + "-" + std::to_string(slot % 8); }

std::optional<std::string> AddressValue(const std::optional<Ip4>& ip) {
  if (!ip) return std::nullopt;
  return common::AddressText(ip->data());
}

std::optional<std::string> MacText(const std::optional<std::array<std::uint8_t, 6>>& mac) {
  if (!mac) return std::nullopt;
  const auto& m = *mac;
  char text[24];
  std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", m[0], m[1], m[2], m[3], m[4], m[5]);
  return text;
}

void ReadNasBoard(BoardRow* pRow) {
  const short sCluster = board::ClusterOf(pRow->slot);
  const short sPCB = board::PcbOf(pRow->slot);
  ApiFailure failure;
  Ip4 ip{}, mask{};
  if (CallApi("dsvp_NasGetP4IPAddr",
              [&](std::uint32_t* e) { return dsvp_NasGetP4IPAddr(sCluster, sPCB, ip.data(), mask.data(), e); },
              &failure)) {
    pRow->ip = ip;
    pRow->mask = mask;
  } else {
    pRow->failures.push_back(failure);
  }
  std::array<unsigned char, VEL_INFO_SIZE> com{};
  if (CallApi("dsvp_NasGetComInf", [&](std::uint32_t* e) { return dsvp_NasGetComInf(sCluster, sPCB, com.data(), e); },
              &failure)) {
    std::array<std::uint8_t, 6> mac{};
    std::memcpy(mac.data(), com.data(), mac.size());
    pRow->mac = mac;
  } else {
    pRow->failures.push_back(failure);
  }
}

void ReadLocation(BoardRow* pRow) {
  std::array<char, VEL_LOCATION_MIN_SIZE> name{};
  ApiFailure failure;
  if (CallApi("dsvp_GetChaLocationName",
              [&](std::uint32_t* e) {
                return dsvp_GetChaLocationName(board::ClusterOf(pRow->slot), board::PcbOf(pRow->slot), name.data(),
                                               static_cast<short>(name.size()), e);
              },
              &failure)) {
    pRow->location = std::string(name.data(), strnlen(name.data(), name.size()));
  } else {
    pRow->failures.push_back(failure);
  }
}

}  // namespace

std::vector<int> SlotsOfModel(std::uint32_t model) {
  if (model == kModelZQH) return {0, 1, 8, 9};
  return {0, 8};
}

const char* ModelText(std::uint32_t model) {
  for (const ModelName& m : kModels)
    if (m.code == model) return m.text;
  return "unknown";
}

bool ReadArrayView(ArrayView* pView, ApiFailure* pFailure) {
  if (!CallApi("dsvp_GetDkcModelType", [&](std::uint32_t* e) { return dsvp_GetDkcModelType(&pView->model, e); },
               pFailure) ||
      !CallApi("dsvp_GetDkcSerialNo", [&](std::uint32_t* e) { return dsvp_GetDkcSerialNo(&pView->serial, e); },
               pFailure) ||
      !CallApi("dsvp_GetSvpIPAddr",
               [&](std::uint32_t* e) { return dsvp_GetSvpIPAddr(pView->svpIp.data(), pView->svpMask.data(), e); },
               pFailure))
    return false;
  VEL_PCBINF equipment{};
  VEL_CURENTSTATE state{};
  VEL_MPSTINF mp{};
  if (!CallApi("dsvp_GetCHNEquipment", [&](std::uint32_t* e) { return dsvp_GetCHNEquipment(&equipment, e); },
               pFailure) ||
      !CallApi("dsvp_NasGetCurrentStatus", [&](std::uint32_t* e) { return dsvp_NasGetCurrentStatus(&state, e); },
               pFailure) ||
      !CallApi("dsvp_GetCHNMPStatus", [&](std::uint32_t* e) { return dsvp_GetCHNMPStatus(&mp, e); }, pFailure))
    return false;
  pView->rows.clear();
  for (const int slot : SlotsOfModel(pView->model)) {
    BoardRow row;
    row.slot = slot;
    row.usCHN = equipment.usCHN[slot];
    row.type.assign(equipment.cCHNType[slot], strnlen(equipment.cCHNType[slot], VEL_CHNTYPE_SIZE));
    row.status = state.usChnStat[slot];
    row.mpStatus = mp.stMp[slot].usMpST;
    ReadLocation(&row);
    if (row.usCHN == VEL_KELP_TYPE_KELP) ReadNasBoard(&row);
    pView->rows.push_back(std::move(row));
  }
  return true;
}

void PrintArrayView(std::FILE* out, const std::string& unit, const ArrayView& view) {
  std::fprintf(out, "Unit %s: model %s (0x%04X), serial %u, SVP %s mask %s\n", unit.c_str(),
               ModelText(view.model), view.model, view.serial, IpText(view.svpIp).c_str(),
               IpText(view.svpMask).c_str());
  std::fprintf(out, "%-4s %-6s %-6s %-9s %-16s %-6s %-15s %-15s %-17s %s\n", "SLOT", "BOARD", "EQUIP",
               "TYPE", "STATUS", "MP", "IP ADDRESS", "SUBNET MASK", "MAC", "LOCATION");
  for (const BoardRow& row : view.rows) {
    char board[32], equip[16], status[32], mpText[16];
    std::snprintf(board, sizeof board, "%s", BoardName(row.slot).c_str());
    std::snprintf(equip, sizeof equip, "0x%04X", row.usCHN);
    std::snprintf(status, sizeof status, "%u %s", row.status, nas::StatusWordName(row.status));
    std::snprintf(mpText, sizeof mpText, "0x%04X", row.mpStatus);
    std::fprintf(out, "%-4d %-6s %-6s %-9s %-16s %-6s %-15s %-15s %-17s %s\n", row.slot, board, equip, row.type.c_str(),
                 status, mpText, IpText(row.ip).c_str(), IpText(row.mask).c_str(),
                 MacText(row.mac).value_or("-").c_str(), row.location ? row.location->c_str() : "-");
  }
}

common::json::Value StatusNameValue(std::uint16_t word) {
  const std::string_view name = nas::StatusWordName(word);
  if (name == "?") return nullptr;
  return name;
}

common::json::Value ArrayViewDocument(const std::string& unit, const ArrayView& view) {
  using common::json::Value;
  Value::Array boards;
  for (const BoardRow& row : view.rows)
    boards.push_back(Value::Object{
        {"slot", row.slot},
        {"board", BoardName(row.slot)},
        {"equipment", row.usCHN},
        {"type", row.type},
        {"status", row.status},
        {"statusName", StatusNameValue(row.status)},
        {"mpStatus", row.mpStatus},
        {"address", AddressValue(row.ip)},
        {"mask", AddressValue(row.mask)},
        {"mac", MacText(row.mac)},
        {"location", row.location && !row.location->empty() ? Value(*row.location) : Value()},
    });
  return Value::Object{
      {"unit", unit},
      {"model", view.model},
      {"modelName", std::string_view(ModelText(view.model)) == "unknown" ? Value() : Value(ModelText(view.model))},
      {"serial", view.serial},
      {"svpAddress", common::AddressText(view.svpIp.data())},
      {"svpMask", common::AddressText(view.svpMask.data())},
      {"boards", std::move(boards)},
  };
}

}  // namespace kelpctl
