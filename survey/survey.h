// The survey run: the report file, the loop over the physical drives and
// each drive's banner and block.
#pragma once

#include <cstdint>
#include <string>

#include "storage/platform.h"
#include "storage/storage_queries.h"
#include "survey/survey_context.h"

namespace quillbrane {

// Number of physical drives probed, 0 to DriveCount - 1.
inline constexpr int DriveCount = 15;

// Creates the report file, surveys every drive and closes the report.
// Returns the process exit status: 0 after a complete run, 1 (with a
// message on standard error) when the report cannot be created or written.
int RunSurvey(StorageQueries& storage);

// Surveys every drive into `report` and closes it. False when the report
// failed; report.ErrorCode() then says why.
bool WriteReport(StorageQueries& storage, ReportWriter& report);

// Everything for one drive: banner, open, sections, close.
void WriteDriveBlock(SurveyContext& context, int driveNumber);

// The dash line, the device line and the dash line again.
void WriteBanner(ReportWriter& report, int driveNumber);

// `count` copies of `ch`; empty when count is 0 or negative.
std::string RepeatChar(char ch, int count);

// The fatal message for a report failure with platform error `code`.
std::string ReportFailureMessage(std::uint32_t code);

}  // namespace quillbrane
