// The partition entries of a layout record.
#include <algorithm>
#include <array>

#include "format/format.h"
#include "format/name_tables.h"
#include "format/report_text.h"
#include "sections/sections.h"
#include "storage/byte_order.h"

namespace quillbrane {
namespace {

std::string Grouped(std::int64_t value) { return FormatGrouped(value, GroupSeparator); }

std::string YesNo(std::span<const std::uint8_t> entryBytes, std::size_t offset) {
  return NameOf(YesNoNames, LoadU8(entryBytes, offset));
}

// The GPT name: up to its first NUL unit or its 36th unit.
std::string GptName(SurveyContext& context, std::span<const std::uint8_t> entryBytes) {
  std::array<std::uint16_t, entry::GptNameUnits> units{};
  std::size_t length = 0;
  while (length < units.size()) {
    const std::uint16_t unit = LoadU16(entryBytes, entry::GptName + 2 * length);
    if (unit == 0) break;
    units[length++] = unit;
  }
  auto& text = context.buffers.name;
  const std::size_t written = context.storage.WideToAnsi(
      std::span<const std::uint16_t>(units.data(), length), text);
  return ReportSafeText(std::string_view(text.data(), std::min(written, text.size())));
}

}  // namespace

void WritePartitionEntries(SurveyContext& context, std::span<const std::uint8_t, LayoutBufferSize> layoutRecord) {
  ReportWriter& report = context.report;
  const std::uint32_t count = std::min<std::uint32_t>(
      LoadU32(layoutRecord, layout::PartitionCount), static_cast<std::uint32_t>(LayoutEntryCapacity));
  for (std::uint32_t i = 0; i < count && !report.Failed(); ++i) {
    const auto entryBytes = layoutRecord.subspan(layout::EntryOffset(i), PartitionEntrySize);
    const std::uint32_t style = LoadU32(entryBytes, entry::PartitionStyle);
    // MBR slots the platform does not recognise as partitions (empty slots,
    // extended-partition containers) leave no trace; the index still counts.
    if (style == PartitionStyleMbr && LoadU8(entryBytes, entry::MbrRecognizedPartition) == 0) continue;

    report.WriteLine();
    report.WriteLine("> PartitionEntry[" + FormatDecimal(i) + "]:");
    report.WriteLine("  * PartitionStyle: " + NameOf(PartitionStyleNames, style));
    report.WriteLine("  * StartingOffset: " + Grouped(LoadI64(entryBytes, entry::StartingOffset)));
    report.WriteLine("  * PartitionLength: " + Grouped(LoadI64(entryBytes, entry::PartitionLength)));
    report.WriteLine("  * PartitionNumber: " + Grouped(LoadU32(entryBytes, entry::PartitionNumber)));
    report.WriteLine("  * RewritePartition: " + YesNo(entryBytes, entry::RewritePartition));
    report.WriteLine("  * IsServicePartition: " + YesNo(entryBytes, entry::IsServicePartition));

    std::string volumeKey;
    if (style == PartitionStyleGpt) {
      report.WriteLine("  * PartitionType: " +
                       FormatGuid(entryBytes.subspan<entry::GptPartitionType, GuidSize>()));
      volumeKey = FormatGuid(entryBytes.subspan<entry::GptPartitionId, GuidSize>());
      report.WriteLine("  * PartitionId: " + volumeKey);
      report.WriteLine("  * Attributes: " + FormatHex(LoadU64(entryBytes, entry::GptAttributes), 16) + " (hex)");
      report.WriteLine("  * Name: " + GptName(context, entryBytes));
    } else if (style == PartitionStyleMbr) {
      report.WriteLine("  * PartitionType: " + FormatHex(LoadU8(entryBytes, entry::MbrPartitionType), 2) + " (hex)");
      report.WriteLine("  * BootIndicator: " + YesNo(entryBytes, entry::MbrBootIndicator));
      report.WriteLine("  * RecognizedPartition: " + YesNo(entryBytes, entry::MbrRecognizedPartition));
      report.WriteLine("  * HiddenSectors: " + Grouped(LoadU32(entryBytes, entry::MbrHiddenSectors)));
      volumeKey = FormatGuid(entryBytes.subspan<entry::MbrPartitionId, GuidSize>());
      report.WriteLine("  * PartitionId: " + volumeKey);
    }
    if (!volumeKey.empty()) WriteVolumeDetails(context, volumeKey);
  }
}

}  // namespace quillbrane
