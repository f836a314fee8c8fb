#include "storage/linux/sysfs.h"

#include <array>
#include <charconv>
#include <cstdio>

namespace quillbrane {

std::string ReadAttribute(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "re");
  if (file == nullptr) return std::string();
  std::array<char, 4096> text{};
  const std::size_t n = std::fread(text.data(), 1, text.size() - 1, file);
  std::fclose(file);
  std::string value(text.data(), n);
  const std::size_t end = value.find('\n');
  if (end != std::string::npos) value.resize(end);
  return value;
}

bool ParseUnsigned(std::string_view text, std::uint64_t& value) {
  if (text.empty()) return false;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

bool ParseDeviceNumber(std::string_view text, std::uint32_t& major, std::uint32_t& minor) {
  const std::size_t colon = text.find(':');
  std::uint64_t high = 0, low = 0;
  if (colon == std::string_view::npos || !ParseUnsigned(text.substr(0, colon), high) ||
      !ParseUnsigned(text.substr(colon + 1), low) || high > UINT32_MAX || low > UINT32_MAX) {
    return false;
  }
  major = static_cast<std::uint32_t>(high);
  minor = static_cast<std::uint32_t>(low);
  return true;
}

}  // namespace quillbrane
