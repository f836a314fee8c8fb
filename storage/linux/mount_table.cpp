#include "storage/linux/mount_table.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <span>

#include "storage/error_codes.h"
#include "storage/linux/sysfs.h"

namespace quillbrane {
namespace {

// The kernel writes a space, tab, line feed and backslash in a path as a
// backslash and three octal digits; any other backslash stands for itself.
std::string Unescape(std::string_view field) {
  std::string text;
  text.reserve(field.size());
  for (std::size_t i = 0; i < field.size(); ++i) {
    const auto octal = [&](std::size_t at) { return field[at] >= '0' && field[at] <= '7'; };
    if (field[i] == '\\' && i + 3 < field.size() && octal(i + 1) && octal(i + 2) && octal(i + 3)) {
      const int value = (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
      if (value <= 0xFF) {
        text.push_back(static_cast<char>(value));
        i += 3;
        continue;
      }
    }
    text.push_back(field[i]);
  }
  return text;
}

// Whether the comma-separated `options` hold "ro" (with or without a value).
bool HasReadOnlyOption(std::string_view options) {
  while (!options.empty()) {
    const std::size_t comma = options.find(',');
    std::string_view option = options.substr(0, comma);
    option = option.substr(0, option.find('='));
    if (option == "ro") return true;
    if (comma == std::string_view::npos) break;
    options.remove_prefix(comma + 1);
  }
  return false;
}

// Splits `line` at single spaces into at most `fields.size()` fields;
// returns how many there are, or 0 when there are more.
std::size_t SplitFields(std::string_view line, std::span<std::string_view> fields) {
  std::size_t count = 0;
  while (true) {
    if (count == fields.size()) return 0;
    const std::size_t space = line.find(' ');
    fields[count++] = line.substr(0, space);
    if (space == std::string_view::npos) return count;
    line.remove_prefix(space + 1);
  }
}

// One line: "36 35 98:0 /root /target rw,noatime [tag...] - type source
// super-options".
bool ParseLine(std::string_view line, LinuxMount& mount) {
  // Ten fields and up to 22 optional tags is far more than the kernel writes.
  std::array<std::string_view, 32> fields;
  const std::size_t count = SplitFields(line, fields);
  if (count < 10) return false;
  std::size_t dash = 6;
  while (dash < count && fields[dash] != "-") ++dash;
  // After the dash: the file-system type, the source and the super options.
  if (dash + 4 != count) return false;
  std::uint64_t id = 0, parent = 0;
  if (!ParseUnsigned(fields[0], id) || !ParseUnsigned(fields[1], parent) ||
      !ParseDeviceNumber(fields[2], mount.major, mount.minor) || fields[3].empty() || fields[4].empty()) {
    return false;
  }
  mount.record.root = Unescape(fields[3]);
  mount.record.target = Unescape(fields[4]);
  mount.record.readOnly = HasReadOnlyOption(fields[5]) || HasReadOnlyOption(fields[dash + 3]);
  mount.source = Unescape(fields[dash + 2]);
  return true;
}

}  // namespace

void ParseMountTable(std::string_view text, std::vector<LinuxMount>& mounts) {
  mounts.clear();
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    LinuxMount mount;
    if (ParseLine(text.substr(0, end), mount)) mounts.push_back(std::move(mount));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
}

std::uint32_t ReadMountTable(const std::string& mountInfoPath, std::vector<LinuxMount>& mounts) {
  mounts.clear();
  const int fd = open(mountInfoPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return WindowsErrorFromErrno(errno);
  std::string text;
  std::array<char, 16384> chunk;
  while (true) {
    const ssize_t n = read(fd, chunk.data(), chunk.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int error = errno;
      close(fd);
      return WindowsErrorFromErrno(error);
    }
    if (n == 0) break;
    text.append(chunk.data(), static_cast<std::size_t>(n));
  }
  close(fd);
  ParseMountTable(text, mounts);
  return 0;
}

}  // namespace quillbrane
