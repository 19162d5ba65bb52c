#include "core/part_files.h"

#include "core/file_output.h"

namespace lirrevo {

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
