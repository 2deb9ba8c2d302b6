#ifndef KBCFG_REMOTE_ABI_VYXNETSDK_H
#define KBCFG_REMOTE_ABI_VYXNETSDK_H
/*
 * The C interface of the device network library, libVyxNetSDK.so, as this tool calls it. All
 * calls are synchronous. Texts are 8-bit, zero-terminated, in the code page the tool uses; file
 * paths are native file-system paths. Answer buffers are plain bytes: the offsets below are the
 * only bytes the tool reads, little-endian where wider than one byte.
 */

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define VYX_API __attribute__((visibility("default")))
#else
#define VYX_API
#endif

/* Error codes of VYX_GetLastError. After a failed device login only VYX_ERR_PASSWORD is told
 * apart: every other code counts as "no connection". */
enum {
    VYX_ERR_NONE = 0,
    VYX_ERR_PASSWORD = 1,
    VYX_ERR_NOT_INITIALISED = 3,
    VYX_ERR_NETWORK = 7,
    VYX_ERR_PARAMETER = 17,
    VYX_ERR_NOT_LOGGED_IN = 18,
    VYX_ERR_UNSUPPORTED = 23,
    VYX_ERR_BUFFER_TOO_SMALL = 43,
    VYX_ERR_FILE_OPEN = 34,
    VYX_ERR_FILE_WRITE = 35,
    VYX_ERR_FILE_FORMAT = 36,
    VYX_ERR_UPGRADE_REFUSED = 50,
    VYX_ERR_BAD_HANDLE = 51
};

/* The login answer (VYX_Login, 80 bytes, zeroed by the caller). */
enum {
    VYX_LOGIN_INFO_SIZE = 80,
    VYX_LOGIN_SERIAL = 0, /* 48 bytes of text */
    VYX_LOGIN_SERIAL_WIDTH = 48,
    VYX_LOGIN_CHANNEL_COUNT = 52,    /* u8: analog input channels */
    VYX_LOGIN_FIRST_CHANNEL = 53,    /* u8: number of the first input channel */
    VYX_LOGIN_IP_CHANNEL_COUNT = 55, /* u8: non-zero when the device has IP channels */
    VYX_LOGIN_DEVICE_TYPE = 62       /* u16: device type code */
};

/* VYX_GetDeviceConfig commands and their answers. Every answer begins with its own size (u32). */
enum {
    VYX_CONFIG_SIZE_FIELD = 0,

    VYX_CMD_DEVICE_NAME = 100,
    VYX_DEVICE_NAME_SIZE = 132,
    VYX_DEVICE_NAME = 4, /* 32 bytes, zero-padded, not terminated when full */
    VYX_DEVICE_NAME_WIDTH = 32,

    VYX_CMD_CHANNEL_NAME = 200, /* channel argument: the channel number */
    VYX_CHANNEL_NAME_SIZE = 892,
    VYX_CHANNEL_NAME = 4,
    VYX_CHANNEL_NAME_WIDTH = 32,

    VYX_CMD_IP_CHANNELS = 1060, /* channel argument: -1 */
    VYX_IP_CHANNELS_SIZE = 10660,
    VYX_IP_DEVICE_ENTRIES = 4, /* 32 entries of 296 bytes */
    VYX_IP_DEVICE_ENTRY_SIZE = 296,
    VYX_ANALOG_ENABLE = 9476,      /* 32 bytes, one per analog channel */
    VYX_IP_CHANNEL_ENTRIES = 9508, /* 32 entries of 36 bytes; byte 0 of each: enabled */
    VYX_IP_CHANNEL_ENTRY_SIZE = 36,
    VYX_IP_CHANNEL_COUNT = 32
};

/* VYX_GetDeviceAbility types and their answers. */
enum {
    VYX_ABILITY_OUTPUTS = 0x260,
    VYX_OUTPUTS_SIZE = 1184,
    VYX_OUTPUTS_VGA = 12, /* u8 count, then u8 number of the first */
    VYX_OUTPUTS_BNC = 144,
    VYX_OUTPUTS_HDMI = 276,
    VYX_OUTPUTS_DVI = 408,
    VYX_OUTPUTS_TV_WALL = 1052,

    VYX_ABILITY_SCENES = 0x212,
    VYX_SCENES_SIZE = 5120 /* zero-terminated XML text */
};

/* VYX_GetUpgradeState results. */
enum {
    VYX_UPGRADE_FAILED_EARLY = -1,
    VYX_UPGRADE_DONE = 1,
    VYX_UPGRADE_RUNNING = 2,
    VYX_UPGRADE_FAILED = 3,
    VYX_UPGRADE_NETWORK_LOST = 4,
    VYX_UPGRADE_LANGUAGE_MISMATCH = 5
};

/* Panel upgrade step codes, reported by VYX_GetUpgradeProgress. */
enum {
    VYX_PANEL_STEP_ERASE = 10,
    VYX_PANEL_STEP_PREPARE = 20,
    VYX_PANEL_STEP_RECEIVE = 30,
    VYX_PANEL_STEP_UPDATE = 40
};

/* Results are nonzero for success unless stated otherwise. */
VYX_API int32_t VYX_Init(void);
VYX_API int32_t VYX_Cleanup(void);
/* Login id (0 or more), or negative on failure; deviceInfo: VYX_LOGIN_INFO_SIZE bytes. */
VYX_API int32_t VYX_Login(const char* ip, uint16_t port, const char* userName, const char* password,
                          uint8_t* deviceInfo);
/* The code of the last failure on the calling thread. */
VYX_API int32_t VYX_GetLastError(void);
VYX_API int32_t VYX_Logout(int32_t loginId);
VYX_API int32_t VYX_LogoutEx(int32_t loginId);
/* Writes the keyboard's stored configuration file to path. */
VYX_API int32_t VYX_GetConfigFile(int32_t loginId, const char* path);
/* Sends the file at path to the keyboard. */
VYX_API int32_t VYX_SetConfigFile(int32_t loginId, const char* path);
VYX_API int32_t VYX_GetDeviceConfig(int32_t loginId, uint32_t command, int32_t channel,
                                    void* buffer, uint32_t bufferSize, uint32_t* returned);
VYX_API int32_t VYX_GetDeviceAbility(int32_t loginId, uint32_t abilityType, const void* input,
                                     uint32_t inputSize, void* buffer, uint32_t bufferSize);
/* Upgrade handle (0 or more), or negative on failure. */
VYX_API int32_t VYX_Upgrade(int32_t loginId, const char* packagePath);
/* One of the VYX_UPGRADE_ codes. */
VYX_API int32_t VYX_GetUpgradeState(int32_t upgradeHandle);
/* Percent done (firmware) or a VYX_PANEL_STEP_ code (panel); -1 for an unknown handle. */
VYX_API int32_t VYX_GetUpgradeProgress(int32_t upgradeHandle);
VYX_API int32_t VYX_GetUpgradeStep(int32_t upgradeHandle, int32_t* step);
VYX_API int32_t VYX_CloseUpgradeHandle(int32_t upgradeHandle);
/* Zero when the keyboard refuses a panel upgrade. */
VYX_API int32_t VYX_GetEncryptState(int32_t loginId, int32_t kind, uint32_t* value);

#ifdef __cplusplus
}
#endif

#endif
