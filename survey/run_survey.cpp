// The program's run: the report file on the platform, the survey, and the
// fatal message when the report fails.
#include "storage/platform.h"
#include "survey/survey.h"

namespace quillbrane {

int RunSurvey(StorageQueries& storage) {
  std::uint32_t code = 0;
  std::unique_ptr<ReportSink> file = CreateReportFile(ReportFileName, code);
  if (!file) {
    WriteFatalMessage(ReportFailureMessage(code));
    return 1;
  }
  ReportWriter report(*file);
  if (!WriteReport(storage, report)) {
    WriteFatalMessage(ReportFailureMessage(report.ErrorCode()));
    return 1;
  }
  return 0;
}

}  // namespace quillbrane
