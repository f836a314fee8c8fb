// quillbrane.exe run as a user runs it, in an empty folder of the machine
// the test runs on (a real Windows or Wine): the exit status, a silent
// console, and a report that is well formed and agrees, drive by drive,
// with what the platform answers to the same requests made here.
// Built only on Windows.
#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// ---------------------------------------------------------------- running

struct RunResult {
  DWORD exitCode = 0;
  std::string out;
  std::string err;
};

std::string ReadFileBytes(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

HANDLE InheritableFile(const fs::path& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit{};
  inherit.nLength = sizeof(inherit);
  inherit.bInheritHandle = TRUE;
  return CreateFileA(path.string().c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, disposition,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Runs the program without arguments in `workDir`, its standard output and
// error going to files in `outputDir`.
std::optional<RunResult> RunProgram(const fs::path& workDir, const fs::path& outputDir) {
  std::string program = QUILLBRANE_PROGRAM;
  for (char& c : program) {
    if (c == '/') c = '\\';
  }
  const fs::path outPath = outputDir / "stdout.txt";
  const fs::path errPath = outputDir / "stderr.txt";
  const HANDLE in = InheritableFile("NUL", GENERIC_READ, OPEN_EXISTING);
  const HANDLE out = InheritableFile(outPath, GENERIC_WRITE, CREATE_ALWAYS);
  const HANDLE err = InheritableFile(errPath, GENERIC_WRITE, CREATE_ALWAYS);
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = out;
  startup.hStdError = err;
  std::string commandLine = "\"" + program + "\"";
  PROCESS_INFORMATION process{};
  const BOOL started = CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      workDir.string().c_str(), &startup, &process);
  const DWORD startError = GetLastError();
  for (HANDLE h : {in, out, err}) {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
  if (!started) {
    ADD_FAILURE() << "cannot start " << program << ": error " << startError;
    return std::nullopt;
  }
  RunResult result;
  if (WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0) {
    ADD_FAILURE() << program << " did not end within two minutes";
    TerminateProcess(process.hProcess, 255);
    WaitForSingleObject(process.hProcess, INFINITE);
  }
  GetExitCodeProcess(process.hProcess, &result.exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  result.out = ReadFileBytes(outPath);
  result.err = ReadFileBytes(errPath);
  return result;
}

class EndToEndTest : public testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("quillbrane-e2e-" + std::to_string(GetCurrentProcessId()) + "-" +
             testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    ASSERT_TRUE(fs::create_directories(root_ / "work"));
    ASSERT_TRUE(fs::create_directories(root_ / "console"));
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  fs::path Work() const { return root_ / "work"; }
  std::optional<RunResult> Run() { return RunProgram(Work(), root_ / "console"); }

  std::vector<std::string> WorkEntries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Work())) names.push_back(entry.path().filename().string());
    return names;
  }

  fs::path root_;
};

// ---------------------------------------------------------------- reading

struct ErrorLine {
  std::uint32_t code = 0;
  std::string text;  // the system text with its line ends
};

struct DriveBlock {
  int number = -1;
  std::optional<ErrorLine> openError;
  std::optional<ErrorLine> geometryError;
  std::map<std::string, std::string> geometry;  // label -> value text
  std::optional<ErrorLine> layoutError;
  std::map<std::string, std::string> layout;
  int entries = 0;
};

const char* const Grouped = R"(-?\d{1,3}(?:'\d{3})*)";
const char* const Hex8 = R"([0-9A-F]{8} \(hex\))";
const char* const Guid = R"(\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\})";
const char* const Name = R"(\S.*)";

// Reads a report line by line against its grammar, noting every departure
// with its line number.
class ReportReader {
 public:
  explicit ReportReader(std::vector<std::string> lines) : lines_(std::move(lines)) {}

  std::vector<DriveBlock> ReadAll() {
    std::vector<DriveBlock> blocks;
    while (at_ < lines_.size() && problems_.empty()) blocks.push_back(ReadBlock(static_cast<int>(blocks.size())));
    return blocks;
  }
  const std::vector<std::string>& Problems() const { return problems_; }

 private:
  DriveBlock ReadBlock(int number) {
    DriveBlock block;
    block.number = number;
    const std::string dashes(number < 10 ? 19 : 20, '-');
    Expect(dashes);
    Expect("\\\\.\\PhysicalDrive" + std::to_string(number) + ":");
    Expect(dashes);
    if (StartsWith(">>> Drive open error #")) {
      block.openError = ReadErrorLine(">>> Drive open error #");
      Expect("");
      return block;
    }
    ReadGeometry(block);
    ReadLayout(block);
    Expect("");
    return block;
  }

  void ReadGeometry(DriveBlock& block) {
    const std::string prefix = ">>> DeviceIoControl(IOCTL_DISK_GET_DRIVE_GEOMETRY_EX) error #";
    if (StartsWith(prefix)) {
      block.geometryError = ReadErrorLine(prefix);
      return;
    }
    Expect("");
    Expect("IOCTL_DISK_GET_DRIVE_GEOMETRY_EX:");
    Field(block.geometry, "- MediaType: ", Name);
    for (const char* label : {"- Cylinders: ", "- TracksPerCylinder: ", "- SectorsPerTrack: ", "- BytesPerSector: ",
                              "- DiskSize: "}) {
      Field(block.geometry, label, Grouped);
    }
    Field(block.geometry, "- PartitionStyle: ", Name);
    if (StartsWith("- Signature: ")) {
      Field(block.geometry, "- Signature: ", Hex8);
      Field(block.geometry, "- Checksum: ", Hex8);
      Detection(block);
    } else if (StartsWith("- GUID: ")) {
      Field(block.geometry, "- GUID: ", Guid);
      Detection(block);
    }
  }

  void Detection(DriveBlock& block) {
    Field(block.geometry, "- DetectionType: ",
          std::string(Name) + R"(, \(Int13\.MaxCylinders: )" + Grouped + R"(, ExInt13\.ExCylinders: )" + Grouped +
              R"(\))");
  }

  void ReadLayout(DriveBlock& block) {
    const std::string prefix = ">>> DeviceIoControl(IOCTL_DISK_GET_DRIVE_LAYOUT_EX) error #";
    if (StartsWith(prefix)) {
      block.layoutError = ReadErrorLine(prefix);
      return;
    }
    Expect("");
    Expect("IOCTL_DISK_GET_DRIVE_LAYOUT_EX:");
    const std::string style = Field(block.layout, "- PartitionStyle: ", Name);
    Field(block.layout, "- PartitionCount: ", Grouped);
    if (style == "MBR") {
      Field(block.layout, "- Signature: ", Hex8);
      Field(block.layout, "- CheckSum: ", Hex8);
    } else if (style == "GPT") {
      Field(block.layout, "- DiskId: ", Guid);
      Field(block.layout, "- StartingUsableOffset: ", Grouped);
      Field(block.layout, "- UsableLength: ", Grouped);
      Field(block.layout, "- MaxPartitionCount: ", Grouped);
    }
    static const std::regex heading(R"(> PartitionEntry\[\d+\]:)");
    static const std::regex entryLine(std::string(R"(  \* \w+: .*|  \\\\\?\\Volume)") + Guid + R"(\\|    - .*)");
    while (at_ + 1 < lines_.size() && lines_[at_].empty() && std::regex_match(lines_[at_ + 1], heading)) {
      at_ += 2;
      ++block.entries;
      while (at_ < lines_.size() && std::regex_match(lines_[at_], entryLine)) ++at_;
    }
  }

  // prefix, a non-zero code, ": ", a text, and the further lines of a text
  // that has several.
  ErrorLine ReadErrorLine(const std::string& prefix) {
    static const std::regex rest(R"(([1-9]\d*): (\S.*))");
    ErrorLine error;
    std::smatch match;
    const std::string tail = at_ < lines_.size() ? lines_[at_].substr(prefix.size()) : std::string();
    if (!std::regex_match(tail, match, rest)) {
      Problem("an error line with a code and a text");
      return error;
    }
    error.code = static_cast<std::uint32_t>(std::stoul(match[1].str()));
    error.text = match[2].str() + "\r\n";
    ++at_;
    while (at_ < lines_.size() && !lines_[at_].empty() && lines_[at_].rfind(">>> ", 0) != 0) {
      error.text += lines_[at_++] + "\r\n";
    }
    return error;
  }

  std::string Field(std::map<std::string, std::string>& fields, const std::string& label,
                    const std::string& valuePattern) {
    const std::regex value(valuePattern);
    if (!StartsWith(label) || !std::regex_match(lines_[at_].substr(label.size()), value)) {
      Problem(label + "<" + valuePattern + ">");
      return std::string();
    }
    const std::string text = lines_[at_++].substr(label.size());
    fields[label] = text;
    return text;
  }

  void Expect(const std::string& line) {
    if (at_ >= lines_.size() || lines_[at_] != line) {
      Problem("\"" + line + "\"");
      return;
    }
    ++at_;
  }

  bool StartsWith(const std::string& prefix) const {
    return at_ < lines_.size() && lines_[at_].rfind(prefix, 0) == 0;
  }

  void Problem(const std::string& expected) {
    problems_.push_back("line " + std::to_string(at_ + 1) + ": expected " + expected + ", found " +
                        (at_ < lines_.size() ? "\"" + lines_[at_] + "\"" : "the end"));
    at_ = lines_.size();
  }

  std::vector<std::string> lines_;
  std::size_t at_ = 0;
  std::vector<std::string> problems_;
};

// Splits at CR LF; every line end must be CR LF and the text must end with
// one.
std::vector<std::string> CrLfLines(const std::string& text, std::vector<std::string>& problems) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      lines.push_back(text.substr(start, i - start));
      start = i + 2;
      ++i;
    } else if (text[i] == '\r' || text[i] == '\n') {
      problems.push_back("a lone " + std::string(text[i] == '\r' ? "CR" : "LF") + " after line " +
                         std::to_string(lines.size()));
    }
  }
  if (start != text.size()) problems.push_back("the last line has no CR LF");
  return lines;
}

