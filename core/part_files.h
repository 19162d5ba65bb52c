// The parts of a long list as files beside the chosen name, written all or
// nothing: NAME-1.xml, NAME-2.xml, ... for NAME.xml.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "core/sitemap_document.h"

namespace lirrevo {

class FileOutput;

// The name of part `number` (from 1) beside output: output without a final
// ".gz" and then a final ".xml", then "-N.xml" (with ".gz" for gzip parts).
// "dl/dead.xml" gives "dl/dead-1.xml"; "dl/dead" gives "dl/dead-1.xml" too.
std::string PartFileName(const std::string& output, std::size_t number, bool gzip = false);

// The file name of a path: what follows its last '/'.
std::string BaseName(const std::string& path);

// The folder of a path: what precedes its last '/' ("/" for a file at the
// root, "." for a bare name).
std::string FolderName(const std::string& path);

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
