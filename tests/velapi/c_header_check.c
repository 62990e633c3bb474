/* velapi.h as C: the records have their sizes, the exports link, and calls that need no unit
 * answer as documented. */
#include <stdio.h>
#include <string.h>

#include "velapi.h"

_Static_assert(sizeof(VEL_PCBINF) == 208, "equipment record");
_Static_assert(sizeof(VEL_CURENTSTATE) == 64, "status record");
_Static_assert(sizeof(VEL_MPSTINF) == 288, "MP status record");
_Static_assert(sizeof(VEL_TIMECTLE) == 40, "time-out record");
_Static_assert(sizeof(uint32_t) == 4 && sizeof(short) == 2 && sizeof(BOOL) == sizeof(int),
               "fixed-width types");

static int Fail(const char* what) {
  fprintf(stderr, "c_header_check: %s\n", what);
  return 1;
}

int main(void) {
  char szRev[VEL_REVISION_SIZE] = {0};
  char szIRev[VEL_REVISION_SIZE] = {0};
  char szCopy[VEL_COPYRIGHT_SIZE] = {0};
  uint32_t ulErr = 0xDEADu;
  if (dsvp_VELAPIRevision(szRev, szIRev, szCopy, &ulErr) != TRUE || ulErr != 0)
    return Fail("dsvp_VELAPIRevision failed");
  if (strcmp(szRev, "7.00") != 0) return Fail("unexpected revision");

  VEL_PCBINF stPcbinf;
  if (dsvp_GetCHNEquipment(&stPcbinf, NULL) != FALSE) return Fail("null lpErrInfo accepted");
  if (dsvp_GetNasAllStatus(NULL, NULL, &ulErr) != FALSE || ulErr != VEL_ERR_NOT_SUPPORTED)
    return Fail("dsvp_GetNasAllStatus not refused");
  if (dsvp_NasShutdown(2, 0, VEL_NAS_BOOT, NULL, &ulErr) != FALSE || ulErr != VEL_ERR_INVALID_PARAM)
    return Fail("bad sCluster accepted");
  return 0;
}
