// Physical drives from sysfs.
#include "storage/linux/drive_list.h"

#include <dirent.h>

#include <algorithm>
#include <string_view>

#include "storage/linux/sysfs.h"

namespace quillbrane {
namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool IsExcludedKind(std::string_view name) {
  static constexpr std::string_view Excluded[] = {"ram", "zram", "dm-", "md", "sr", "fd"};
  return std::any_of(std::begin(Excluded), std::end(Excluded),
                     [&](std::string_view prefix) { return StartsWith(name, prefix); });
}

struct Candidate {
  LinuxDrive drive;
  bool isLoop = false;
  std::uint64_t loopNumber = 0;
};

}  // namespace

std::vector<LinuxDrive> ListPhysicalDrives(const std::string& sysBlockRoot) {
  std::vector<Candidate> candidates;
  DIR* dir = opendir(sysBlockRoot.c_str());
  if (dir == nullptr) return {};
  while (const dirent* item = readdir(dir)) {
    const std::string name = item->d_name;
    if (name.empty() || name[0] == '.' || IsExcludedKind(name)) continue;
    const std::string base = sysBlockRoot + "/" + name;
    Candidate candidate;
    candidate.drive.name = name;
    std::uint64_t loopNumber = 0;
    candidate.isLoop = StartsWith(name, "loop") && ParseUnsigned(std::string_view(name).substr(4), loopNumber);
    candidate.loopNumber = loopNumber;
    if (candidate.isLoop) {
      std::uint64_t offset = 0;
      if (ReadAttribute(base + "/loop/backing_file").empty()) continue;
      if (!ParseUnsigned(ReadAttribute(base + "/loop/offset"), offset) || offset != 0) continue;
    }
    if (!ParseDeviceNumber(ReadAttribute(base + "/dev"), candidate.drive.major, candidate.drive.minor)) continue;
    candidate.drive.removable = ReadAttribute(base + "/removable") == "1";
    std::uint64_t size = 0;
    ParseUnsigned(ReadAttribute(base + "/size"), size);
    if (size == 0 && !candidate.drive.removable) continue;
    candidates.push_back(std::move(candidate));
  }
  closedir(dir);

  std::sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
    if (a.isLoop != b.isLoop) return !a.isLoop;
    if (a.isLoop) return a.loopNumber < b.loopNumber;
    if (a.drive.major != b.drive.major) return a.drive.major < b.drive.major;
    return a.drive.minor < b.drive.minor;
  });
  std::vector<LinuxDrive> drives;
  drives.reserve(candidates.size());
  for (Candidate& candidate : candidates) drives.push_back(std::move(candidate.drive));
  return drives;
}

}  // namespace quillbrane
