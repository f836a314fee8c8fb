#include "storage/linux/fd_disk.h"

#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "storage/error_codes.h"

namespace quillbrane {

std::uint32_t FdDiskSource::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) {
  if (offset > sizeBytes_ || sizeBytes_ - offset < out.size()) return ErrorIoDevice;
  std::size_t done = 0;
  while (done < out.size()) {
    const ssize_t n = pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return WindowsErrorFromErrno(errno);
    }
    // The device ended before its reported size (it shrank or was detached).
    if (n == 0) return ErrorIoDevice;
    done += static_cast<std::size_t>(n);
  }
  return 0;
}

std::uint32_t ReadDiskFacts(int fd, DiskFacts& facts) {
  struct stat info {};
  if (fstat(fd, &info) != 0) return WindowsErrorFromErrno(errno);
  if (S_ISREG(info.st_mode)) {
    facts.sizeBytes = static_cast<std::uint64_t>(info.st_size);
    facts.sectorSize = 512;
    return 0;
  }
  std::uint64_t size = 0;
  int sectorSize = 0;
  if (ioctl(fd, BLKGETSIZE64, &size) != 0) return WindowsErrorFromErrno(errno);
  if (ioctl(fd, BLKSSZGET, &sectorSize) != 0) return WindowsErrorFromErrno(errno);
  facts.sizeBytes = size;
  facts.sectorSize = static_cast<std::uint32_t>(sectorSize);
  return 0;
}

}  // namespace quillbrane
