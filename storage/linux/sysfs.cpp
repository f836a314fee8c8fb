#include "storage/linux/sysfs.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>

namespace quillbrane {

std::string ReadAttribute(const std::string& path) {
  // A plain open and read: the survey reads many small attributes, and a
  // stdio stream costs an allocation and more for each.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return std::string();
  std::array<char, 4096> text;  // a page, the most sysfs gives for one attribute
  std::size_t n = 0;
  while (n < text.size()) {
    const ssize_t got = read(fd, text.data() + n, text.size() - n);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    n += static_cast<std::size_t>(got);
  }
  close(fd);
  std::string_view value(text.data(), n);
  const std::size_t end = value.find('\n');
  if (end != std::string_view::npos) value = value.substr(0, end);
  return std::string(value);
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
