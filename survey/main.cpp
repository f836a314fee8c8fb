// Entry point: survey the machine's physical drives into Quillbrane.txt.
#include "storage/platform.h"
#include "survey/survey.h"

int main() {
  const auto storage = quillbrane::CreatePlatformStorage();
  return quillbrane::RunSurvey(*storage);
}
