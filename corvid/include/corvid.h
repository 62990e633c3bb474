/* The array-management library: every exchange with the disk array goes through it.
 *
 * This build is a stand-in backed by a simulated array (see corvid/Sim.h): each unit lives in
 * <system root>/arrays/<unit>/, several processes share it, and board commands selected into the
 * NAS mode pages run as board state machines on the scaled clock.
 *
 * Every function returns 0 on success and an error code otherwise. Time-outs on the path to the
 * array are 0x1002, 0x40000, 0x60000 and 0x70000; other codes come from injected faults (with or
 * without bit 24 set) or from the rules below. Usable from C and C++. */
#ifndef CORVID_H
#define CORVID_H

#ifdef __cplusplus
extern "C" {
#endif

#define ZQ_UNIT_NAME_MAX 64

/* Time-out codes on the path to the array. */
#define ZQ_ERR_TIMEOUT_PATH 0x1002
#define ZQ_ERR_TIMEOUT_40000 0x40000
#define ZQ_ERR_TIMEOUT_60000 0x60000
#define ZQ_ERR_TIMEOUT_70000 0x70000
/* Codes of the stand-in itself. */
#define ZQ_ERR_UNKNOWN_UNIT 0x01000010   /* no unit of that name */
#define ZQ_ERR_BAD_ARGUMENT 0x01000011   /* null pointer, bad size, bad name */
#define ZQ_ERR_NO_PAGE 0x01000012        /* page/sub-page the array does not have */
#define ZQ_ERR_STATE 0x01000013          /* the unit's files could not be read or saved */
#define ZQ_ERR_NO_MEMORY 0x01000014
#define ZQ_ERR_INHERIT_RETRY 0x01800000  /* install refused: call again with a new RetryInfo */
#define ZQ_ERR_NO_SESSION 0x01000015     /* the session is not one the unit handed out */

/* The records (ZQ_GUI_INIT among them) and the functions of the JNI family, generated from the
 * schema: each get returns what the matching set stored or a default, text results are released
 * with ZQ_FreeMemory. */
#include "corvid_records.h"

/* ZQ_GetUnitParam's record; its content is the library's own. */
typedef struct ZQ_UNIT_PARAM {
  unsigned char data[256];
} ZQ_UNIT_PARAM;

/* Sets up the library for this process. */
int ZQ_GUIInitialize(ZQ_GUI_INIT* pInit);
/* Appends one line to <system root>/log/<pszLogName>.log. */
int ZQ_LogPut(const char* pszLogName, const char* pszLine);
/* 0 when pszUnitName is a unit known to the library; fills the record. */
int ZQ_GetUnitParam(const char* pszUnitName, ZQ_UNIT_PARAM* pParam);
/* Senses a page: on 0, *ppBuf is a buffer the caller returns with ZQ_FreeMemory and *pSize its
 * length. nOption is always -1. */
int ZQ_ModeSenseonMemory(const char* pszUnitName, int nPage, int nSubPage, int nOption,
                         unsigned char** ppBuf, int* pSize);
/* Selects a page image (a sensed image with some fields changed) back to the array. */
int ZQ_ModeSelectonMemory(const char* pszUnitName, int nPage, int nSubPage, int nOption,
                          const unsigned char* pBuf, int nSize);
/* Releases a buffer that ZQ_ModeSenseonMemory returned. */
int ZQ_FreeMemory(void* pBuf);

#ifdef __cplusplus
}
#endif

#endif /* CORVID_H */
