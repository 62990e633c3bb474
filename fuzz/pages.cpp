// Fuzz target: arbitrary bytes as the mode-page images the array library returns, read and
// written by every dsvp_ export of the VELAPI library. The library is linked with an array
// library of this file that hands out each sensed image in a buffer of exactly its size, so a
// read past the page is caught; the port page says four NAS boards unless the input asks for its
// own. The first byte picks the export, the second the board; the rest is the page.
// An image shorter than the fields an export reads or stores must fail with VEL_ERR_MODE_PARAM.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include "FuzzSupport.h"
#include "corvid.h"
#include "corvid/NasPages.h"
#include "velapi.h"

namespace pages = corvid::pages;


namespace {

struct ArrayImages {
  std::vector<unsigned char> port;
  std::vector<unsigned char> page;
  int nSensedSubPage = -1;
};
ArrayImages g_array;

std::vector<unsigned char> FourNasBoards() {
  std::vector<unsigned char> port(pages::port::kSize, 0);
  port[pages::port::kDeviceType] = 1;
  for (int k = 0; k < pages::kBoards; ++k) {
    port[pages::port::kStatus[k]] = pages::port::kStatusInstalled;
    port[pages::port::kKind[k]] = pages::port::kKindNas;
  }
  return port;
}

struct Call {
  int nSubPage;
  std::size_t nNeeded;  // bytes of the image the export reads or stores
  std::function<BOOL(short, short, std::uint32_t*)> run;
};

const char kBootOpt[] = "console=ttyS0";

const std::vector<Call>& Calls() {
  static const std::vector<Call> calls = {
      {pages::kA3Config, pages::a3::kSize,
       [](short, short, std::uint32_t* e) { VEL_PCBINF r; return dsvp_GetCHNEquipment(&r, e); }},
      {pages::kA3Config, pages::a3::kSize,
       [](short c, short p, std::uint32_t* e) { unsigned char b[VEL_INFO_SIZE]; return dsvp_NasGetIoPInf(c, p, b, e); }},
      {pages::kA3Config, pages::a3::kSize,
       [](short c, short p, std::uint32_t* e) { unsigned char b[VEL_INFO_SIZE]; return dsvp_NasGetComInf(c, p, b, e); }},
      {pages::kA3Config, pages::a3::kSize,
       [](short c, short p, std::uint32_t* e) {
         unsigned char ip[VEL_IPADDR_SIZE], mask[VEL_IPADDR_SIZE];
         return dsvp_NasGetP4IPAddr(c, p, ip, mask, e);
       }},
      {pages::kA3Config, pages::a3::kEntry0,
       [](short, short, std::uint32_t* e) {
         unsigned char ip[VEL_IPADDR_SIZE], mask[VEL_IPADDR_SIZE];
         return dsvp_GetSvpIPAddr(ip, mask, e);
       }},
      {pages::kA3Config, pages::a3::kEntry0,
       [](short, short, std::uint32_t* e) { std::uint32_t v; return dsvp_GetDkcSerialNo(&v, e); }},
      {pages::kA3Config, pages::a3::kEntry0,
       [](short, short, std::uint32_t* e) { std::uint32_t v; return dsvp_GetDkcModelType(&v, e); }},
      {pages::kA3Config, pages::a3::kSize,
       [](short, short, std::uint32_t* e) { VEL_CURENTSTATE r; return dsvp_NasGetCurrentStatus(&r, e); }},
      {pages::kA3Config, pages::a3::kSize,
       [](short, short, std::uint32_t* e) { VEL_MPSTINF r; return dsvp_GetCHNMPStatus(&r, e); }},
      {pages::kA3Config, pages::a3::kSize,
       [](short c, short p, std::uint32_t* e) {
         char name[VEL_LOCATION_MIN_SIZE + 2];
         return dsvp_GetChaLocationName(c, p, name, sizeof name, e);
       }},
      {pages::kA3Config, pages::a3::kSize,
       [](short c, short p, std::uint32_t* e) { VEL_TIMECTLE r; return dsvp_NasGetTimeOutinf(c, p, &r, e); }},
      {pages::kA6Progress, pages::a6::kSize,
       [](short c, short p, std::uint32_t* e) {
         std::uint32_t v;
         return dsvp_NasGetProgress(c, p, VEL_PROGRESS_INSTALL, &v, e);
       }},
      {pages::kA6Progress, pages::a6::kSize,
       [](short c, short p, std::uint32_t* e) {
         std::uint32_t v;
         return dsvp_NasGetProgress(c, p, VEL_PROGRESS_HIBDUMP, &v, e);
       }},
      {pages::kA8Shutdown, pages::a8::kSize,
       [](short c, short p, std::uint32_t* e) {
         unsigned char a[VEL_SHUTDOWN_PROGRESS_SIZE], b[VEL_SHUTDOWN_PROGRESS_SIZE];
         return dsvp_NasGetShutdownStatusEx(c, p, a, b, e);
       }},
      {pages::kAADumpInfo, pages::aa::kSize,
       [](short c, short p, std::uint32_t* e) {
         std::uint32_t status, size;
         char date[VEL_DUMP_DATE_SIZE];
         return dsvp_GetDumpInformation(c, p, &status, date, &size, e);
       }},
      {pages::kACDownloadStatus, pages::ac::kSize,
       [](short c, short p, std::uint32_t* e) {
         std::uint32_t status;
         char file[VEL_DWNL_FILE_SIZE] = {};
         return dsvp_GetDownloadDumpStatus(c, p, &status, file, e);
       }},
      {pages::kA1Install, pages::a1::kSize,
       [](short c, short p, std::uint32_t* e) {
         std::uint32_t inherit = 0;
         return dsvp_NasInstallLinux(c, p, 0, 0, 0, &inherit, e);
       }},
      {pages::kA2InstallInfo, pages::a2::kSize,
       [](short c, short p, std::uint32_t* e) { return dsvp_NasChangeInstallInf(c, p, e); }},
      {pages::kA4TimeOut, pages::a4::kSize,
       [](short c, short p, std::uint32_t* e) {
         VEL_TIMECTLE r{};
         return dsvp_NasSetTimeOutinf(c, p, &r, e);
       }},
      {pages::kA5HibDump, pages::cmd::kSizeAddressOnly,
       [](short c, short p, std::uint32_t* e) { return dsvp_NasGetHibDump(c, p, e); }},
      {pages::kA7Power, pages::a7::kBootOpt + sizeof kBootOpt,
       [](short c, short p, std::uint32_t* e) { return dsvp_NasShutdown(c, p, VEL_NAS_REBOOT, kBootOpt, e); }},
      {pages::kA7Power, pages::a7::kBootOpt,
       [](short c, short p, std::uint32_t* e) { return dsvp_NasBlockadeForce(c, p, e); }},
      {pages::kA7Power, pages::a7::kBootOpt,
       [](short c, short p, std::uint32_t* e) { return dsvp_NasRestoreForce(c, p, e); }},
      {pages::kA9DumpPrepare, pages::cmd::kSizeAddressOnly,
       [](short c, short p, std::uint32_t* e) { return dsvp_SetDumpInformation(c, p, e); }},
      {pages::kABDownload, pages::cmd::kSizeAddressOnly,
       [](short c, short p, std::uint32_t* e) { return dsvp_DownloadDump(c, p, e); }},
  };
  return calls;
}

unsigned char* CopyOut(const std::vector<unsigned char>& image) {
  // Exactly the image's size, at least one byte, so that any read past it is caught.
  auto* pBuf = static_cast<unsigned char*>(std::malloc(image.empty() ? 1 : image.size()));
  if (!image.empty()) std::memcpy(pBuf, image.data(), image.size());
  return pBuf;
}

}  // namespace

