// The layout decoder on image files made by util-linux (sfdisk, fdisk) and
// gdisk (sgdisk) at test time, read through FdDiskSource like a real disk,
// and cross-checked entry by entry against what util-linux says of the same
// image; then on the partition-table images of util-linux's own test suite.
// No root is needed: everything is an image file in a temporary directory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "format/format.h"
#include "storage/byte_order.h"
#include "storage/disk_formats.h"
#include "storage/error_codes.h"
#include "storage/linux/fd_disk.h"
#include "storage/partition_table.h"
#include "storage/records.h"
#include "storage/utf16.h"

namespace quillbrane {
namespace {

namespace fs = std::filesystem;
using Record = std::array<std::uint8_t, LayoutBufferSize>;

// ---------------------------------------------------------------- tools

std::optional<std::string> FindTool(const std::string& name) {
  for (const char* dir : {"/usr/sbin", "/sbin", "/usr/bin", "/bin"}) {
    const std::string path = std::string(dir) + "/" + name;
    if (access(path.c_str(), X_OK) == 0) return path;
  }
  return std::nullopt;
}

// Runs `command` through the shell; its standard output in `out`. Returns
// the exit status, or -1 when it did not exit normally.
int RunCommand(const std::string& command, std::string* out = nullptr) {
  FILE* pipe = popen((out ? command : "{ " + command + "; } >/dev/null").c_str(), "r");
  if (pipe == nullptr) return -1;
  std::string text;
  std::array<char, 4096> chunk{};
  std::size_t n = 0;
  while ((n = fread(chunk.data(), 1, chunk.size(), pipe)) > 0) text.append(chunk.data(), n);
  const int status = pclose(pipe);
  if (out != nullptr) *out = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/quillbrane-images-XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~TempDir() { fs::remove_all(path_); }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

// An image file of `bytes` zero bytes.
void MakeImage(const std::string& path, std::uint64_t bytes) {
  std::ofstream(path, std::ios::binary).close();
  fs::resize_file(path, bytes);
}

// Inverts the byte at `offset`, so it surely changes.
void FlipByte(const std::string& path, std::uint64_t offset) {
  std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
  file.seekg(static_cast<std::streamoff>(offset));
  const int byte = file.get();
  file.seekp(static_cast<std::streamoff>(offset));
  file.put(static_cast<char>(byte ^ 0xFF));
}

// ---------------------------------------------------------------- decoding

struct Decoded {
  std::uint32_t code = 0;
  Record record{};
  std::uint32_t sectorSize = 512;
};

// Decodes an image file as the Linux storage layer decodes a device;
// `sectorSize` overrides the 512 bytes assumed for a regular file.
Decoded DecodeFile(const std::string& path, std::uint32_t sectorSize = 0, bool removable = false) {
  Decoded result;
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  EXPECT_GE(fd, 0) << path;
  if (fd < 0) return result;
  DiskFacts facts;
  facts.removable = removable;
  EXPECT_EQ(ReadDiskFacts(fd, facts), 0u);
  if (sectorSize != 0) facts.sectorSize = sectorSize;
  result.sectorSize = facts.sectorSize;
  FdDiskSource disk(fd, facts.sizeBytes);
  result.code = FillLayoutRecord(disk, facts, result.record);
  close(fd);
  return result;
}

std::span<const std::uint8_t> EntryBytes(const Record& record, std::size_t index) {
  return std::span<const std::uint8_t>(record).subspan(layout::EntryOffset(index), PartitionEntrySize);
}

// A GUID of the record without braces, as util-linux prints it (upper case).
std::string BareGuid(std::span<const std::uint8_t> bytes, std::size_t offset) {
  const std::string text = FormatGuid(bytes.subspan(offset).first<GuidSize>());
  return text.substr(1, text.size() - 2);
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// An MBR type as util-linux prints it ("c", "83", "0xa5") in the record's
// spelling ("0C", "83", "A5").
std::string TypeHex(std::string text) {
  if (text.rfind("0x", 0) == 0) text = text.substr(2);
  return Upper(text.size() < 2 ? "0" + text : text);
}

std::string GptName(std::span<const std::uint8_t> entryBytes) {
  std::array<std::uint16_t, entry::GptNameUnits> units{};
  std::size_t n = 0;
  while (n < units.size() && (units[n] = LoadU16(entryBytes, entry::GptName + 2 * n)) != 0) ++n;
  std::array<char, 4 * entry::GptNameUnits> text{};
  return std::string(text.data(), Utf16ToUtf8(std::span(units).first(n), text));
}

// ---------------------------------------------------------------- sfdisk --json

// Just enough JSON for sfdisk's output: objects, arrays, strings, integers
// and literals.
struct Json {
  enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
  bool boolean = false;
  std::int64_t number = 0;
  std::string text{};
  std::vector<Json> items{};
  std::map<std::string, Json> members{};

  const Json* Find(const std::string& key) const {
    const auto it = members.find(key);
    return it == members.end() ? nullptr : &it->second;
  }
  std::string String(const std::string& key) const {
    const Json* j = Find(key);
    return j ? j->text : "";
  }
  std::int64_t Number(const std::string& key) const {
    const Json* j = Find(key);
    return j ? j->number : -1;
  }
};

class JsonParser {
 public:
  explicit JsonParser(const std::string& text) : s_(text) {}
  bool Parse(Json& out) {
    if (!Value(out)) return false;
    Skip();
    return at_ == s_.size();
  }

 private:
  void Skip() {
    while (at_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[at_]))) ++at_;
  }
  bool Eat(char c) {
    Skip();
    if (at_ < s_.size() && s_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  bool StringValue(std::string& out) {
    if (!Eat('"')) return false;
    while (at_ < s_.size() && s_[at_] != '"') {
      if (s_[at_] == '\\' && at_ + 1 < s_.size()) ++at_;  // sfdisk escapes only '"' and '\'
      out += s_[at_++];
    }
    return Eat('"');
  }
  bool Value(Json& out) {
    Skip();
    if (at_ >= s_.size()) return false;
    const char c = s_[at_];
    if (c == '{') {
      out.kind = Json::Kind::Object;
      ++at_;
      if (Eat('}')) return true;
      do {
        std::string key;
        Json value;
        if (!StringValue(key) || !Eat(':') || !Value(value)) return false;
        out.members[key] = value;
      } while (Eat(','));
      return Eat('}');
    }
    if (c == '[') {
      out.kind = Json::Kind::Array;
      ++at_;
      if (Eat(']')) return true;
      do {
        out.items.emplace_back();
        if (!Value(out.items.back())) return false;
      } while (Eat(','));
      return Eat(']');
    }
    if (c == '"') {
      out.kind = Json::Kind::String;
      return StringValue(out.text);
    }
    for (const char* word : {"true", "false", "null"}) {
      if (s_.compare(at_, std::string(word).size(), word) == 0) {
        at_ += std::string(word).size();
        out.kind = word[0] == 'n' ? Json::Kind::Null : Json::Kind::Bool;
        out.boolean = word[0] == 't';
        return true;
      }
    }
    out.kind = Json::Kind::Number;
    const std::size_t start = at_;
    if (s_[at_] == '-') ++at_;
    while (at_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[at_]))) ++at_;
    if (at_ == start) return false;
    out.number = std::stoll(s_.substr(start, at_ - start));
    return true;
  }

  const std::string& s_;
  std::size_t at_ = 0;
};

// `sfdisk --json` of an image: its "partitiontable" object.
std::optional<Json> SfdiskTable(const std::string& sfdisk, const std::string& image) {
  std::string out;
  if (RunCommand(sfdisk + " --json " + Quote(image) + " 2>/dev/null", &out) != 0) return std::nullopt;
  Json root;
  if (!JsonParser(out).Parse(root) || root.Find("partitiontable") == nullptr) {
    ADD_FAILURE() << "unreadable sfdisk output:\n" << out;
    return std::nullopt;
  }
  return *root.Find("partitiontable");
}

// The partition number at the end of an sfdisk "node" ("disk.img5" is 5).
int NodeNumber(const std::string& node) {
  std::size_t digits = node.size();
  while (digits > 0 && std::isdigit(static_cast<unsigned char>(node[digits - 1]))) --digits;
  return digits == node.size() ? -1 : std::stoi(node.substr(digits));
}

// sfdisk's "attrs" text back to the 64 attribute bits: named bits 0 to 2,
// "GUID:n,m" for the type-specific bits 48 to 63.
std::uint64_t AttributeBits(const std::string& attrs) {
  std::uint64_t bits = 0;
  std::istringstream words(attrs);
  std::string word;
  while (words >> word) {
    if (word == "RequiredPartition") bits |= 1ULL << 0;
    else if (word == "NoBlockIOProtocol") bits |= 1ULL << 1;
    else if (word == "LegacyBIOSBootable") bits |= 1ULL << 2;
    else if (word.rfind("GUID:", 0) == 0) {
      std::istringstream list(word.substr(5));
      std::string bit;
      while (std::getline(list, bit, ',')) bits |= 1ULL << std::stoi(bit);
    } else {
      ADD_FAILURE() << "unknown attribute " << word;
    }
  }
  return bits;
}

// Checks a decoded GPT layout against sfdisk's view of the same image.
void ExpectMatchesSfdiskGpt(const Decoded& decoded, const Json& table) {
  const Record& r = decoded.record;
  const std::int64_t ss = decoded.sectorSize;
  ASSERT_EQ(table.String("label"), "gpt");
  EXPECT_EQ(LoadU32(r, layout::PartitionStyle), PartitionStyleGpt);
  EXPECT_EQ(BareGuid(r, layout::GptDiskId), Upper(table.String("id")));
  EXPECT_EQ(LoadI64(r, layout::GptStartingUsableOffset), table.Number("firstlba") * ss);
  EXPECT_EQ(LoadI64(r, layout::GptUsableLength), (table.Number("lastlba") - table.Number("firstlba") + 1) * ss);
  const std::vector<Json>& parts = table.Find("partitions")->items;
  ASSERT_EQ(LoadU32(r, layout::PartitionCount), parts.size());
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const Json& p = parts[i];
    const auto e = EntryBytes(r, i);
    SCOPED_TRACE("partition " + p.String("node"));
    EXPECT_EQ(LoadU32(e, entry::PartitionStyle), PartitionStyleGpt);
    EXPECT_EQ(LoadU32(e, entry::PartitionNumber), i + 1);
    EXPECT_EQ(LoadI64(e, entry::StartingOffset), p.Number("start") * ss);
    EXPECT_EQ(LoadI64(e, entry::PartitionLength), p.Number("size") * ss);
    EXPECT_EQ(BareGuid(e, entry::GptPartitionType), Upper(p.String("type")));
    EXPECT_EQ(BareGuid(e, entry::GptPartitionId), Upper(p.String("uuid")));
    EXPECT_EQ(GptName(e), p.String("name"));
    EXPECT_EQ(LoadU64(e, entry::GptAttributes), AttributeBits(p.String("attrs")));
  }
}

// Checks a decoded MBR layout against sfdisk's view: primaries and
// extended partitions by slot, logical partitions in chain order.
void ExpectMatchesSfdiskMbr(const Decoded& decoded, const Json& table) {
  const Record& r = decoded.record;
  const std::int64_t ss = decoded.sectorSize;
  ASSERT_EQ(table.String("label"), "dos");
  EXPECT_EQ(LoadU32(r, layout::PartitionStyle), PartitionStyleMbr);
  EXPECT_EQ(FormatHex(LoadU32(r, layout::MbrSignature), 8), TypeHex(table.String("id")));
  const std::uint32_t count = LoadU32(r, layout::PartitionCount);
  ASSERT_EQ(count % 4, 0u);
  std::vector<std::size_t> logicals;  // record indexes of the logical partitions
  for (std::size_t i = 4; i < count; ++i) {
    if (LoadU8(EntryBytes(r, i), entry::MbrRecognizedPartition) != 0) logicals.push_back(i);
  }
  std::size_t primaries = 0;
  std::size_t logicalSeen = 0;
  for (const Json& p : table.Find("partitions")->items) {
    const int number = NodeNumber(p.String("node"));
    SCOPED_TRACE("partition " + p.String("node"));
    ASSERT_GE(number, 1);
    std::size_t index = 0;
    if (number <= 4) {
      index = static_cast<std::size_t>(number - 1);
      ++primaries;
    } else {
      ASSERT_LT(logicalSeen, logicals.size()) << "a logical partition sfdisk lists is missing";
      index = logicals[logicalSeen++];
    }
    const auto e = EntryBytes(r, index);
    EXPECT_EQ(LoadI64(e, entry::StartingOffset), p.Number("start") * ss);
    EXPECT_EQ(LoadI64(e, entry::PartitionLength), p.Number("size") * ss);
    EXPECT_EQ(FormatHex(LoadU8(e, entry::MbrPartitionType), 2), TypeHex(p.String("type")));
    EXPECT_EQ(LoadU8(e, entry::MbrBootIndicator) != 0, p.Find("bootable") != nullptr && p.Find("bootable")->boolean);
  }
  EXPECT_EQ(logicalSeen, logicals.size()) << "the decoder found logical partitions sfdisk does not list";
  std::size_t usedSlots = 0;
  for (std::size_t i = 0; i < 4; ++i) usedSlots += LoadU8(EntryBytes(r, i), entry::MbrPartitionType) != 0;
  EXPECT_EQ(primaries, usedSlots);
}

class ImagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sfdisk_ = FindTool("sfdisk").value_or("");
    sgdisk_ = FindTool("sgdisk").value_or("");
    fdisk_ = FindTool("fdisk").value_or("");
    if (sfdisk_.empty() || fdisk_.empty()) GTEST_SKIP() << "sfdisk or fdisk missing: install the Debian package fdisk";
    if (sgdisk_.empty()) GTEST_SKIP() << "sgdisk missing: install the Debian package gdisk";
  }

  // An image of `bytes` bytes partitioned by an sfdisk script.
  std::string Sfdisk(const std::string& name, std::uint64_t bytes, const std::string& script) {
    const std::string path = dir_ / name;
    MakeImage(path, bytes);
    std::ofstream(dir_ / (name + ".script")) << script;
    EXPECT_EQ(RunCommand(sfdisk_ + " -q --no-reread --no-tell-kernel " + Quote(path) + " < " +
                  Quote(dir_ / (name + ".script")) + " 2>&1"),
              0)
        << script;
    return path;
  }

  TempDir dir_;
  std::string sfdisk_;
  std::string sgdisk_;
  std::string fdisk_;
};

