// Building disk images with the system's own tools (mkfs, blkid) for the
// Linux tests: run a command, find a tool, place a file system made in a
// file of its own at a partition's offset in a sparse disk image.
#pragma once

#include <stdio.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace quillbrane::test {

// The standard output of a shell command without its final line end; `ok`
// says whether the command succeeded.
inline std::string RunCommand(const std::string& command, bool& ok) {
  std::string output;
  FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
  if (pipe == nullptr) {
    ok = false;
    return output;
  }
  std::array<char, 256> chunk{};
  while (fgets(chunk.data(), chunk.size(), pipe) != nullptr) output += chunk.data();
  ok = pclose(pipe) == 0;
  while (!output.empty() && output.back() == '\n') output.pop_back();
  return output;
}

inline bool HaveTool(const std::string& name) {
  bool ok = false;
  RunCommand("command -v " + name, ok);
  return ok;
}

// Creates (or truncates) `path` as a sparse file of `bytes` bytes.
inline void MakeSparseFile(const std::filesystem::path& path, std::uint64_t bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc).close();
  std::filesystem::resize_file(path, bytes);
}

// Copies the non-zero 64 KiB blocks of `part` into `disk` at byte `offset`,
// so the disk image stays sparse.
inline void PlaceFileAt(const std::filesystem::path& part, const std::filesystem::path& disk, std::uint64_t offset) {
  std::ifstream in(part, std::ios::binary);
  std::fstream out(disk, std::ios::binary | std::ios::in | std::ios::out);
  std::vector<char> block(64 * 1024);
  for (std::uint64_t at = 0; in.read(block.data(), static_cast<std::streamsize>(block.size())) || in.gcount() > 0;
       at += block.size()) {
    const auto n = static_cast<std::size_t>(in.gcount());
    bool zero = true;
    for (std::size_t i = 0; i < n && zero; ++i) zero = block[i] == 0;
    if (!zero) {
      out.seekp(static_cast<std::streamoff>(offset + at));
      out.write(block.data(), static_cast<std::streamsize>(n));
    }
  }
}

// Overwrites bytes of `file` at `offset`.
inline void PatchFile(const std::filesystem::path& file, std::uint64_t offset, const std::vector<std::uint8_t>& bytes) {
  std::fstream out(file, std::ios::binary | std::ios::in | std::ios::out);
  out.seekp(static_cast<std::streamoff>(offset));
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace quillbrane::test
