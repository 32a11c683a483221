#pragma once

// A CSV file read record by record, so that a summary of a million runs is
// never held whole.

#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>

#include "engine/expected.h"
#include "study/studies/summary_parts.h"

namespace fb {

class CsvFileReader {
 public:
  explicit CsvFileReader(std::string path) : path_(std::move(path)) {}
  CsvFileReader(CsvFileReader&& other) noexcept;
  CsvFileReader(const CsvFileReader&) = delete;
  CsvFileReader& operator=(const CsvFileReader&) = delete;
  ~CsvFileReader();

  /// Opens a regular file only (a pipe planted under the name would hold the
  /// reader), or "path: reason"; errno tells a lack of file handles.
  [[nodiscard]] Expected<void> open();

  /// The next line with its end, or nullopt at the end of the file.
  std::optional<std::string> nextLine();

  /// The next record (a quoted field may hold line ends), or nullopt at the
  /// end; "path:line: reason" for a quote left open.
  [[nodiscard]] Expected<std::optional<CsvRecord>> nextRecord();

  /// "path:line: ", to begin a reason.
  std::string at(std::size_t line) const { return path_ + ":" + std::to_string(line) + ": "; }
  const std::string& path() const { return path_; }
  /// The last line read, from 1.
  std::size_t line() const { return line_; }

 private:
  std::string path_;
  std::FILE* file_ = nullptr;
  char* buffer_ = nullptr;
  std::size_t capacity_ = 0;
  std::size_t line_ = 0;
};

}  // namespace fb