TEST_F(ImagesTest, GptFromSgdiskWithNamesAttributesAndAGapInTheArray) {
  const std::string path = dir_ / "named.img";
  MakeImage(path, 16 << 20);
  ASSERT_EQ(RunCommand(sgdisk_ + " -o" + " -n 1:2048:+1M -t 1:ef00 -c 1:'EFI system' -A 1:set:0" +
                " -n 3:0:+2M -t 3:0700 -c 3:'Donn\u00e9es partag\u00e9es' -A 3:set:2 -A 3:set:60 -A 3:set:63" +
                " -n 4:0:0 -t 4:8300 -c 4:'a name of exactly thirty-six units!!' " + Quote(path)),
            0);
  const Decoded decoded = DecodeFile(path);
  ASSERT_EQ(decoded.code, 0u);
  const auto table = SfdiskTable(sfdisk_, path);
  ASSERT_TRUE(table);
  ASSERT_EQ(table->Find("partitions")->items.size(), 3u);
  ExpectMatchesSfdiskGpt(decoded, *table);
  EXPECT_EQ(LoadU32(decoded.record, layout::GptMaxPartitionCount), 128u);
  EXPECT_EQ(LoadU64(EntryBytes(decoded.record, 1), entry::GptAttributes), 0x9000000000000004ULL);
}

