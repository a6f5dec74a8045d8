/* The C interface between fwlaunch and a script library (Script.dll).
 *
 * fwlaunch loads the library from its working folder at run time, finds these three exports
 * by name and calls them in this order: Py_QueryCfg for the module list, Py_OpenFirmware,
 * then Py_ReadFileInFW once per listed module. A library includes this header so that the
 * compiler checks its exports against it; fwlaunch includes it for the same reason.
 *
 * Plain C, so that a library may be written in C or C++. */
#ifndef FWLAUNCH_SCRIPT_LIBRARY_H
#define FWLAUNCH_SCRIPT_LIBRARY_H

#include <stdint.h>

/* The calling convention of the three exports: cdecl on 32-bit Windows, the platform's only
 * one elsewhere. Written out so that a compiler set to another default still agrees. fwlaunch
 * calls a library built with stdcall just as safely; such a library defines FWL_CALL as
 * __stdcall before including this header, so that its exports are still checked. */
#ifndef FWL_CALL
#if defined(_WIN32) && !defined(_WIN64)
#define FWL_CALL __cdecl
#else
#define FWL_CALL
#endif
#endif

/* How a library marks its exports; fwlaunch itself never links against one. */
#if defined(_WIN32)
#define FWL_EXPORT __declspec(dllexport)
#elif defined(__GNUC__)
#define FWL_EXPORT __attribute__((visibility("default")))
#else
#define FWL_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The fixed sizes of the buffers fwlaunch hands over. They are limits of the data: nothing
 * longer is ever put into them. */
#define FWL_SCRIPT_LIST_SIZE 1024  /* the module list with its NUL: at most 1023 characters */
#define FWL_CONTEXT_SIZE 1024      /* the context block */
#define FWL_ENTRY_NAME_SIZE 128    /* a module name with its NUL: at most 127 characters */
#define FWL_TRANSFER_SIZE 0xA00000 /* the transfer buffer: 10 MiB, the largest module */

/* The access token: 0x01 then "KQZVNPL", 8 bytes without a NUL. It stands at the start of
 * the context block for Py_OpenFirmware and at the start of the transfer buffer before every
 * Py_ReadFileInFW. */
#define FWL_ACCESS_TOKEN "\x01KQZVNPL"
#define FWL_ACCESS_TOKEN_SIZE 8

/* The configuration key whose value is the module list: file names, each followed by LF. */
#define FWL_SCRIPT_LIST_KEY "SCRIPT_PYD"

/* The offset and mode fwlaunch passes to Py_ReadFileInFW: the whole module, from its start. */
#define FWL_READ_OFFSET 0
#define FWL_READ_MODE 1

/* Fills list (FWL_SCRIPT_LIST_SIZE bytes, zeroed by the caller) with the key's value as a
 * NUL-terminated text. fwlaunch does not look at the result. */
int32_t FWL_CALL Py_QueryCfg(const char* firmware_path, const char* key, char* list);

/* Opens the firmware for the reads that follow. transfer: FWL_TRANSFER_SIZE bytes, zeroed;
 * context: FWL_CONTEXT_SIZE bytes, the token then zeros; the library may keep its own state
 * in the context, which fwlaunch never touches again. fwlaunch does not look at the result. */
int32_t FWL_CALL Py_OpenFirmware(const char* firmware_path, uint8_t* transfer, uint8_t* context);

/* Puts the named module's bytes at the start of transfer (capacity bytes) and returns their
 * count, 0 to capacity. */
int32_t FWL_CALL Py_ReadFileInFW(uint8_t* context, const char* name, int32_t offset,
                                 int32_t capacity, uint8_t* transfer, int32_t mode);

/* The three exports' types, for a caller that finds them at run time. */
typedef int32_t(FWL_CALL* FwlQueryCfgFunction)(const char*, const char*, char*);
typedef int32_t(FWL_CALL* FwlOpenFirmwareFunction)(const char*, uint8_t*, uint8_t*);
typedef int32_t(FWL_CALL* FwlReadFileInFWFunction)(uint8_t*, const char*, int32_t, int32_t,
                                                   uint8_t*, int32_t);

#ifdef __cplusplus
}
#endif

#endif /* FWLAUNCH_SCRIPT_LIBRARY_H */
