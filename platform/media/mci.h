// The string media command interface: one command text in, an error code out,
// replies (for "status" only) through the caller's buffer.
#pragma once

#include <cstdint>

using MCIERROR = std::uint32_t;

constexpr MCIERROR MCIERR_NONE = 0;
constexpr MCIERROR MCIERR_UNRECOGNIZED_KEYWORD = 259;
constexpr MCIERROR MCIERR_INVALID_DEVICE_NAME = 263;
constexpr MCIERROR MCIERR_UNRECOGNIZED_COMMAND = 261;
constexpr MCIERROR MCIERR_FILE_NOT_FOUND = 275;
constexpr MCIERROR MCIERR_CANNOT_LOAD_DRIVER = 266;
constexpr MCIERROR MCIERR_DUPLICATE_ALIAS = 289;
constexpr MCIERROR MCIERR_MISSING_PARAMETER = 273;
constexpr MCIERROR MCIERR_PARAM_OVERFLOW = 299;
constexpr MCIERROR MCIERR_INVALID_FILE = 304;

// command: the command text ("open <element> type mpegvideo alias <alias>",
//   "play <alias>", "pause <alias>", "resume <alias>", "stop <alias>",
//   "close <alias>", "close all", "set <alias> audio all off|on",
//   "status <alias> mode|position|length", "info <alias> file": the file the
//   device opened, as found on disk).
// returnString/returnLength: buffer for the reply text, NUL-terminated and cut
//   to returnLength - 1 characters; may be null/0 when no reply is wanted.
// hwndCallback: notification handle, accepted and ignored.
// Returns MCIERR_NONE on success. Never blocks the caller on audio output.
MCIERROR mciSendStringA(const char* command, char* returnString, unsigned returnLength, void* hwndCallback);
