// Whole surveys whose platform answers come from the fuzzer: any records,
// error codes, texts, mount paths and labels must give a well-formed report.
#include <cstddef>
#include <cstdint>

#include "fuzz_storage.h"
#include "survey/survey.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quillbrane::fuzz::InputStream input(data, size);
  quillbrane::fuzz::FuzzStorage storage(input);
  quillbrane::fuzz::CheckingSink sink;
  quillbrane::ReportWriter report(sink);
  if (!quillbrane::WriteReport(storage, report)) std::abort();
  sink.Check();
  return 0;
}