TEST_F(ImagesTest, GptFromSfdiskUpToTheRecordsLimit) {
  const struct {
    int partitions;
    std::uint32_t code;
  } cases[] = {{1, 0}, {16, 0}, {17, ErrorInsufficientBuffer}, {20, ErrorInsufficientBuffer}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.partitions) + " partitions");
    std::string script = "label: gpt\nfirst-lba: 2048\n";
    for (int i = 0; i < c.partitions; ++i) {
      script += "size=1MiB, type=0FC63DAF-8483-4772-8E79-3D69D8477DE4, name=\"part " + std::to_string(i + 1) + "\"\n";
    }
    const std::string path = Sfdisk("gpt" + std::to_string(c.partitions) + ".img", 32 << 20, script);
    const Decoded decoded = DecodeFile(path);
    ASSERT_EQ(decoded.code, c.code);
    const auto table = SfdiskTable(sfdisk_, path);
    ASSERT_TRUE(table);
    EXPECT_EQ(table->Find("partitions")->items.size(), static_cast<std::size_t>(c.partitions));
    if (c.code == 0) ExpectMatchesSfdiskGpt(decoded, *table);
  }
}

TEST_F(ImagesTest, ADamagedPrimaryGptFallsBackToTheBackupLikeUtilLinux) {
  const std::string path = Sfdisk("damaged.img", 8 << 20,
                                  "label: gpt\nsize=1MiB, name=first\nsize=2MiB, type=C12A7328-F81F-11D2-BA4B-00A0C93EC93B, name=second\n");
  const auto intact = SfdiskTable(sfdisk_, path);
  ASSERT_TRUE(intact);
  const struct {
    const char* what;
    std::uint64_t offset;  // a byte of the primary GPT to flip
  } cases[] = {
      {"header", 512 + gpt::DiskGuid},
      {"entry array", 1024 + gpt::EntryName},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string copy = dir_ / "damaged-copy.img";
    fs::copy_file(path, copy, fs::copy_options::overwrite_existing);
    FlipByte(copy, c.offset);
    const Decoded decoded = DecodeFile(copy);
    ASSERT_EQ(decoded.code, 0u);
    const auto table = SfdiskTable(sfdisk_, copy);
    ASSERT_TRUE(table);
    ExpectMatchesSfdiskGpt(decoded, *table);
    ExpectMatchesSfdiskGpt(decoded, *intact);
    // With the backup damaged as well, nothing is left to trust.
    FlipByte(copy, (8 << 20) - 512 + gpt::DiskGuid);
    EXPECT_EQ(DecodeFile(copy).code, ErrorDiskCorrupt);
  }
}

