// The geometry section: IOCTL_DISK_GET_DRIVE_GEOMETRY_EX.
#include "format/format.h"
#include "format/name_tables.h"
#include "sections/sections.h"
#include "storage/byte_order.h"

namespace quillbrane {
namespace {

std::string Grouped(std::int64_t value) { return FormatGrouped(value, GroupSeparator); }

void WriteDetectionLine(ReportWriter& report, std::span<const std::uint8_t> record, std::size_t detection) {
  report.Write("- DetectionType: ");
  report.Write(NameOf(DetectionTypeNames, LoadU32(record, detection + geometry::DetectionType)));
  report.Write(", (Int13.MaxCylinders: ");
  report.Write(Grouped(LoadU32(record, detection + geometry::Int13MaxCylinders)));
  report.Write(", ExInt13.ExCylinders: ");
  report.Write(Grouped(LoadU32(record, detection + geometry::ExInt13ExCylinders)));
  report.WriteLine(")");
}

}  // namespace

void WriteGeometrySection(SurveyContext& context, DriveHandle handle) {
  auto& buffer = context.buffers.geometry;
  buffer.fill(0);
  if (!context.storage.QueryGeometry(handle, buffer)) {
    WriteLastErrorLine(context, GeometryErrorPrefix);
    return;
  }
  const std::span<const std::uint8_t> record(buffer);
  ReportWriter& report = context.report;
  report.WriteLine();
  report.WriteLine("IOCTL_DISK_GET_DRIVE_GEOMETRY_EX:");
  report.WriteLine("- MediaType: " + NameOf(MediaTypeNames, LoadU32(record, geometry::MediaType)));
  report.WriteLine("- Cylinders: " + Grouped(LoadI64(record, geometry::Cylinders)));
  report.WriteLine("- TracksPerCylinder: " + Grouped(LoadU32(record, geometry::TracksPerCylinder)));
  report.WriteLine("- SectorsPerTrack: " + Grouped(LoadU32(record, geometry::SectorsPerTrack)));
  report.WriteLine("- BytesPerSector: " + Grouped(LoadU32(record, geometry::BytesPerSector)));
  report.WriteLine("- DiskSize: " + Grouped(LoadI64(record, geometry::DiskSize)));
  report.WriteLine("- PartitionStyle: " +
                   NameOf(PartitionStyleNames, LoadU32(record, geometry::PartitionStyle)));

  // The partition info's own length, not its style, decides what follows.
  const std::uint32_t infoSize = LoadU32(record, geometry::SizeOfPartitionInfo);
  const std::size_t detection = geometry::PartitionInfo + infoSize;
  if (infoSize == geometry::PartitionInfoSizeMbr) {
    report.WriteLine("- Signature: " + FormatHex(LoadU32(record, geometry::MbrSignature), 8) + " (hex)");
    report.WriteLine("- Checksum: " + FormatHex(LoadU32(record, geometry::MbrCheckSum), 8) + " (hex)");
    WriteDetectionLine(report, record, detection);
  } else if (infoSize == geometry::PartitionInfoSizeGpt) {
    report.WriteLine("- GUID: " + FormatGuid(record.subspan<geometry::GptDiskId, GuidSize>()));
    WriteDetectionLine(report, record, detection);
  }
}

}  // namespace quillbrane
