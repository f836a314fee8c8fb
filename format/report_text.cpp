#include "format/report_text.h"

namespace quillbrane {
namespace {

bool IsControl(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F;
}

}  // namespace

std::string_view TextUpToNul(std::span<const char> buffer) {
  std::size_t length = 0;
  while (length < buffer.size() && buffer[length] != '\0') ++length;
  return std::string_view(buffer.data(), length);
}

std::string ReportSafeText(std::string_view text) {
  std::string safe(text);
  for (char& c : safe) {
    if (IsControl(c)) c = '?';
  }
  return safe;
}

std::string SystemMessageText(std::string_view text) {
  std::string safe(text);
  for (std::size_t i = 0; i < safe.size(); ++i) {
    if (safe[i] == '\r' && i + 1 < safe.size() && safe[i + 1] == '\n') {
      ++i;
    } else if (IsControl(safe[i])) {
      safe[i] = '?';
    }
  }
  return safe;
}

}  // namespace quillbrane
