// The platform's implementations of the survey's two outside dependencies:
// the storage queries and the report file. Each platform defines these once
// (storage/linux/, storage/windows/); the build picks the platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "storage/storage_queries.h"

namespace quillbrane {

// A file the report is written to. Write and Close return 0 on success or
// the platform error code (a Windows error code on every platform).
class ReportSink {
 public:
  virtual ~ReportSink() = default;
  virtual std::uint32_t Write(const char* data, std::size_t size) = 0;
  virtual std::uint32_t Close() = 0;
};

// The storage queries of the machine the program runs on.
std::unique_ptr<StorageQueries> CreatePlatformStorage();

// Creates (or replaces, truncating it) the report file `name` in the current
// directory, readable but not writable by others while open. On failure
// returns null and sets `errorCode`.
std::unique_ptr<ReportSink> CreateReportFile(const char* name, std::uint32_t& errorCode);

// Writes `message` and CR LF to standard error in the console's code page.
void WriteFatalMessage(std::string_view message);

}  // namespace quillbrane