TEST_F(ImagesTest, GptWith4096ByteSectorsFromFdisk) {
  const std::string path = dir_ / "4k.img";
  MakeImage(path, 32 << 20);
  // New GPT; a 1 MiB partition; a second one over the rest.
  ASSERT_EQ(RunCommand("printf 'g\\nn\\n\\n\\n+1M\\nn\\n\\n\\n\\nw\\n' | " + fdisk_ + " -b 4096 " + Quote(path) + " 2>&1"), 0);
  const Decoded decoded = DecodeFile(path, 4096);
  ASSERT_EQ(decoded.code, 0u);
  std::string listing;
  ASSERT_EQ(RunCommand(fdisk_ + " -b 4096 -l -o Start,Sectors,Type-UUID,UUID " + Quote(path), &listing), 0);
  // The rows after the column heading: start, sectors, type, unique GUID.
  ASSERT_NE(listing.find("Type-UUID"), std::string::npos) << listing;
  std::istringstream lines(listing.substr(listing.find("Type-UUID")));
  std::string line;
  std::getline(lines, line);
  std::size_t i = 0;
  while (std::getline(lines, line) && !line.empty()) {
    std::istringstream row(line);
    std::int64_t start = 0, sectors = 0;
    std::string type, uuid;
    ASSERT_TRUE(row >> start >> sectors >> type >> uuid) << line;
    const auto e = EntryBytes(decoded.record, i++);
    EXPECT_EQ(LoadI64(e, entry::StartingOffset), start * 4096) << line;
    EXPECT_EQ(LoadI64(e, entry::PartitionLength), sectors * 4096) << line;
    EXPECT_EQ(BareGuid(e, entry::GptPartitionType), type) << line;
    EXPECT_EQ(BareGuid(e, entry::GptPartitionId), uuid) << line;
  }
  EXPECT_EQ(i, 2u);
  EXPECT_EQ(LoadU32(decoded.record, layout::PartitionCount), i);
  // Read with 512-byte sectors the same disk has no GPT where one is looked for.
  EXPECT_EQ(DecodeFile(path, 512).code, ErrorDiskCorrupt);
}

