// Windows error codes as the report shows them, and the mapping from the
// C library's errno values to them for platforms other than Windows.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillbrane {

// The Windows codes the storage layer itself produces.
inline constexpr std::uint32_t ErrorInvalidFunction = 1;
inline constexpr std::uint32_t ErrorFileNotFound = 2;
inline constexpr std::uint32_t ErrorPathNotFound = 3;
inline constexpr std::uint32_t ErrorAccessDenied = 5;
inline constexpr std::uint32_t ErrorNotReady = 21;
inline constexpr std::uint32_t ErrorNotSupported = 50;
inline constexpr std::uint32_t ErrorInvalidParameter = 87;
inline constexpr std::uint32_t ErrorInsufficientBuffer = 122;
inline constexpr std::uint32_t ErrorInvalidName = 123;
inline constexpr std::uint32_t ErrorMoreData = 234;
inline constexpr std::uint32_t ErrorUnrecognizedVolume = 1005;
inline constexpr std::uint32_t ErrorIoDevice = 1117;
inline constexpr std::uint32_t ErrorDeviceNotConnected = 1167;
inline constexpr std::uint32_t ErrorDiskCorrupt = 1393;

// errno values without a Windows counterpart become this base plus errno.
inline constexpr std::uint32_t ErrnoCodeBase = 0x20000000;

// The Windows code a Windows user would see for the failure `errnoValue`.
std::uint32_t WindowsErrorFromErrno(int errnoValue);

// The standard English Windows message for `code`, ending in CR LF, as
// FormatMessage gives it; for a code made from an errno, the C library's
// text for that errno with CR LF; empty for any other code.
std::string WindowsErrorText(std::uint32_t code);

}  // namespace quillbrane
