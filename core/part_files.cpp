#include "core/part_files.h"

#include "core/file_output.h"

namespace lirrevo {

std::string PartFileName(const std::string& output, std::size_t number, bool gzip) {
  std::string stem = output;
  if (stem.ends_with(".gz")) stem.resize(stem.size() - 3);
  if (stem.ends_with(".xml")) stem.resize(stem.size() - 4);
  return stem + "-" + std::to_string(number) + (gzip ? ".xml.gz" : ".xml");
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
  files_.push_back(std::make_unique<FileOutput>());
  return files_.back()->Open(PartFileName(output_, number));
}

bool PartFiles::Write(std::string_view chunk) { return files_.back()->Write(chunk); }

bool PartFiles::EndPart() { return files_.back()->Finish(); }

bool PartFiles::CommitAll() {
  std::vector<FileOutput*> files;
  for (const std::unique_ptr<FileOutput>& file : files_) files.push_back(file.get());
  std::size_t failed = 0;
  return FileOutput::CommitAll(files, failed);
}

}  // namespace lirrevo