TEST_F(ImagesTest, AHybridMbrFromSgdiskReadsAsMbr) {
  const std::string path = dir_ / "hybrid.img";
  MakeImage(path, 16 << 20);
  ASSERT_EQ(RunCommand(sgdisk_ + " -o -n 1:2048:+1M -t 1:ef00 -n 2:0:+2M -t 2:0700 -h 1:2 " + Quote(path)), 0);
  const Decoded decoded = DecodeFile(path);
  ASSERT_EQ(decoded.code, 0u);
  EXPECT_EQ(LoadU32(decoded.record, layout::PartitionStyle), PartitionStyleMbr);
  // util-linux prefers the GPT of a hybrid disk; asked for the MBR alone
  // (fdisk -t dos) it lists the slots Windows reads.
  std::string listing;
  ASSERT_EQ(RunCommand(fdisk_ + " -t dos -l -o Device,Start,Sectors,Id " + Quote(path), &listing), 0);
  ASSERT_NE(listing.find("Device"), std::string::npos) << listing;
  std::istringstream lines(listing.substr(listing.find("Device")));
  std::string line;
  std::getline(lines, line);
  std::size_t slots = 0;
  while (std::getline(lines, line) && !line.empty()) {
    std::istringstream row(line);
    std::string device, id;
    std::int64_t start = 0, sectors = 0;
    ASSERT_TRUE(row >> device >> start >> sectors >> id) << line;
    const auto e = EntryBytes(decoded.record, static_cast<std::size_t>(NodeNumber(device) - 1));
    EXPECT_EQ(LoadI64(e, entry::StartingOffset), start * 512) << line;
    EXPECT_EQ(LoadI64(e, entry::PartitionLength), sectors * 512) << line;
    EXPECT_EQ(FormatHex(LoadU8(e, entry::MbrPartitionType), 2), TypeHex(id)) << line;
    EXPECT_EQ(LoadU32(e, entry::PartitionNumber), ++slots) << line;
  }
  EXPECT_EQ(slots, 3u);  // the 0xEE entry and the two mirrored partitions
  EXPECT_EQ(LoadU32(decoded.record, layout::PartitionCount), 4u);
}

