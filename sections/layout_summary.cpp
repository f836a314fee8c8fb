// The layout summary: IOCTL_DISK_GET_DRIVE_LAYOUT_EX header lines.
#include "format/format.h"
#include "format/name_tables.h"
#include "sections/sections.h"
#include "storage/byte_order.h"

namespace quillbrane {

void WriteLayoutSummary(SurveyContext& context, DriveHandle handle) {
  auto& buffer = context.buffers.layout;
  buffer.fill(0);
  if (!context.storage.QueryLayout(handle, buffer)) {
    WriteLastErrorLine(context, LayoutErrorPrefix);
    return;
  }
  const std::span<const std::uint8_t, LayoutBufferSize> record(buffer);
  ReportWriter& report = context.report;
  const std::uint32_t style = LoadU32(record, layout::PartitionStyle);
  report.WriteLine();
  report.WriteLine("IOCTL_DISK_GET_DRIVE_LAYOUT_EX:");
  report.WriteLine("- PartitionStyle: " + NameOf(PartitionStyleNames, style));
  report.WriteLine("- PartitionCount: " +
                   FormatGrouped(LoadU32(record, layout::PartitionCount), GroupSeparator));
  if (style == PartitionStyleMbr) {
    report.WriteLine("- Signature: " + FormatHex(LoadU32(record, layout::MbrSignature), 8) + " (hex)");
    report.WriteLine("- CheckSum: " + FormatHex(LoadU32(record, layout::MbrCheckSum), 8) + " (hex)");
  } else if (style == PartitionStyleGpt) {
    report.WriteLine("- DiskId: " + FormatGuid(record.subspan<layout::GptDiskId, GuidSize>()));
    report.WriteLine("- StartingUsableOffset: " +
                     FormatGrouped(LoadI64(record, layout::GptStartingUsableOffset), GroupSeparator));
    report.WriteLine("- UsableLength: " +
                     FormatGrouped(LoadI64(record, layout::GptUsableLength), GroupSeparator));
    report.WriteLine("- MaxPartitionCount: " +
                     FormatGrouped(LoadU32(record, layout::GptMaxPartitionCount), GroupSeparator));
  }
  WritePartitionEntries(context, record);
}

}  // namespace quillbrane
