// Reading sysfs attributes: small text files of one line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillbrane {

// The first line of the attribute file at `path`, without its line end;
// empty when it cannot be read.
std::string ReadAttribute(const std::string& path);

// Parses all of `text` as an unsigned decimal number.
bool ParseUnsigned(std::string_view text, std::uint64_t& value);

// Parses a "major:minor" device number, as sysfs "dev" attributes hold it.
bool ParseDeviceNumber(std::string_view text, std::uint32_t& major, std::uint32_t& minor);

}  // namespace quillbrane
