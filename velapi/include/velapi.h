/* VELAPI: the NAS maintenance API. Every export reads or writes one NAS mode page of the disk
 * array through the array-management library (corvid) and works on records the caller owns;
 * the library hands out no memory.
 *
 * Common rules:
 * - Every export returns TRUE (1) on success and FALSE (0) on failure.
 * - The last argument, lpErrInfo, receives 0 on entry and a VEL_ERR_ code (or a converted
 *   array code, see below) on failure. With a null lpErrInfo the call returns FALSE at once.
 * - A board is addressed by sCluster and sPCB, each 0 or 1. 16-element arrays handed back are
 *   indexed by slot = sCluster * 8 + sPCB, so only slots 0, 1, 8 and 9 are ever filled.
 * - Array error codes come back as code | 0x83000000 when bit 24 of the code is set and as
 *   code | 0x84000000 otherwise; the path time-outs 0x1002, 0x40000, 0x60000 and 0x70000 come
 *   back as VEL_ERR_SVP_TIMEOUT, which the caller may retry.
 * - dsvp_SetArrayUnitName must succeed once before the other calls reach a unit.
 * - Each call logs to the log "velapilog"; while a file "velapi.dbg" exists in the current
 *   directory the inner steps log too.
 * - No export takes a lock or starts a thread; calls may come from any thread.
 *
 * Usable from C and C++. */
#ifndef VELAPI_H
#define VELAPI_H

#include <stdint.h>

#ifndef BOOL
typedef int BOOL;
#endif
#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#if defined(VELAPI_BUILDING)
#define VELAPI_EXPORT __attribute__((visibility("default")))
#else
#define VELAPI_EXPORT
#endif

