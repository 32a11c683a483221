#include "study/studies/csv_file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace fb {

CsvFileReader::CsvFileReader(CsvFileReader&& other) noexcept
    : path_(std::move(other.path_)),
      file_(std::exchange(other.file_, nullptr)),
      buffer_(std::exchange(other.buffer_, nullptr)),
      capacity_(std::exchange(other.capacity_, 0)),
      line_(other.line_) {}

CsvFileReader::~CsvFileReader() {
  if (file_) std::fclose(file_);
  std::free(buffer_);
}

Expected<void> CsvFileReader::open() {
  const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return unexpected(path_ + ": " + std::strerror(errno));
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(fd);
    return unexpected(path_ + ": not a regular file");
  }
  file_ = ::fdopen(fd, "r");
  if (!file_) {
    const int code = errno;
    ::close(fd);
    errno = code;
    return unexpected(path_ + ": " + std::strerror(code));
  }
  return {};
}

std::optional<std::string> CsvFileReader::nextLine() {
  if (!file_) return std::nullopt;
  const ssize_t got = ::getline(&buffer_, &capacity_, file_);
  if (got <= 0) return std::nullopt;
  ++line_;
  return std::string(buffer_, static_cast<std::size_t>(got));
}

Expected<std::optional<CsvRecord>> CsvFileReader::nextRecord() {
  std::optional<std::string> text = nextLine();
  if (!text) return std::optional<CsvRecord>();
  const std::size_t first = line_;
  // An odd count of quotes leaves a quoted field open into the next line.
  while (std::count(text->begin(), text->end(), '"') % 2 != 0) {
    const std::optional<std::string> more = nextLine();
    if (!more) return unexpected(at(first) + "a quoted field is not closed");
    *text += *more;
  }
  Expected<CsvRecords> read = csvRecords(*text);
  if (!read || read->records.size() != 1) return unexpected(at(first) + "not one line of a summary");
  CsvRecord record = std::move(read->records.front());
  record.line = first;
  return std::optional<CsvRecord>(std::move(record));
}

}  // namespace fb