TEST_F(ImagesTest, MbrWithLogicalPartitionsFromSfdisk) {
  const std::string primaries = "label: dos\nlabel-id: 0x8f8378c0\nstart=2048, size=2048, type=83, bootable\n";
  const struct {
    const char* what;
    std::string script;
    std::uint32_t code;
    std::uint32_t count;
  } cases[] = {
      {"three logicals in a 0x05 extended partition",
       primaries + "start=4096, size=20480, type=5\nstart=6144, size=2048, type=83\n"
                   "start=10240, size=1024, type=7\nstart=14336, size=4096, type=c, bootable\n",
       0, 16},
      {"two logicals in a 0x0F extended partition, then a primary",
       primaries + "start=4096, size=20480, type=f\nstart=4160, size=2048, type=83\n"
                   "start=8192, size=1024, type=7\nstart=30720, size=2048, type=82\n",
       0, 12},
      {"four logicals: more than the record holds",
       primaries + "start=4096, size=20480, type=5\nstart=6144, size=1024, type=83\nstart=10240, size=1024, type=83\n"
                   "start=14336, size=1024, type=83\nstart=18432, size=1024, type=83\n",
       ErrorInsufficientBuffer, 0},
      {"primaries only, one slot empty",
       primaries + "start=4096, size=2048, type=7\nstart=8192, size=2048, type=ef\n", 0, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = Sfdisk("dos.img", 32 << 20, c.script);
    const Decoded decoded = DecodeFile(path);
    ASSERT_EQ(decoded.code, c.code);
    if (c.code != 0) continue;
    EXPECT_EQ(LoadU32(decoded.record, layout::PartitionCount), c.count);
    const auto table = SfdiskTable(sfdisk_, path);
    ASSERT_TRUE(table);
    ExpectMatchesSfdiskMbr(decoded, *table);
  }
}

TEST_F(ImagesTest, ALinuxExtendedPartitionIsNotFollowed) {
  // util-linux follows a 0x85 container; Windows takes it for an ordinary
  // partition and lists none of the logicals inside.
  const std::string path = Sfdisk("linux-extended.img", 32 << 20,
                                  "label: dos\nstart=2048, size=20480, type=85\nstart=4096, size=2048, type=83\n"
                                  "start=8192, size=2048, type=83\n");
  const auto table = SfdiskTable(sfdisk_, path);
  ASSERT_TRUE(table);
  ASSERT_EQ(table->Find("partitions")->items.size(), 3u);
  const Decoded decoded = DecodeFile(path);
  ASSERT_EQ(decoded.code, 0u);
  EXPECT_EQ(LoadU32(decoded.record, layout::PartitionCount), 4u);
  const auto e = EntryBytes(decoded.record, 0);
  EXPECT_EQ(LoadU8(e, entry::MbrPartitionType), 0x85);
  EXPECT_EQ(LoadU8(e, entry::MbrRecognizedPartition), 1);
  EXPECT_EQ(LoadU32(e, entry::PartitionNumber), 1u);
  EXPECT_EQ(LoadI64(e, entry::StartingOffset), 2048 * 512);
}

TEST_F(ImagesTest, AFatFileSystemWithoutATable) {
  const auto mkfs = FindTool("mkfs.vfat");
  if (!mkfs) GTEST_SKIP() << "mkfs.vfat missing: install the Debian package dosfstools";
  const std::string path = dir_ / "fat.img";
  MakeImage(path, 8 << 20);
  ASSERT_EQ(RunCommand(*mkfs + " " + Quote(path) + " 2>&1"), 0);
  // On removable media Windows takes it for one volume from sector 0.
  const Decoded removable = DecodeFile(path, 0, true);
  ASSERT_EQ(removable.code, 0u);
  EXPECT_EQ(LoadU32(removable.record, layout::PartitionCount), 1u);
  EXPECT_EQ(LoadU32(removable.record, layout::MbrSignature), 1u);
  EXPECT_EQ(LoadI64(EntryBytes(removable.record, 0), entry::PartitionLength), 8 << 20);
  EXPECT_EQ(LoadU8(EntryBytes(removable.record, 0), entry::MbrPartitionType), mbr::TypeFat16Small);
  // On a fixed disk its boot sector is an MBR with an empty table.
  const Decoded fixed = DecodeFile(path);
  ASSERT_EQ(fixed.code, 0u);
  EXPECT_EQ(LoadU32(fixed.record, layout::PartitionStyle), PartitionStyleMbr);
  EXPECT_EQ(LoadU32(fixed.record, layout::PartitionCount), 4u);
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(LoadU8(EntryBytes(fixed.record, i), entry::MbrPartitionType), 0);
}

TEST_F(ImagesTest, AnEmptyImageIsRaw) {
  const std::string path = dir_ / "empty.img";
  MakeImage(path, 1 << 20);
  const Decoded decoded = DecodeFile(path);
  ASSERT_EQ(decoded.code, 0u);
  EXPECT_EQ(LoadU32(decoded.record, layout::PartitionStyle), PartitionStyleRaw);
  EXPECT_EQ(LoadU32(decoded.record, layout::PartitionCount), 0u);
  EXPECT_FALSE(SfdiskTable(sfdisk_, path)) << "util-linux sees no table either";
}

// ---------------------------------------------------------------- util-linux corpus

// One partition line of a util-linux "lowprobe-pt-*" expected file.
struct ExpectedPartition {
  int number = 0;
  std::int64_t start = 0;  // 512-byte sectors
  std::int64_t size = 0;
  std::string type{};      // "0x83" for MBR, the type GUID in the "type" field for GPT
  std::map<std::string, std::string> fields{};  // name, uuid, type
  bool nested = false;     // inside a BSD label: not a PC partition
};

struct ExpectedTable {
  std::int64_t sizeBytes = 0;
  std::string label{};
  std::string id{};
  std::vector<ExpectedPartition> partitions{};
};

ExpectedTable ReadExpected(const std::string& path) {
  ExpectedTable table;
  std::ifstream file(path);
  std::string line;
  std::getline(file, line);  // size: N, sector size: 512, PT: gpt, offset: 512, id=...
  table.sizeBytes = std::stoll(line.substr(line.find("size: ") + 6));
  const auto after = [&](const std::string& key) {
    const std::size_t at = line.find(key);
    if (at == std::string::npos) return std::string();
    const std::size_t from = at + key.size();
    return line.substr(from, line.find_first_of(", ", from) - from);
  };
  table.label = after("PT: ");
  table.id = after("id=");
  while (std::getline(file, line)) {
    if (line.empty() || line[0] != '#') continue;
    ExpectedPartition p;
    std::istringstream row(line.substr(1));
    std::string colon;
    row >> p.number >> colon >> p.start >> p.size >> p.type;
    std::string rest;
    std::getline(row, rest);
    p.nested = rest.find("(freebsd)") != std::string::npos;
    for (std::size_t at = rest.find("='"); at != std::string::npos; at = rest.find("='", at + 2)) {
      const std::size_t keyStart = rest.rfind(' ', at) + 1;
      const std::size_t end = rest.find('\'', at + 2);
      p.fields[rest.substr(keyStart, at - keyStart)] = rest.substr(at + 2, end - at - 2);
    }
    table.partitions.push_back(p);
  }
  return table;
}

class UtilLinuxCorpusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    corpus_ = std::string(QUILLBRANE_SOURCE_DIR) + "/../shared/corpus/util-linux-pt";
    if (!fs::exists(corpus_ + "/images-pt")) {
      GTEST_SKIP() << "the util-linux partition-table corpus is not at " << corpus_;
    }
    xz_ = FindTool("xz").value_or("");
    if (xz_.empty()) GTEST_SKIP() << "xz missing: install the Debian package xz-utils";
  }

  std::string Unpack(const std::string& name) {
    const std::string path = dir_ / (name + ".img");
    EXPECT_EQ(RunCommand(xz_ + " -dc " + Quote(corpus_ + "/images-pt/" + name + ".img.xz") + " > " + Quote(path)), 0);
    return path;
  }

  std::string corpus_;
  std::string xz_;
  TempDir dir_;
};

