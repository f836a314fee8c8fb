// The one place where errno values become Windows error codes and codes
// become the system's English texts.
#include "storage/error_codes.h"

#include <cerrno>
#include <cstring>

#include "format/report_text.h"

namespace quillbrane {

std::uint32_t WindowsErrorFromErrno(int errnoValue) {
  switch (errnoValue) {
    case ENOENT:
    case ENXIO:
    case ENODEV: return ErrorFileNotFound;
    case ENOTDIR: return ErrorPathNotFound;
    case EMFILE:
    case ENFILE: return 4;
    case EACCES:
    case EPERM:
    case EISDIR: return ErrorAccessDenied;
    case EBADF: return 6;
    case EROFS: return 19;
#ifdef ENOMEDIUM
    case ENOMEDIUM: return ErrorNotReady;
#endif
    case EINVAL: return ErrorInvalidParameter;
    case ENOSPC: return 112;
    case EBUSY: return 170;
    case ENAMETOOLONG: return 206;
    case EFBIG: return 223;
    case ENOTTY:
    case ENOSYS: return ErrorInvalidFunction;
    case EOPNOTSUPP: return ErrorNotSupported;
    case EIO: return ErrorIoDevice;
    case ELOOP: return 1921;
    default: return ErrnoCodeBase + static_cast<std::uint32_t>(errnoValue);
  }
}

std::string WindowsErrorText(std::uint32_t code) {
  switch (code) {
    case 1: return "Incorrect function.\r\n";
    case 2: return "The system cannot find the file specified.\r\n";
    case 3: return "The system cannot find the path specified.\r\n";
    case 4: return "The system cannot open the file.\r\n";
    case 5: return "Access is denied.\r\n";
    case 6: return "The handle is invalid.\r\n";
    case 19: return "The media is write protected.\r\n";
    case 21: return "The device is not ready.\r\n";
    case 31: return "A device attached to the system is not functioning.\r\n";
    case 50: return "The request is not supported.\r\n";
    case 87: return "The parameter is incorrect.\r\n";
    case 112: return "There is not enough space on the disk.\r\n";
    case 122: return "The data area passed to a system call is too small.\r\n";
    case 123: return "The filename, directory name, or volume label syntax is incorrect.\r\n";
    case 170: return "The requested resource is in use.\r\n";
    case 206: return "The filename or extension is too long.\r\n";
    case 223: return "The file size exceeds the limit allowed and cannot be saved.\r\n";
    case 234: return "More data is available.\r\n";
    case 1005:
      return "The volume does not contain a recognized file system.\r\n"
             "Please make sure that all required file system drivers are loaded and that the "
             "volume is not corrupted.\r\n";
    case 1117: return "The request could not be performed because of an I/O device error.\r\n";
    case 1167: return "The device is not connected.\r\n";
    case 1393: return "The disk structure is corrupted and unreadable.\r\n";
    case 1921: return "The name of the file cannot be resolved by the system.\r\n";
    default: break;
  }
  if (code > ErrnoCodeBase && code - ErrnoCodeBase < 4096) {
    const char* text = std::strerror(static_cast<int>(code - ErrnoCodeBase));
    if (text != nullptr && *text != '\0') return ReportSafeText(text) + "\r\n";
  }
  return std::string();
}

}  // namespace quillbrane
