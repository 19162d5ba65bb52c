// The parts of a long list as files beside the chosen name (PartFileName),
// written all or nothing.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "core/part_names.h"
#include "core/sitemap_document.h"

namespace lirrevo {

class FileOutput;

// Writes every part to PartFileName(output, N), each staged through its own
// FileOutput: nothing is put in place until CommitAll, and a part that was
// not committed is removed when the object goes. errno tells the cause of a
// false result.
class PartFiles : public PartSink {
 public:
  explicit PartFiles(std::string output);
  ~PartFiles() override;

  bool BeginPart(std::size_t number) override;
  bool Write(std::string_view chunk) override;
  bool EndPart() override;

  // Puts every part in place, all or none (FileOutput::CommitAll).
  bool CommitAll();

 private:
  std::string output_;
  std::vector<std::unique_ptr<FileOutput>> files_;
};

}  // namespace lirrevo
