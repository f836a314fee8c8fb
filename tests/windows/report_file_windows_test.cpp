// The report file on Windows: created or replaced, shared for reading only
// while open, bytes written unchanged, and the system's codes on failure.
// Built only on Windows.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "storage/platform.h"

namespace quillbrane {
namespace {

namespace fs = std::filesystem;

class ReportFileTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("quillbrane-report-" + std::to_string(GetCurrentProcessId()) + "-" +
            testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    ASSERT_TRUE(fs::create_directories(dir_));
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }

  static std::string Contents(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
  }

  fs::path dir_;
};

TEST_F(ReportFileTest, WritesTheBytesUnchanged) {
  const std::string path = PathOf("Quillbrane.txt");
  std::uint32_t code = 99;
  auto file = CreateReportFile(path.c_str(), code);
  ASSERT_NE(file, nullptr) << "error " << code;
  const std::string first = "line\r\nno conversion\n\x1A\xE9";
  const std::string second(10000, 'x');
  EXPECT_EQ(file->Write(first.data(), first.size()), 0u);
  EXPECT_EQ(file->Write(second.data(), second.size()), 0u);
  EXPECT_EQ(file->Close(), 0u);
  EXPECT_EQ(Contents(path), first + second);
}

TEST_F(ReportFileTest, ReplacesAnExistingLongerFile) {
  const std::string path = PathOf("Quillbrane.txt");
  std::ofstream(path, std::ios::binary) << std::string(5000, 'o');
  std::uint32_t code = 0;
  auto file = CreateReportFile(path.c_str(), code);
  ASSERT_NE(file, nullptr) << "error " << code;
  EXPECT_EQ(file->Write("new", 3), 0u);
  EXPECT_EQ(file->Close(), 0u);
  EXPECT_EQ(Contents(path), "new");
}

TEST_F(ReportFileTest, OthersMayReadButNotWriteWhileItIsOpen) {
  const std::string path = PathOf("Quillbrane.txt");
  std::uint32_t code = 0;
  auto file = CreateReportFile(path.c_str(), code);
  ASSERT_NE(file, nullptr) << "error " << code;

  const DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  const HANDLE reader = CreateFileA(path.c_str(), GENERIC_READ, shareAll, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(reader, INVALID_HANDLE_VALUE) << "error " << GetLastError();
  if (reader != INVALID_HANDLE_VALUE) CloseHandle(reader);

  const HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, shareAll, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);

  EXPECT_EQ(file->Close(), 0u);
}

TEST_F(ReportFileTest, CreationFailuresCarryTheSystemsCode) {
  fs::create_directory(dir_ / "Quillbrane.txt");
  struct Case {
    std::string path;
    std::uint32_t code;
  };
  const Case cases[] = {
      {PathOf("Quillbrane.txt"), ERROR_ACCESS_DENIED},  // a directory in the file's place
      {PathOf("missing\\Quillbrane.txt"), ERROR_PATH_NOT_FOUND},
  };
  for (const Case& c : cases) {
    std::uint32_t code = 0;
    EXPECT_EQ(CreateReportFile(c.path.c_str(), code), nullptr) << c.path;
    EXPECT_EQ(code, c.code) << c.path;
  }
}

}  // namespace
}  // namespace quillbrane
