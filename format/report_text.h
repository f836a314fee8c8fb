// Guards for text that reaches the report from the platform or the disk.
//
// A volume label, a mount path or a GPT partition name is written by
// whoever wrote the disk. Control bytes in such text could end a report
// line early and forge the lines after it, so they are written as '?'.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace quillbrane {

// The text of `buffer` up to its first NUL, or all of it when it has none.
std::string_view TextUpToNul(std::span<const char> buffer);

// `text` with every byte below 0x20 and 0x7F replaced by '?'.
std::string ReportSafeText(std::string_view text);

// A system message: its CR LF pairs (the message's own line ends) stay,
// every other control byte becomes '?'.
std::string SystemMessageText(std::string_view text);

}  // namespace quillbrane
