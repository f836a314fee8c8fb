// The volume details that follow an MBR or GPT partition entry.
#include "format/format.h"
#include "format/name_tables.h"
#include "format/report_text.h"
#include "sections/sections.h"

namespace quillbrane {

void WriteVolumeDetails(SurveyContext& context, std::string_view volumeKey) {
  ReportWriter& report = context.report;
  const std::string volumePath = "\\\\?\\Volume" + std::string(volumeKey) + "\\";
  report.WriteLine("  " + volumePath);

  // The list is walked whatever the call returned: a buffer left zeroed
  // lists no path.
  auto& paths = context.buffers.volumePaths;
  paths.fill('\0');
  context.storage.VolumePathNames(volumePath.c_str(), paths);
  std::size_t cursor = 0;
  for (int k = 1; cursor < paths.size() && paths[cursor] != '\0'; ++k) {
    const std::string_view path = TextUpToNul(std::span<const char>(paths).subspan(cursor));
    report.WriteLine("    - Path(" + FormatDecimal(k) + "): " + ReportSafeText(path));
    cursor += path.size() + 1;
  }

  report.WriteLine("    - Drive type: " + NameOf(DriveTypeNames, context.storage.DriveType(volumePath.c_str())));

  VolumeInformationResult& volume = context.buffers.volume;
  volume.label.fill('\0');
  volume.fileSystem.fill('\0');
  if (!context.storage.VolumeInformation(volumePath.c_str(), volume)) return;
  report.WriteLine("    - Volume name: " + ReportSafeText(TextUpToNul(volume.label)));
  report.WriteLine("    - File system: " + ReportSafeText(TextUpToNul(volume.fileSystem)));
  report.WriteLine("    - Serial number: " + FormatHex(volume.serialNumber, 8) + " (hex)");
  report.WriteLine("    - Maximum component length: " +
                   FormatGrouped(volume.maximumComponentLength, GroupSeparator));
  report.WriteLine("    - File system flags: " + FormatHex(volume.fileSystemFlags, 8) + " (hex)");
}

}  // namespace quillbrane