// The array library, as far as VELAPI uses it.
extern "C" {
int ZQ_GUIInitialize(ZQ_GUI_INIT*) { return 0; }
int ZQ_LogPut(const char*, const char*) { return 0; }
int ZQ_GetUnitParam(const char*, ZQ_UNIT_PARAM*) { return 0; }
int ZQ_ModeSenseonMemory(const char*, int nPage, int nSubPage, int, unsigned char** ppBuf, int* pSize) {
  const std::vector<unsigned char>& image = nPage == pages::kPortInfoPage ? g_array.port : g_array.page;
  if (nPage != pages::kPortInfoPage) g_array.nSensedSubPage = nSubPage;
  *ppBuf = CopyOut(image);
  *pSize = static_cast<int>(image.size());
  return 0;
}
int ZQ_ModeSelectonMemory(const char*, int nPage, int nSubPage, int, const unsigned char*, int nSize) {
  // The image goes back whole to the sub-page it came from.
  FUZZ_CHECK(nPage == pages::kNasPage && nSubPage == g_array.nSensedSubPage &&
        nSize == static_cast<int>(g_array.page.size()));
  return 0;
}
int ZQ_FreeMemory(void* pBuf) {
  std::free(pBuf);
  return 0;
}
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  static const fuzz::ScratchFolder scratch("pages");
  static const bool named = [] {
    // dsvp_NasChangeInstallInf reads C:\tftp.ini: a system root of this run's own.
    ::setenv("KELP_SYSTEM_ROOT", scratch.Path().c_str(), 1);
    std::uint32_t ulError = 0;
    return dsvp_SetArrayUnitName("FUZZ", &ulError) == TRUE;
  }();
  FUZZ_CHECK(named);
  const Call& call = Calls()[data[0] % Calls().size()];
  const auto sCluster = static_cast<short>(data[1] & 1);
  const auto sPCB = static_cast<short>((data[1] >> 1) & 1);
  const bool bOwnPortPage = (data[1] & 4) != 0;
  g_array.page.assign(data + 2, data + size);
  g_array.port = bOwnPortPage ? g_array.page : FourNasBoards();
  g_array.nSensedSubPage = -1;

  std::uint32_t ulError = 0;
  const BOOL bResult = call.run(sCluster, sPCB, &ulError);
  if (g_array.nSensedSubPage == call.nSubPage && g_array.page.size() < call.nNeeded)
    FUZZ_CHECK(bResult == FALSE && ulError == VEL_ERR_MODE_PARAM);
  return 0;
}