TEST_F(UtilLinuxCorpusTest, GptImageDecodesToTheListedPartitions) {
  const std::string path = Unpack("gpt");
  const ExpectedTable expected = ReadExpected(corpus_ + "/expected/lowprobe-pt-gpt");
  ASSERT_EQ(expected.label, "gpt");
  ASSERT_EQ(static_cast<std::int64_t>(fs::file_size(path)), expected.sizeBytes);
  const Decoded decoded = DecodeFile(path);
  ASSERT_EQ(decoded.code, 0u);
  const Record& r = decoded.record;
  EXPECT_EQ(LoadU32(r, layout::PartitionStyle), PartitionStyleGpt);
  EXPECT_EQ(BareGuid(r, layout::GptDiskId), Upper(expected.id));
  ASSERT_EQ(LoadU32(r, layout::PartitionCount), expected.partitions.size());
  ASSERT_EQ(expected.partitions.size(), 5u);
  for (std::size_t i = 0; i < expected.partitions.size(); ++i) {
    const ExpectedPartition& p = expected.partitions[i];
    const auto e = EntryBytes(r, i);
    SCOPED_TRACE("#" + std::to_string(p.number));
    EXPECT_EQ(LoadU32(e, entry::PartitionNumber), static_cast<std::uint32_t>(p.number));
    EXPECT_EQ(LoadI64(e, entry::StartingOffset), p.start * 512);
    EXPECT_EQ(LoadI64(e, entry::PartitionLength), p.size * 512);
    EXPECT_EQ(GptName(e), p.fields.at("name"));
    EXPECT_EQ(BareGuid(e, entry::GptPartitionId), Upper(p.fields.at("uuid")));
    EXPECT_EQ(BareGuid(e, entry::GptPartitionType), Upper(p.fields.at("type")));
  }
}

