#ifndef KBCFG_REMOTE_ABI_VORP_H
#define KBCFG_REMOTE_ABI_VORP_H
/*
 * The C interface of the discovery library, libVorp.so. After VORP_Start_V20 the library
 * reports devices from a thread of its own through the callback; VORP_Stop ends that and
 * returns once no callback is running any more.
 */

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define VORP_API __attribute__((visibility("default")))
#else
#define VORP_API
#endif

/* One report, VORP_FOUND_RECORD_SIZE bytes. Texts are zero-terminated 8-bit strings, u32 and i32
 * fields little-endian. Fields marked "carried" mean nothing to the tool. */
enum {
    VORP_FOUND_RECORD_SIZE = 435,
    VORP_FOUND_TAG = 0, /* 12 bytes of text, carried */
    VORP_FOUND_TAG_WIDTH = 12,
    VORP_FOUND_SERIAL = 12,
    VORP_FOUND_SERIAL_WIDTH = 48,
    VORP_FOUND_MAC = 60,
    VORP_FOUND_MAC_WIDTH = 20,
    VORP_FOUND_IP = 80,
    VORP_FOUND_IP_WIDTH = 16,
    VORP_FOUND_MASK = 96,
    VORP_FOUND_MASK_WIDTH = 16,
    VORP_FOUND_WORD_112 = 112, /* u32, carried */
    VORP_FOUND_PORT = 116,     /* u32 */
    VORP_FOUND_CHANNELS = 120, /* u32 */
    VORP_FOUND_WORD_124 = 124, /* u32, carried */
    VORP_FOUND_SOFTWARE = 128,
    VORP_FOUND_SOFTWARE_WIDTH = 48,
    VORP_FOUND_DSP = 176,
    VORP_FOUND_DSP_WIDTH = 48,
    VORP_FOUND_START_TIME = 224,
    VORP_FOUND_START_TIME_WIDTH = 48,
    VORP_FOUND_EVENT = 272, /* i32, one of the VORP_EVENT_ codes */
    VORP_FOUND_DESCRIPTION = 276,
    VORP_FOUND_DESCRIPTION_WIDTH = 24,
    VORP_FOUND_TEXT_300 = 300, /* carried texts */
    VORP_FOUND_TEXT_300_WIDTH = 24,
    VORP_FOUND_TEXT_324 = 324,
    VORP_FOUND_TEXT_324_WIDTH = 16,
    VORP_FOUND_TEXT_340 = 340,
    VORP_FOUND_TEXT_340_WIDTH = 46,
    VORP_FOUND_TEXT_386 = 386,
    VORP_FOUND_TEXT_386_WIDTH = 46,
    VORP_FOUND_BYTES_432 = 432 /* three u8, carried */
};

/* Event codes at VORP_FOUND_EVENT. */
enum {
    VORP_EVENT_ADD = 1,
    VORP_EVENT_UPDATE = 2,
    VORP_EVENT_REMOVE = 3,
    VORP_EVENT_BACK_ONLINE = 4,
    VORP_EVENT_REFRESH = 5
};

/* Called on the library's thread; record is valid only during the call. The result is not
 * used. */
typedef int (*VORP_DeviceFoundCallback)(const uint8_t* record, void* userData);

/* Nonzero when discovery has started. */
VORP_API int32_t VORP_Start_V20(VORP_DeviceFoundCallback callback, void* userData);
VORP_API int32_t VORP_Stop(void);

#ifdef __cplusplus
}
#endif

#endif
