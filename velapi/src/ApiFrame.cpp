// The two exports outside the page layers: unit selection and the library revision.
#include <cstring>

#include "ArrayUnitName.h"
#include "VelArray.h"
#include "VelFrame.h"
#include "VelLog.h"

namespace {

constexpr char kRevision[] = "7.00";
constexpr char kInternalRevision[] = "20060905.01";
constexpr char kCopyright[] = "Copyright (C) 2006 Kelpset developers";
static_assert(sizeof kRevision <= VEL_REVISION_SIZE &&
              sizeof kInternalRevision <= VEL_REVISION_SIZE);
static_assert(sizeof kCopyright <= VEL_COPYRIGHT_SIZE);

bool NameAlreadySet(std::uint32_t* lpErrInfo) {
  vel__LogPut("Preconfigured ArrayUnitName=NULL");
  *lpErrInfo = VEL_ERR_UNIT_NAME_SET;
  return false;
}

bool svp_SetArrayUnitName_chkprm(const char* lpszUnitName, std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_SetArrayUnitName_chkprm", [&] {
    if (IsArrayUnitNameTaken()) return NameAlreadySet(lpErrInfo);
    if (lpszUnitName == nullptr)
      return velapi::InvalidParameter(lpErrInfo, "Invalid Parameter lpszUnitName=NULL");
    if (std::strlen(lpszUnitName) > kUnitNameMax)
      return velapi::InvalidParameter(lpErrInfo, "Invalid Parameter lpszUnitName length=%zu",
                                      std::strlen(lpszUnitName));
    return true;
  });
}

bool svp_SetArrayUnitName(const char* lpszUnitName, std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_SetArrayUnitName", [&] {
    if (!svp_SetArrayUnitName_chkprm(lpszUnitName, lpErrInfo)) return false;
    // Another thread may have claimed the name since the check.
    if (!ClaimArrayUnitName()) return NameAlreadySet(lpErrInfo);
    if (!vel__CheckUnitName(lpszUnitName, lpErrInfo)) {
      AbandonArrayUnitName();
      return false;
    }
    CommitArrayUnitName(lpszUnitName);
    vel__LogPut("ArrayUnitName ->%s", ArrayUnitName());
    return true;
  });
}

bool svp_VELAPIRevision_chkprm(const char* cRev, const char* ciRev, const char* cCopyright,
                               std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_VELAPIRevision_chkprm", [&] {
    if (cRev == nullptr) return velapi::InvalidParameter(lpErrInfo, "Invalid Parameter cRev=NULL");
    if (ciRev == nullptr) return velapi::InvalidParameter(lpErrInfo, "Invalid Parameter ciRev=NULL");
    if (cCopyright == nullptr)
      return velapi::InvalidParameter(lpErrInfo, "Invalid Parameter cCopyright=NULL");
    return true;
  });
}

bool svp_VELAPIRevision(char* cRev, char* ciRev, char* cCopyright, std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_VELAPIRevision", [&] {
    if (!svp_VELAPIRevision_chkprm(cRev, ciRev, cCopyright, lpErrInfo)) return false;
    std::strcpy(cRev, kRevision);
    std::strcpy(ciRev, kInternalRevision);
    std::strcpy(cCopyright, kCopyright);
    vel__LogPut("cRev -> %10s , ciRev -> %15s\n cCopyright -> %40s", cRev, ciRev, cCopyright);
    return true;
  });
}

}  // namespace

extern "C" {

BOOL dsvp_SetArrayUnitName(const char* lpszUnitName, std::uint32_t* lpErrInfo) {
  vel__LogPut("START dsvp_SetArrayUnitName");
  vel__LogPut("unitname -> %s", lpszUnitName != nullptr ? lpszUnitName : "NULL");
  return velapi::RunExport("dsvp_SetArrayUnitName", lpErrInfo,
                           [&] { return svp_SetArrayUnitName(lpszUnitName, lpErrInfo); });
}

BOOL dsvp_VELAPIRevision(char* cRev, char* ciRev, char* cCopyright, std::uint32_t* lpErrInfo) {
  vel__LogPut("START dsvp_VELAPIRevision");
  return velapi::RunExport("dsvp_VELAPIRevision", lpErrInfo,
                           [&] { return svp_VELAPIRevision(cRev, ciRev, cCopyright, lpErrInfo); });
}

}  // extern "C"
