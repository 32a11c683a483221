#pragma once

// Reading and writing the program's text files whole: a file read is sane in
// kind and size, a file written is complete or left as it was.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "engine/expected.h"

namespace fb {

/// The most a file the program reads may hold.
inline constexpr std::size_t kMaxReadBytes = 64u << 20;

/// The whole content of a regular file, or standard input for "-", of at
/// most kMaxReadBytes, or the reason it cannot be read ("path: reason");
/// devices, folders and larger files are refused with the reason.
[[nodiscard]] Expected<std::string> readTextFile(const std::string& path);

/// Why a file could not be read: the system's error number (EISDIR for a
/// folder; 0 where the file's kind or size is at fault) and the reason,
/// without the path.
struct ReadFailure {
  int code = 0;
  std::string reason;
};

/// readTextFile for callers that name files only: "-" is a file of that name,
/// never standard input, and a failure keeps the error number.
[[nodiscard]] Expected<std::string, ReadFailure> readNamedFile(const std::string& path);

/// Writes `content` as the whole file, or leaves the file as it was and gives
/// "path: reason". The content goes to a hidden temporary file in the target's
/// folder (".NAME.fb-partial", created exclusively, never through a link),
/// which is renamed over the target once complete; one that a killed writer
/// left is removed first. A symbolic link is followed: the file it points to
/// is replaced and the link stays; a loop of links is refused. An existing
/// file that may not be written (writeAccess) is refused, though the rename
/// would not need its permission, and so is a data file a run is writing
/// (its lock is held), a pipe and a socket. Devices (/dev/null) are written
/// directly.
[[nodiscard]] Expected<void> writeTextFile(const std::string& path, std::string_view content);

/// Hands a piece of a made text on; false once writing has failed, when the
/// maker should stop.
using TextPut = std::function<bool(std::string_view piece)>;
/// Makes a text piece by piece, or says why it could not.
using TextMaker = std::function<Expected<void>(const TextPut& put)>;

/// writeTextFile for a text too large to hold whole, made piece by piece:
/// written whole, or the file is left as it was, with the maker's reason
/// as it gave it, or "path: reason" for a failed write.
[[nodiscard]] Expected<void> writeMadeTextFile(const std::string& path, const TextMaker& make);

/// The file a path ends at once its symbolic links are followed (also a link
/// whose target does not exist yet); the path itself when it is no link.
std::string followLinks(const std::string& path);

/// Whether two paths name the same file: the same file on disk through any
/// names, or the same place once made absolute and free of links and "..".
bool sameFile(const std::string& a, const std::string& b);

}  // namespace fb
