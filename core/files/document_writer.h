// The one writer of documents, for the window and lirrevo-cli: one file, or
// the parts of a long list beside the chosen name (PartFileName) with their
// index, gzipped where asked, all put in place or none.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/document/sitemap_document.h"

namespace lirrevo {

class GzipStream;

struct DocumentFiles {
  // The one document's file; with parts, the index's, and the name the
  // parts are named after.
  std::string path;
  bool parts = false;
  bool gzip = false;  // every file compressed, the parts named .xml.gz
  // With parts, the index's loc for the part of that file name (no folder);
  // without it there is no index.
  std::function<std::string(const std::string& part_name)> index_loc;
  DateTime index_date;
  UrlsetForm index_form = UrlsetForm::kDeadLink;
  // A file that no output may be, by any name: the input.
  std::optional<struct stat> input;
};

// Why the writer stopped: the file and the cause.
struct WriteFailure {
  enum class Kind { kWrite, kRemove, kIsInput };
  Kind kind = Kind::kWrite;
  std::string path;
  std::string cause;  // "[where: ]strerror", empty for kIsInput
};

// Takes the builder's parts and stages each file through its own FileOutput;
// nothing is put in place until Commit, and what was not committed is
// removed when the object goes.
class DocumentWriter : public PartSink {
 public:
  explicit DocumentWriter(DocumentFiles files);
  ~DocumentWriter() override;
  DocumentWriter(const DocumentWriter&) = delete;
  DocumentWriter& operator=(const DocumentWriter&) = delete;

  bool BeginPart(std::size_t number) override;
  bool Write(std::string_view chunk) override;
  bool EndPart() override;

  // Once the builder handed on `parts` parts: writes the index where there
  // is one, and puts every file in place (FileOutput::CommitAll), the parts
  // numbered past `parts` that an earlier, longer run left removed in the
  // same commit once the new files are in place.
  bool Commit(std::size_t parts);

  std::string PartName(std::size_t number) const;
  // The parts of an earlier run that the commit removed.
  std::size_t RemovedParts() const { return removed_; }
  // The first failure, after a false result.
  const std::optional<WriteFailure>& Failure() const { return failure_; }

 private:
  struct Staged;

  bool Open(const std::string& path);
  bool Raw(std::string_view bytes);
  bool IsInput(const std::string& path) const;
  bool IsOldPart(const std::string& path) const;
  bool RemoveOnCommit(const std::string& path);
  bool Failed();
  bool Failed(std::size_t which);
  bool Refuse(WriteFailure::Kind kind, const std::string& path, std::string cause);

  DocumentFiles files_;
  std::vector<std::unique_ptr<Staged>> staged_;
  std::unique_ptr<GzipStream> gzip_;
  std::size_t removed_ = 0;
  std::optional<WriteFailure> failure_;
};

}  // namespace lirrevo
