// The report sink: buffered 8-bit text with CR LF line ends.
//
// Every write is checked. The first failure of the underlying file is kept:
// from then on writes are dropped, Failed() is true and ErrorCode() names
// the platform error, so the survey can stop and report it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "storage/platform.h"

namespace quillbrane {

inline constexpr const char* ReportFileName = "Quillbrane.txt";
inline constexpr std::size_t ReportBufferSize = 4096;

class ReportWriter {
 public:
  explicit ReportWriter(ReportSink& sink) : sink_(sink) {}
  ReportWriter(const ReportWriter&) = delete;
  ReportWriter& operator=(const ReportWriter&) = delete;

  // Appends text without a line end.
  void Write(std::string_view text);
  // Appends text and CR LF.
  void WriteLine(std::string_view text);
  // Appends CR LF alone.
  void WriteLine();

  // Writes what is buffered and closes the file. False when that or any
  // earlier write failed.
  bool Close();

  bool Failed() const { return errorCode_ != 0; }
  std::uint32_t ErrorCode() const { return errorCode_; }

 private:
  void Flush();

  ReportSink& sink_;
  std::array<char, ReportBufferSize> buffer_{};
  std::size_t used_ = 0;
  std::uint32_t errorCode_ = 0;
  bool closed_ = false;
};

}  // namespace quillbrane
