// The report file and the fatal message on Windows.
#include <windows.h>

#include <string>

#include "storage/platform.h"

namespace quillbrane {
namespace {

// Writes all of `data` to `file`: 0, or the code of the failure. A write
// that succeeds but takes nothing means the device has no room left.
std::uint32_t WriteAll(HANDLE file, const char* data, std::size_t size) {
  while (size > 0) {
    const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(file, data, chunk, &written, nullptr)) return GetLastError();
    if (written == 0) return ERROR_DISK_FULL;
    data += written;
    size -= written;
  }
  return 0;
}

class ReportFile final : public ReportSink {
 public:
  explicit ReportFile(HANDLE file) : file_(file) {}
  ReportFile(const ReportFile&) = delete;
  ReportFile& operator=(const ReportFile&) = delete;
  ~ReportFile() override {
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
  }

  std::uint32_t Write(const char* data, std::size_t size) override {
    if (file_ == INVALID_HANDLE_VALUE) return ERROR_INVALID_HANDLE;
    return WriteAll(file_, data, size);
  }

  std::uint32_t Close() override {
    const HANDLE file = file_;
    file_ = INVALID_HANDLE_VALUE;
    if (file != INVALID_HANDLE_VALUE && !CloseHandle(file)) return GetLastError();
    return 0;
  }

 private:
  HANDLE file_;
};

}  // namespace

std::unique_ptr<ReportSink> CreateReportFile(const char* name, std::uint32_t& errorCode) {
  const HANDLE file =
      CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    errorCode = GetLastError();
    return nullptr;
  }
  return std::make_unique<ReportFile>(file);
}

void WriteFatalMessage(std::string_view message) {
  // The console shows the OEM code page; the message is ANSI text.
  std::string line(message);
  CharToOemA(line.data(), line.data());
  line += "\r\n";
  const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  if (error == nullptr || error == INVALID_HANDLE_VALUE) return;
  WriteAll(error, line.data(), line.size());
}

}  // namespace quillbrane
