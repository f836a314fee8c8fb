// A storage implementation whose every answer comes from fuzzer input, and
// a report sink that checks what the survey writes.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>

#include "storage/platform.h"
#include "storage/storage_queries.h"
#include "storage/utf16.h"

namespace quillbrane::fuzz {

// Hands out the input's bytes in order; zeros once it runs dry.
class InputStream {
 public:
  InputStream(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  std::uint32_t U32() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(Byte()) << (8 * i);
    return v;
  }
  void Fill(std::span<std::uint8_t> out) {
    for (auto& b : out) b = Byte();
  }
  void FillText(std::span<char> out) {
    for (auto& c : out) c = static_cast<char>(Byte());
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

class FuzzStorage final : public StorageQueries {
 public:
  explicit FuzzStorage(InputStream& input) : in_(input) {}
  bool OpenPhysicalDrive(const char*, DriveHandle& handle) override {
    if (in_.Byte() & 1) return Fail();
    handle.value = 1;
    return true;
  }
  bool QueryGeometry(DriveHandle, std::span<std::uint8_t, GeometryBufferSize> buffer) override {
    if (in_.Byte() & 1) return Fail();
    in_.Fill(buffer);
    return true;
  }
  bool QueryLayout(DriveHandle, std::span<std::uint8_t, LayoutBufferSize> buffer) override {
    if (in_.Byte() & 1) return Fail();
    in_.Fill(buffer);
    return true;
  }
  void CloseDrive(DriveHandle) override {}
  std::uint32_t LastErrorCode() override { return lastError_; }
  void LastErrorText(std::uint32_t, std::span<char, ErrorTextCapacity> text) override {
    const std::size_t n = in_.Byte() % 8;
    std::memset(text.data(), 0, text.size());
    in_.FillText(std::span<char>(text).first(n));
    if (in_.Byte() & 1) std::memcpy(text.data() + n, "\r\n", 2);
  }
  bool VolumePathNames(const char*, std::span<char, VolumeTextCapacity> paths) override {
    const int mode = in_.Byte() % 3;
    if (mode == 0) return Fail();
    // Either a short list or a buffer filled to the brim with no end.
    const std::size_t n = mode == 1 ? in_.Byte() : paths.size();
    in_.FillText(std::span<char>(paths).first(std::min(n, paths.size())));
    return true;
  }
  std::uint32_t DriveType(const char*) override { return in_.U32(); }
  bool VolumeInformation(const char*, VolumeInformationResult& result) override {
    if (in_.Byte() & 1) return Fail();
    // Labels may fill their buffers without a terminator.
    in_.FillText(std::span<char>(result.label).first(in_.Byte() & 1 ? result.label.size() : in_.Byte() % 40));
    in_.FillText(std::span<char>(result.fileSystem).first(in_.Byte() % 16));
    result.serialNumber = in_.U32();
    result.maximumComponentLength = in_.U32();
    result.fileSystemFlags = in_.U32();
    return true;
  }
  std::size_t WideToAnsi(std::span<const std::uint16_t> text, std::span<char> out) override {
    return Utf16ToUtf8(text, out);
  }

 private:
  bool Fail() {
    lastError_ = in_.U32();
    return false;
  }
  InputStream& in_;
  std::uint32_t lastError_ = 0;
};

// Collects the report and checks, at the end, that every line ends in
// CR LF with no bare CR or LF: nothing from the input may break a line.
class CheckingSink final : public ReportSink {
 public:
  std::uint32_t Write(const char* data, std::size_t size) override {
    text_.append(data, size);
    return 0;
  }
  std::uint32_t Close() override { return 0; }
  void Check() const {
    for (std::size_t i = 0; i < text_.size(); ++i) {
      const bool crlf = text_[i] == '\r' && i + 1 < text_.size() && text_[i + 1] == '\n';
      if (crlf) {
        ++i;
        continue;
      }
      // A system text may lack its line end; the next one written closes
      // the line. Any other lone CR or LF is a fault.
      if (text_[i] == '\r' || text_[i] == '\n') std::abort();
    }
  }

 private:
  std::string text_;
};

}  // namespace quillbrane::fuzz