// ----------------------------------------------- the platform's own answers

std::string Grouping(std::int64_t value) {
  std::string digits = std::to_string(value < 0 ? -value : value);
  for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, "'");
  return (value < 0 ? "-" : "") + digits;
}

std::string SystemText(DWORD code) {
  std::array<char, 256> text{};
  if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, 0x0400, text.data(),
                     static_cast<DWORD>(text.size()), nullptr) == 0) {
    return std::string();
  }
  CharToOemA(text.data(), text.data());
  return text.data();
}

// What the platform answers for one drive when asked here.
struct PlatformDrive {
  DWORD openError = 0;
  DWORD geometryError = 0;
  DISK_GEOMETRY_EX geometry{};
  DWORD layoutError = 0;
  DWORD partitionCount = 0;
};

PlatformDrive AskPlatform(int number) {
  PlatformDrive drive;
  const std::string path = "\\\\.\\PhysicalDrive" + std::to_string(number);
  const HANDLE handle = CreateFileA(path.c_str(), 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    drive.openError = GetLastError();
    return drive;
  }
  alignas(8) std::array<std::uint8_t, 104> geometry{};
  DWORD returned = 0;
  if (DeviceIoControl(handle, IOCTL_DISK_GET_DRIVE_GEOMETRY_EX, nullptr, 0, geometry.data(),
                      static_cast<DWORD>(geometry.size()), &returned, nullptr)) {
    std::memcpy(&drive.geometry, geometry.data(), sizeof(drive.geometry));
  } else {
    drive.geometryError = GetLastError();
  }
  alignas(8) std::array<std::uint8_t, 2352> layout{};
  if (DeviceIoControl(handle, IOCTL_DISK_GET_DRIVE_LAYOUT_EX, nullptr, 0, layout.data(),
                      static_cast<DWORD>(layout.size()), &returned, nullptr)) {
    std::memcpy(&drive.partitionCount, layout.data() + offsetof(DRIVE_LAYOUT_INFORMATION_EX, PartitionCount),
                sizeof(drive.partitionCount));
  } else {
    drive.layoutError = GetLastError();
  }
  CloseHandle(handle);
  return drive;
}

