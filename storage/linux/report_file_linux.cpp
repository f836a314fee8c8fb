// The report file and the fatal message on Linux.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "storage/error_codes.h"
#include "storage/platform.h"

namespace quillbrane {
namespace {

class ReportFile final : public ReportSink {
 public:
  explicit ReportFile(int fd) : fd_(fd) {}
  ~ReportFile() override {
    if (fd_ >= 0) close(fd_);
  }

  std::uint32_t Write(const char* data, std::size_t size) override {
    while (size > 0) {
      const ssize_t n = write(fd_, data, size);
      if (n < 0) {
        if (errno == EINTR) continue;
        return WindowsErrorFromErrno(errno);
      }
      data += n;
      size -= static_cast<std::size_t>(n);
    }
    return 0;
  }

  std::uint32_t Close() override {
    const int fd = fd_;
    fd_ = -1;
    if (fd >= 0 && close(fd) != 0 && errno != EINTR) return WindowsErrorFromErrno(errno);
    return 0;
  }

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<ReportSink> CreateReportFile(const char* name, std::uint32_t& errorCode) {
  // A symbolic link in the report's place is refused rather than followed:
  // run as root, following it would truncate whatever it points at. The
  // file is opened without blocking so that a FIFO cannot stall the run,
  // and anything but a regular file is refused.
  const int fd = open(name, O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0644);
  if (fd < 0) {
    errorCode = WindowsErrorFromErrno(errno == ENXIO ? EACCES : errno);
    return nullptr;
  }
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    errorCode = ErrorAccessDenied;
    return nullptr;
  }
  if (ftruncate(fd, 0) != 0 || fcntl(fd, F_SETFL, 0) != 0) {
    errorCode = WindowsErrorFromErrno(errno);
    close(fd);
    return nullptr;
  }
  return std::make_unique<ReportFile>(fd);
}

void WriteFatalMessage(std::string_view message) {
  // The console's code page on Linux is UTF-8, as the message already is.
  std::string line(message);
  line += "\r\n";
  const char* data = line.data();
  std::size_t size = line.size();
  while (size > 0) {
    const ssize_t n = write(STDERR_FILENO, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

}  // namespace quillbrane
