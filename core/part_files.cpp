#include "core/part_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/file_output.h"

namespace lirrevo {

std::string PartFileName(const std::string& output, std::size_t number) {
  std::string stem = output;
  if (stem.ends_with(".gz")) stem.resize(stem.size() - 3);
  if (stem.ends_with(".xml")) stem.resize(stem.size() - 4);
  return stem + "-" + std::to_string(number) + ".xml";
}

std::string BaseName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

std::string FolderName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

PartFiles::PartFiles(std::string output) : output_(std::move(output)) {}

PartFiles::~PartFiles() = default;

bool PartFiles::BeginPart(std::size_t number) {
  const std::string name = PartFileName(output_, number);
  struct stat st {};
  existed_.push_back(lstat(name.c_str(), &st) == 0);
  files_.push_back(std::make_unique<FileOutput>());
  return files_.back()->Open(name);
}

bool PartFiles::Write(std::string_view chunk) { return files_.back()->Write(chunk); }

bool PartFiles::EndPart() { return files_.back()->Finish(); }

bool PartFiles::CommitAll() {
  for (std::size_t i = 0; i < files_.size(); ++i) {
    if (files_[i]->Commit()) continue;
    const int cause = errno;
    for (std::size_t placed = 0; placed < i; ++placed) {
      if (!existed_[placed]) unlink(PartFileName(output_, placed + 1).c_str());
    }
    errno = cause;
    return false;
  }
  return true;
}

}  // namespace lirrevo