void ExpectPlatformError(const std::optional<ErrorLine>& line, DWORD code, const std::string& what) {
  ASSERT_TRUE(line.has_value()) << what << " succeeded in the report but failed here with " << code;
  EXPECT_EQ(line->code, code) << what;
  EXPECT_EQ(line->text, SystemText(code)) << what;
}

// ------------------------------------------------------------------ tests

TEST_F(EndToEndTest, ASilentRunWritesAWellFormedReportOfEveryDrive) {
  const std::optional<RunResult> run = Run();
  ASSERT_TRUE(run);
  EXPECT_EQ(run->exitCode, 0u);
  EXPECT_EQ(run->out, "");
  EXPECT_EQ(run->err, "");
  EXPECT_EQ(WorkEntries(), std::vector<std::string>{"Quillbrane.txt"});

  const std::string report = ReadFileBytes(Work() / "Quillbrane.txt");
  std::vector<std::string> problems;
  const std::vector<std::string> lines = CrLfLines(report, problems);
  ReportReader reader(lines);
  const std::vector<DriveBlock> blocks = reader.ReadAll();
  problems.insert(problems.end(), reader.Problems().begin(), reader.Problems().end());
  for (const std::string& problem : problems) ADD_FAILURE() << problem;
  ASSERT_TRUE(problems.empty()) << report;
  ASSERT_EQ(blocks.size(), 15u) << report;

  for (const DriveBlock& block : blocks) {
    SCOPED_TRACE("drive " + std::to_string(block.number));
    const PlatformDrive platform = AskPlatform(block.number);
    if (platform.openError != 0) {
      ExpectPlatformError(block.openError, platform.openError, "open");
      continue;
    }
    ASSERT_FALSE(block.openError) << "the drive opens here";
    if (platform.geometryError != 0) {
      ExpectPlatformError(block.geometryError, platform.geometryError, "geometry");
    } else {
      ASSERT_FALSE(block.geometryError);
      const DISK_GEOMETRY& g = platform.geometry.Geometry;
      EXPECT_EQ(block.geometry.at("- Cylinders: "), Grouping(g.Cylinders.QuadPart));
      EXPECT_EQ(block.geometry.at("- TracksPerCylinder: "), Grouping(g.TracksPerCylinder));
      EXPECT_EQ(block.geometry.at("- SectorsPerTrack: "), Grouping(g.SectorsPerTrack));
      EXPECT_EQ(block.geometry.at("- BytesPerSector: "), Grouping(g.BytesPerSector));
      EXPECT_EQ(block.geometry.at("- DiskSize: "), Grouping(platform.geometry.DiskSize.QuadPart));
    }
    if (platform.layoutError != 0) {
      ExpectPlatformError(block.layoutError, platform.layoutError, "layout");
    } else {
      ASSERT_FALSE(block.layoutError);
      EXPECT_EQ(block.layout.at("- PartitionCount: "), Grouping(platform.partitionCount));
    }
  }
}

