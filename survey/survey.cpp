// The survey's spine: report file, drive loop, banners, error lines.
#include "survey/survey.h"

#include "format/format.h"
#include "format/report_text.h"
#include "sections/sections.h"

namespace quillbrane {
namespace {


// Wording of the I/O error in the fatal message.
std::string DescribeIoError(std::uint32_t code) {
  switch (code) {
    case 2: return "File not found";
    case 3: return "Invalid filename";
    case 4: return "Too many open files";
    case 5: return "File access denied";
    default: return "I/O error " + FormatDecimal(code);
  }
}

}  // namespace

std::string RepeatChar(char ch, int count) {
  return count > 0 ? std::string(static_cast<std::size_t>(count), ch) : std::string();
}

std::string ReportFailureMessage(std::uint32_t code) {
  return std::string("Cannot write the report ") + ReportFileName + ": " + DescribeIoError(code);
}

void WriteLastErrorLine(SurveyContext& context, std::string_view prefix) {
  const std::uint32_t code = context.storage.LastErrorCode();
  auto& text = context.buffers.errorText;
  text.fill('\0');
  context.storage.LastErrorText(code, text);
  context.report.Write(prefix);
  context.report.Write(FormatDecimal(code));
  context.report.Write(": ");
  context.report.Write(SystemMessageText(TextUpToNul(text)));
}

void WriteBanner(ReportWriter& report, int driveNumber) {
  const int width = driveNumber < 10 ? 19 : 20;
  const std::string dashes = RepeatChar('-', width);
  report.WriteLine(dashes);
  report.Write(PhysicalDrivePathPrefix);
  report.Write(FormatDecimal(driveNumber));
  report.WriteLine(":");
  report.WriteLine(dashes);
}

void WriteDriveBlock(SurveyContext& context, int driveNumber) {
  WriteBanner(context.report, driveNumber);
  const std::string path = std::string(PhysicalDrivePathPrefix) + FormatDecimal(driveNumber);
  DriveHandle handle;
  if (!context.storage.OpenPhysicalDrive(path.c_str(), handle)) {
    WriteLastErrorLine(context, DriveOpenErrorPrefix);
    context.report.WriteLine();
    return;
  }
  WriteGeometrySection(context, handle);
  if (!context.report.Failed()) WriteLayoutSummary(context, handle);
  context.report.WriteLine();
  context.storage.CloseDrive(handle);
}

bool WriteReport(StorageQueries& storage, ReportWriter& report) {
  SurveyBuffers buffers;
  SurveyContext context{storage, report, buffers};
  for (int drive = 0; drive < DriveCount && !report.Failed(); ++drive) {
    WriteDriveBlock(context, drive);
  }
  return report.Close();
}

}  // namespace quillbrane
