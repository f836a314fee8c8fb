// The report sections of one opened drive: geometry, layout summary,
// partition entries and volume details. Each writes its lines in a fixed
// order through the run's ReportWriter and reads the platform records only
// through the names in storage/records.h.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "storage/storage_queries.h"
#include "survey/survey_context.h"

namespace quillbrane {

// Asks for the drive's DISK_GEOMETRY_EX and writes it, or the error line.
void WriteGeometrySection(SurveyContext& context, DriveHandle handle);

// Asks for the drive's DRIVE_LAYOUT_INFORMATION_EX, writes its header lines
// and its entries, or the error line.
void WriteLayoutSummary(SurveyContext& context, DriveHandle handle);

// Writes each entry of a layout record that describes a partition, each
// MBR or GPT entry followed by its volume's details.
void WritePartitionEntries(SurveyContext& context, std::span<const std::uint8_t, LayoutBufferSize> layout);

// Writes the volume path, mount paths, drive type and file-system details of
// the volume whose identifier is `volumeKey` (a braced GUID text).
void WriteVolumeDetails(SurveyContext& context, std::string_view volumeKey);

}  // namespace quillbrane