TEST_F(UtilLinuxCorpusTest, DosImageDecodesToItsPcPartitions) {
  const std::string path = Unpack("dos+bsd");
  const ExpectedTable expected = ReadExpected(corpus_ + "/expected/lowprobe-pt-dos+bsd");
  ASSERT_EQ(expected.label, "dos");
  const Decoded decoded = DecodeFile(path);
  ASSERT_EQ(decoded.code, 0u);
  const Record& r = decoded.record;
  EXPECT_EQ(LoadU32(r, layout::PartitionStyle), PartitionStyleMbr);
  const std::uint32_t signature = LoadU32(r, layout::MbrSignature);
  EXPECT_EQ(FormatHex(signature, 8), TypeHex(expected.id));
  EXPECT_EQ(LoadU32(r, layout::PartitionCount), 4u);  // no extended partition
  std::uint32_t number = 0;
  std::size_t listed = 0;
  for (const ExpectedPartition& p : expected.partitions) {
    if (p.nested) continue;
    ++listed;
    SCOPED_TRACE("#" + std::to_string(p.number));
    ASSERT_LE(p.number, 4);
    const auto e = EntryBytes(r, static_cast<std::size_t>(p.number - 1));
    EXPECT_EQ(LoadI64(e, entry::StartingOffset), p.start * 512);
    EXPECT_EQ(LoadI64(e, entry::PartitionLength), p.size * 512);
    EXPECT_EQ(FormatHex(LoadU8(e, entry::MbrPartitionType), 2), TypeHex(p.type));
    EXPECT_EQ(LoadU8(e, entry::MbrRecognizedPartition), 1);
    EXPECT_EQ(LoadU32(e, entry::PartitionNumber), ++number);
    // The stable identifier: the signature and the partition's byte offset.
    std::string offsetBytes;
    for (int b = 0; b < 8; ++b) offsetBytes += FormatHex((static_cast<std::uint64_t>(p.start * 512) >> (8 * b)) & 0xFF, 2);
    EXPECT_EQ(FormatGuid(e.subspan<entry::MbrPartitionId, GuidSize>()),
              "{" + FormatHex(signature, 8) + "-0000-0000-" + offsetBytes.substr(0, 4) + "-" + offsetBytes.substr(4) + "}");
  }
  EXPECT_EQ(listed, 2u);
  EXPECT_EQ(FormatGuid(EntryBytes(r, 0).subspan<entry::MbrPartitionId, GuidSize>()),
            "{8F8378C0-0000-0000-0040-000000000000}");  // partition 1 at byte 16'384
}

TEST_F(UtilLinuxCorpusTest, ForeignTablesReadAsADiskWithoutPartitions) {
  const char* const names[] = {"atari-primary", "atari-xgm", "bsd", "dasd-cdl", "dasd-ldl", "sgi", "sun"};
  for (const char* name : names) {
    SCOPED_TRACE(name);
    const std::string path = Unpack(name);
    ASSERT_GT(fs::file_size(path), 0u);
    const Decoded decoded = DecodeFile(path);
    ASSERT_EQ(decoded.code, 0u);
    EXPECT_EQ(LoadU32(decoded.record, layout::PartitionStyle), PartitionStyleRaw);
    EXPECT_EQ(LoadU32(decoded.record, layout::PartitionCount), 0u);
  }
}

}  // namespace
}  // namespace quillbrane
