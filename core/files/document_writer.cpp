#include "core/files/document_writer.h"

#include <cerrno>
#include <cstring>

#include "core/document/part_names.h"
#include "core/files/file_identity.h"
#include "core/files/file_output.h"
#include "core/files/gzip_stream.h"

namespace lirrevo {

struct DocumentWriter::Staged {
  FileOutput output;
  std::string path;
  bool removal = false;  // the commit removes path
};

DocumentWriter::DocumentWriter(DocumentFiles files) : files_(std::move(files)) {}

DocumentWriter::~DocumentWriter() = default;

std::string DocumentWriter::PartName(std::size_t number) const {
  return PartFileName(files_.path, number, files_.gzip);
}

bool DocumentWriter::BeginPart(std::size_t number) {
  return Open(files_.parts ? PartName(number) : files_.path);
}

bool DocumentWriter::Write(std::string_view chunk) {
  if (!gzip_) return Raw(chunk);
  return gzip_->Write(chunk) || Failed();
}

bool DocumentWriter::EndPart() {
  if (gzip_ && !gzip_->Finish()) return Failed();
  gzip_.reset();
  return staged_.back()->output.Finish() || Failed();
}

bool DocumentWriter::Commit(std::size_t parts) {
  if (files_.parts && files_.index_loc) {
    std::vector<std::string> locs;
    for (std::size_t n = 1; n <= parts; ++n) {
      locs.push_back(files_.index_loc(BaseName(PartName(n))));
    }
    const std::string index = BuildSitemapIndex(locs, files_.index_date, files_.index_form);
    if (!Open(files_.path) || !Write(index) || !EndPart()) return false;
  }
  // Parts left from an earlier, longer run would still be read as this list's.
  std::size_t old = 0;
  while (files_.parts && IsOldPart(PartName(parts + old + 1))) ++old;
  for (std::size_t n = parts + 1; n <= parts + old; ++n) {
    if (!RemoveOnCommit(PartName(n))) return false;
  }
  std::vector<FileOutput*> outputs;
  for (const std::unique_ptr<Staged>& file : staged_) outputs.push_back(&file->output);
  std::size_t failed = 0;
  if (!FileOutput::CommitAll(outputs, failed)) return Failed(failed);
  removed_ = old;
  return true;
}

bool DocumentWriter::Open(const std::string& path) {
  if (IsInput(path)) return Refuse(WriteFailure::Kind::kIsInput, path, {});
  staged_.push_back(std::make_unique<Staged>());
  staged_.back()->path = path;
  if (!staged_.back()->output.Open(path)) return Failed();
  if (files_.gzip) {
    gzip_ = std::make_unique<GzipStream>([this](std::string_view bytes) { return Raw(bytes); });
  }
  return true;
}

bool DocumentWriter::Raw(std::string_view bytes) {
  return staged_.back()->output.Write(bytes) || Failed();
}

bool DocumentWriter::IsInput(const std::string& path) const {
  struct stat st {};
  return files_.input && stat(path.c_str(), &st) == 0 && SameFile(st, *files_.input);
}

// There, and not a file this run writes by another name, as when a new part
// is a link to it.
bool DocumentWriter::IsOldPart(const std::string& path) const {
  struct stat old {};
  if (lstat(path.c_str(), &old) != 0) return false;
  if (stat(path.c_str(), &old) != 0) return true;  // a dangling link
  for (const std::unique_ptr<Staged>& file : staged_) {
    struct stat written {};
    if (stat(file->path.c_str(), &written) == 0 && SameFile(old, written)) return false;
  }
  return true;
}

bool DocumentWriter::RemoveOnCommit(const std::string& path) {
  if (IsInput(path)) return Refuse(WriteFailure::Kind::kIsInput, path, {});
  staged_.push_back(std::make_unique<Staged>());
  staged_.back()->path = path;
  staged_.back()->removal = true;
  return staged_.back()->output.OpenToRemove(path) || Failed();
}

bool DocumentWriter::Failed() { return Failed(staged_.size() - 1); }

bool DocumentWriter::Failed(std::size_t which) {
  const int error = errno != 0 ? errno : EIO;
  const Staged& file = *staged_[which];
  const std::string& problem = file.output.Problem();
  return Refuse(file.removal ? WriteFailure::Kind::kRemove : WriteFailure::Kind::kWrite, file.path,
                (problem.empty() ? "" : problem + ": ") + std::strerror(error));
}

bool DocumentWriter::Refuse(WriteFailure::Kind kind, const std::string& path, std::string cause) {
  if (!failure_) failure_ = WriteFailure{kind, path, std::move(cause)};
  return false;
}

}  // namespace lirrevo