#ifdef __cplusplus
#define VEL_STATIC_ASSERT(cond, text) static_assert(cond, text)
extern "C" {
#else
#define VEL_STATIC_ASSERT(cond, text) _Static_assert(cond, text)
#endif

/* Error codes stored in *lpErrInfo. */
#define VEL_ERR_INVALID_PARAM 1u        /* an argument check failed; also a bad serial number */
#define VEL_ERR_NOT_SUPPORTED 5u        /* the operation is not provided */
#define VEL_ERR_SVP_TIMEOUT 6u          /* time-out on the path to the array: retry */
#define VEL_ERR_NOT_NAS_SLOT 7u         /* no NAS board at this sCluster/sPCB */
#define VEL_ERR_MODE_PARAM 8u           /* a field could not be stored in (or read from) the page */
#define VEL_ERR_UNIT_NAME_SET 9u        /* the unit name had already been set */
#define VEL_ERR_NNC_INVALID 0x80000001u /* board entry not equipped, not valid, or bad status */
#define VEL_ERR_INHERIT_UPDATED 0xFFFFFFFFu /* install refused: call again with *lpInherit */
#define VEL_ERR_ARRAY_BIT24 0x83000000u     /* prefix of a converted array code with bit 24 set */
#define VEL_ERR_ARRAY 0x84000000u           /* prefix of a converted array code without bit 24 */

/* usCHN values of VEL_PCBINF. */
#define VEL_KELP_TYPE_NOTEQUIP 0xFFFFu
#define VEL_KELP_TYPE_NOTKELP 0u
#define VEL_KELP_TYPE_KELP 1u
#define VEL_KELP_TYPE_UNKNOWN 2u

/* usMpST values of VEL_MPSTINF. */
#define VEL_CHP_NORMAL 0x1000u
#define VEL_CHP_BLOCKADE 0x1001u

/* dwOption of dsvp_NasShutdown (the first three); the last two are sent by
 * dsvp_NasBlockadeForce and dsvp_NasRestoreForce. */
#define VEL_NAS_SHUTDOWN 0x0000000Cu
#define VEL_NAS_REBOOT 0x0001000Cu
#define VEL_NAS_BOOT 0x80000000u
#define VEL_NAS_BLOCKADE 0x40000000u
#define VEL_NAS_RESTORE 0x20000000u
#define VEL_BOOTOPT_MAX 84 /* characters of lpBootOpt, without the NUL */

/* dwOption of dsvp_NasGetProgress. */
#define VEL_PROGRESS_INSTALL 1u /* install status word */
#define VEL_PROGRESS_HIBDUMP 2u /* 0 idle, 0xFFFFFFFF hibernation dump running */

/* Sizes of caller buffers. */
#define VEL_SLOTS 16
#define VEL_CHNTYPE_SIZE 9       /* a cCHNType text and its NUL */
#define VEL_INFO_SIZE 128        /* lpiop, lpCom */
#define VEL_IPADDR_SIZE 4        /* lpIpAddr, lpSubnet: one byte per octet, in address order */
#define VEL_LOCATION_MIN_SIZE 14 /* smallest sSize dsvp_GetChaLocationName accepts */
#define VEL_SHUTDOWN_PROGRESS_SIZE 16
#define VEL_DUMP_DATE_SIZE 15 /* 14 date characters and a NUL */
#define VEL_DWNL_FILE_SIZE 27 /* 26 name bytes and a NUL the caller provides */
#define VEL_TIMECTLE_COUNT 10
#define VEL_REVISION_SIZE 16  /* cRev, ciRev */
#define VEL_COPYRIGHT_SIZE 40 /* cCopyright */

/* Board equipment, filled by dsvp_GetCHNEquipment. */
typedef struct VEL_PCBINF {
  unsigned short usCHN[VEL_SLOTS];            /* VEL_KELP_TYPE_ per slot */
  char cCHNType[VEL_SLOTS][VEL_CHNTYPE_SIZE]; /* "4P-4GF", "UNKNOWN", "NOTEQUIP", ... */
  char cReserve[32];                          /* left zero */
} VEL_PCBINF;
VEL_STATIC_ASSERT(sizeof(VEL_PCBINF) == 208, "VEL_PCBINF is 208 bytes");

/* Board status words, filled by dsvp_NasGetCurrentStatus. */
typedef struct VEL_CURENTSTATE {
  unsigned short usChnStat[VEL_SLOTS];
  char cReserve[32];
} VEL_CURENTSTATE;
VEL_STATIC_ASSERT(sizeof(VEL_CURENTSTATE) == 64, "VEL_CURENTSTATE is 64 bytes");

/* MP status of one slot. */
typedef struct VEL_MPST {
  unsigned short usMpST; /* VEL_CHP_NORMAL, VEL_CHP_BLOCKADE, ... */
  char cReserve[14];
} VEL_MPST;

/* MP status per slot, filled by dsvp_GetCHNMPStatus. */
typedef struct VEL_MPSTINF {
  VEL_MPST stMp[VEL_SLOTS];
  char cReserve[32];
} VEL_MPSTINF;
VEL_STATIC_ASSERT(sizeof(VEL_MPSTINF) == 288, "VEL_MPSTINF is 288 bytes");

/* Board time-out values: the first six are the board's, the last four read back 0xFFFFFFFF. */
typedef struct VEL_TIMECTLE {
  uint32_t dwTimeCtle[VEL_TIMECTLE_COUNT];
} VEL_TIMECTLE;
VEL_STATIC_ASSERT(sizeof(VEL_TIMECTLE) == 40, "VEL_TIMECTLE is ten 32-bit values");

/* ---- Call frame ---- */

/* Selects the array unit for all later calls. Succeeds once per process: a second call fails
 * with VEL_ERR_UNIT_NAME_SET, even with the same name. A name the array does not know (or longer
 * than 64 characters) is not stored, so a later call with a good name still succeeds. */
VELAPI_EXPORT BOOL dsvp_SetArrayUnitName(const char* lpszUnitName, uint32_t* lpErrInfo);

/* Copies the revision "7.00" into cRev, the internal revision into ciRev (each needs
 * VEL_REVISION_SIZE bytes) and a copyright text of at most 39 characters into cCopyright
 * (VEL_COPYRIGHT_SIZE bytes). No array access. */
VELAPI_EXPORT BOOL dsvp_VELAPIRevision(char* cRev, char* ciRev, char* cCopyright,
                                       uint32_t* lpErrInfo);

/* ---- Queries (nothing changes on the array) ---- */

/* Fills usCHN and cCHNType of every slot (zeroes the record first). */
VELAPI_EXPORT BOOL dsvp_GetCHNEquipment(VEL_PCBINF* lpPcbinf, uint32_t* lpErrInfo);
/* I/O-processor information of a board: VEL_INFO_SIZE bytes. */
VELAPI_EXPORT BOOL dsvp_NasGetIoPInf(short sCluster, short sPCB, unsigned char* lpiop,
                                     uint32_t* lpErrInfo);
/* Common information of a board: VEL_INFO_SIZE bytes; the first six are its MAC address. */
VELAPI_EXPORT BOOL dsvp_NasGetComInf(short sCluster, short sPCB, unsigned char* lpCom,
                                     uint32_t* lpErrInfo);
/* A board's IP address and the subnet mask, VEL_IPADDR_SIZE bytes each. */
VELAPI_EXPORT BOOL dsvp_NasGetP4IPAddr(short sCluster, short sPCB, unsigned char* lpIpAddr,
                                       unsigned char* lpSubnet, uint32_t* lpErrInfo);
/* The maintenance PC's IP address on the boards' LAN and the subnet mask. */
VELAPI_EXPORT BOOL dsvp_GetSvpIPAddr(unsigned char* lpIpAddr, unsigned char* lpSubnet,
                                     uint32_t* lpErrInfo);
/* The array's serial number (eight decimal digits in the page). */
VELAPI_EXPORT BOOL dsvp_GetDkcSerialNo(uint32_t* lpSerialNo, uint32_t* lpErrInfo);
/* The array's 16-bit model code. */
VELAPI_EXPORT BOOL dsvp_GetDkcModelType(uint32_t* lpModel, uint32_t* lpErrInfo);
/* Status word of every board (zeroes the record first). */
VELAPI_EXPORT BOOL dsvp_NasGetCurrentStatus(VEL_CURENTSTATE* lpCurentState, uint32_t* lpErrInfo);
/* MP status of every board (zeroes the record first). */
VELAPI_EXPORT BOOL dsvp_GetCHNMPStatus(VEL_MPSTINF* lpMpStinf, uint32_t* lpErrInfo);
/* A board's location name (at most 13 characters), NUL-padded to sSize, which must be at least
 * VEL_LOCATION_MIN_SIZE. */
VELAPI_EXPORT BOOL dsvp_GetChaLocationName(short sCluster, short sPCB, char* lpLocationName,
                                           short sSize, uint32_t* lpErrInfo);
/* A board's time-out values. */
VELAPI_EXPORT BOOL dsvp_NasGetTimeOutinf(short sCluster, short sPCB, VEL_TIMECTLE* lpTimeCtle,
                                         uint32_t* lpErrInfo);
/* dwOption VEL_PROGRESS_INSTALL: the install status word (a failed network boot fails the call
 * with its result as the error); VEL_PROGRESS_HIBDUMP: the hibernation-dump state. */
VELAPI_EXPORT BOOL dsvp_NasGetProgress(short sCluster, short sPCB, uint32_t dwOption,
                                       uint32_t* lpProgress, uint32_t* lpErrInfo);
/* Shutdown progress bytes of all four boards (sCluster/sPCB are only checked), into two
 * VEL_SHUTDOWN_PROGRESS_SIZE arrays: lpProgress by sCluster * 4 + sPCB, lpVELAPIProgress by
 * slot. Both are zeroed first. */
VELAPI_EXPORT BOOL dsvp_NasGetShutdownStatusEx(short sCluster, short sPCB,
                                               unsigned char* lpProgress,
                                               unsigned char* lpVELAPIProgress,
                                               uint32_t* lpErrInfo);
/* A board's dump status, date (lpszDate needs VEL_DUMP_DATE_SIZE bytes) and size. */
VELAPI_EXPORT BOOL dsvp_GetDumpInformation(short sCluster, short sPCB, uint32_t* lpdwStatus,
                                           char* lpszDate, uint32_t* lpdwSize, uint32_t* lpErrInfo);
/* A board's dump download status and file name. The name is copied with a bound of 26 bytes and
 * a 26-character name gets no NUL: lpszDwnlFile must hold VEL_DWNL_FILE_SIZE bytes and be
 * zero-filled by the caller. */
VELAPI_EXPORT BOOL dsvp_GetDownloadDumpStatus(short sCluster, short sPCB, uint32_t* lpdwDwnlStatus,
                                              char* lpszDwnlFile, uint32_t* lpErrInfo);

/* Not provided: each returns FALSE with VEL_ERR_NOT_SUPPORTED and ignores its arguments. */
VELAPI_EXPORT BOOL dsvp_GetInstallLinuxStatus(void* lpStatus, uint32_t* lpErrInfo);
VELAPI_EXPORT BOOL dsvp_NasGetIPAddrFromSVP(void* lpIpAddr, uint32_t* lpErrInfo);
VELAPI_EXPORT BOOL dsvp_NasGetShutdownStatus(void* lpParam1, void* lpParam2, uint32_t* lpErrInfo);
VELAPI_EXPORT BOOL dsvp_GetNasAllStatus(void* lpParam1, void* lpParam2, uint32_t* lpErrInfo);

/* ---- Commands (the array carries them out after the call returns) ---- */

/* Starts the network installation. ulOption 0..2, ulOption2 0..1, ulOption3 0..1 (not
 * checked, and the array's value kept, when ulOption is 2). *lpInherit is the retry count:
 * when the array asks for a new one the call fails with VEL_ERR_INHERIT_UPDATED and
 * *lpInherit is incremented for the next call. */
VELAPI_EXPORT BOOL dsvp_NasInstallLinux(short sCluster, short sPCB, uint32_t ulOption,
                                        uint32_t ulOption2, uint32_t ulOption3, uint32_t* lpInherit,
                                        uint32_t* lpErrInfo);
/* Sends the install information; when the array asks for it, the NAS OS version of the
 * installation medium named in C:\tftp.ini ("--------" when unknown). */
VELAPI_EXPORT BOOL dsvp_NasChangeInstallInf(short sCluster, short sPCB, uint32_t* lpErrInfo);
/* Sends the first six time-out values (0 is sent as 0xFFFFFFFF). */
VELAPI_EXPORT BOOL dsvp_NasSetTimeOutinf(short sCluster, short sPCB, const VEL_TIMECTLE* lpTimeCtle,
                                         uint32_t* lpErrInfo);
/* Starts a hibernation dump. */
VELAPI_EXPORT BOOL dsvp_NasGetHibDump(short sCluster, short sPCB, uint32_t* lpErrInfo);
/* dwOption VEL_NAS_SHUTDOWN, VEL_NAS_REBOOT or VEL_NAS_BOOT; lpBootOpt (at most
 * VEL_BOOTOPT_MAX characters) is sent when not null. */
VELAPI_EXPORT BOOL dsvp_NasShutdown(short sCluster, short sPCB, uint32_t dwOption,
                                    const char* lpBootOpt, uint32_t* lpErrInfo);
/* Blocks a board (first half of the board reset). */
VELAPI_EXPORT BOOL dsvp_NasBlockadeForce(short sCluster, short sPCB, uint32_t* lpErrInfo);
/* Restores a blocked board (second half of the board reset). */
VELAPI_EXPORT BOOL dsvp_NasRestoreForce(short sCluster, short sPCB, uint32_t* lpErrInfo);
/* Has the array refresh a board's dump information. */
VELAPI_EXPORT BOOL dsvp_SetDumpInformation(short sCluster, short sPCB, uint32_t* lpErrInfo);
/* Starts the download of a board's dump. */
VELAPI_EXPORT BOOL dsvp_DownloadDump(short sCluster, short sPCB, uint32_t* lpErrInfo);

#ifdef __cplusplus
}
#endif

#endif /* VELAPI_H */
