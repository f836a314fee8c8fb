// Buffered report writing with sticky failure.
#include "survey/report_writer.h"

#include <algorithm>
#include <cstring>

namespace quillbrane {

void ReportWriter::Write(std::string_view text) {
  while (!text.empty() && !Failed() && !closed_) {
    const std::size_t room = buffer_.size() - used_;
    const std::size_t chunk = std::min(room, text.size());
    std::memcpy(buffer_.data() + used_, text.data(), chunk);
    used_ += chunk;
    text.remove_prefix(chunk);
    if (used_ == buffer_.size()) Flush();
  }
}

void ReportWriter::WriteLine(std::string_view text) {
  Write(text);
  WriteLine();
}

void ReportWriter::WriteLine() { Write("\r\n"); }

void ReportWriter::Flush() {
  if (used_ == 0 || Failed()) return;
  const std::uint32_t code = sink_.Write(buffer_.data(), used_);
  used_ = 0;
  if (code != 0) errorCode_ = code;
}

bool ReportWriter::Close() {
  if (closed_) return !Failed();
  Flush();
  closed_ = true;
  const std::uint32_t code = sink_.Close();
  if (code != 0 && !Failed()) errorCode_ = code;
  return !Failed();
}

}  // namespace quillbrane
