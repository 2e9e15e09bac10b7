// What the tests share: the writer's names, temporary folders and files, and
// a comparison of large texts that shows where they differ.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "writer/dic_writer.h"

namespace kebu::testing {

using namespace kebu::writer;  // Record, Options, BuildDictionary, ...
// The writer's conversions (tests/codec holds the codec to ICU).
using writer::Utf16ToUtf8;
using writer::Utf8ToUtf16;

// BuildDictionary's dictionary: options it cannot honour fail the test
// (std::runtime_error with the writer's message).
BuiltDictionary MakeDictionary(std::vector<Record> records, const Options& options = {});

// A fresh folder under the system's temporary folder, removed with
// everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path File(std::string_view name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// Writes the bytes to `path` (replacing it); throws std::runtime_error.
void WriteFile(const std::filesystem::path& path, std::span<const uint8_t> bytes);
void WriteFile(const std::filesystem::path& path, std::string_view bytes);
std::vector<uint8_t> ReadFile(const std::filesystem::path& path);
std::string ReadText(const std::filesystem::path& path);

// Large texts compared: on a mismatch, the first difference and what
// surrounds it (gtest's line diff of two large texts takes too much memory).
::testing::AssertionResult SameText(const std::string& actual, const std::string& expected);

}  // namespace kebu::testing

namespace kebu::testing {

// A program run to its end: its exit status (128 + signal when killed) and
// what it wrote.
struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

struct RunOptions {
  bool terminal = false;   // standard output on a terminal (a pseudo-terminal)
  long memoryKb = 0;       // > 0: its address space limited to this
  long fileSizeKb = 0;     // > 0: the files it writes limited to this
  std::string stdoutFile;  // not empty: standard output into this file
};

// Runs `program` with `args`; standard input is /dev/null, standard output
// and error are pipes, or both the terminal (they come back together in
// `out`).
RunResult Run(const std::string& program, const std::vector<std::string>& args,
              const RunOptions& options = {});

}  // namespace kebu::testing