TEST_F(EndToEndTest, AnExistingReportIsReplaced) {
  std::ofstream(Work() / "Quillbrane.txt", std::ios::binary) << std::string(200000, 'o');
  const std::optional<RunResult> run = Run();
  ASSERT_TRUE(run);
  EXPECT_EQ(run->exitCode, 0u);
  const std::string report = ReadFileBytes(Work() / "Quillbrane.txt");
  EXPECT_EQ(report.rfind("-------------------\r\n\\\\.\\PhysicalDrive0:\r\n", 0), 0u);
  EXPECT_EQ(report.find('o' + std::string(20, 'o')), std::string::npos) << "old content left in the report";
}

TEST_F(EndToEndTest, AReportThatCannotBeCreatedEndsTheRunWithAMessage) {
  // A folder in the report's place: the file cannot be created.
  ASSERT_TRUE(fs::create_directory(Work() / "Quillbrane.txt"));
  const std::optional<RunResult> run = Run();
  ASSERT_TRUE(run);
  EXPECT_EQ(run->exitCode, 1u);
  EXPECT_EQ(run->out, "");
  EXPECT_TRUE(std::regex_search(run->err, std::regex(R"(File access denied|I/O error \d+)"))) << run->err;
  ASSERT_GE(run->err.size(), 2u);
  EXPECT_EQ(run->err.substr(run->err.size() - 2), "\r\n");
  EXPECT_EQ(run->err.find('\n'), run->err.size() - 1) << "one line";
  EXPECT_TRUE(fs::is_directory(Work() / "Quillbrane.txt"));
  EXPECT_EQ(WorkEntries(), std::vector<std::string>{"Quillbrane.txt"});
}

}  // namespace
