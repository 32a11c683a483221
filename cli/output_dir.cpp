#include "cli/output_dir.h"

#include <filesystem>

#include "cli/named_files.h"
#include "cli/terminal_view.h"
#include "output/text_file.h"

namespace fb {

bool placeDataFiles(const CliOptions& o, const std::string& dir, std::vector<GridRun>& runs) {
  const std::vector<NamedFile> named = namedFiles(o);
  for (GridRun& run : runs) {
    const std::string dataFile = (std::filesystem::path(dir) / (run.name + ".p-d")).string();
    for (const NamedFile& file : named) {
      if (!sameFile(dataFile, file.onDisk())) continue;
      printError("--output-dir's data file " + dataFile + " and " + file.option + " " + file.path +
                 " name the same file");
      return false;
    }
    run.texts[Field::dataFile] = dataFile;
  }
  return true;
}

std::unique_ptr<StudyFolderLock> holdOutputDir(const std::string& dir, const std::string& identity,
                                               std::optional<Shard> shard, const FolderCheck& check) {
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec) {
    printError(dir + ": " + ec.message());
    return nullptr;
  }
  Expected<StudyFolderLock> hold = StudyFolderLock::hold(dir, identity, shard, check);
  if (!hold) {
    printError(hold.error() + "; this study wrote nothing");
    return nullptr;
  }
  return std::make_unique<StudyFolderLock>(std::move(*hold));
}

}  // namespace fb
