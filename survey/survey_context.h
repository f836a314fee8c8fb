// What every part of one survey run shares: the storage queries, the report
// and the buffers, which are allocated once for the run and reused for
// every drive, entry and volume.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "storage/storage_queries.h"
#include "survey/report_writer.h"

namespace quillbrane {

// Room for a GPT partition name of 36 UTF-16 units in 8-bit text (at most
// three bytes a unit in UTF-8).
inline constexpr std::size_t NameTextCapacity = 128;

struct SurveyBuffers {
  std::array<std::uint8_t, GeometryBufferSize> geometry{};
  std::array<std::uint8_t, LayoutBufferSize> layout{};
  std::array<char, ErrorTextCapacity> errorText{};
  std::array<char, VolumeTextCapacity> volumePaths{};
  VolumeInformationResult volume{};
  std::array<char, NameTextCapacity> name{};
};

struct SurveyContext {
  StorageQueries& storage;
  ReportWriter& report;
  SurveyBuffers& buffers;
};

// Error-line prefixes of the three requests whose refusal is reported.
inline constexpr std::string_view DriveOpenErrorPrefix = ">>> Drive open error #";
inline constexpr std::string_view GeometryErrorPrefix =
    ">>> DeviceIoControl(IOCTL_DISK_GET_DRIVE_GEOMETRY_EX) error #";
inline constexpr std::string_view LayoutErrorPrefix =
    ">>> DeviceIoControl(IOCTL_DISK_GET_DRIVE_LAYOUT_EX) error #";

// Appends `prefix`, the last error code in decimal, ": " and the system's
// text for the code. Adds no line end of its own: the text's own CR LF, or
// failing that the next line end written, ends the line.
void WriteLastErrorLine(SurveyContext& context, std::string_view prefix);

}  // namespace quillbrane
