#include "core/generate_command.h"

#include "core/file_output.h"

namespace lirrevo {

void GenerateSitemapFile(const ReadContentFn& read_content, const AskOutputFileFn& ask_output_file,
                         const ShowMessageFn& show_message, const std::function<DateTime()>& now) {
  std::optional<std::string> path = ask_output_file();
  if (!path) return;
  std::string bytes = BuildSitemapDocument(read_content, now);
  // Every document has at least its header and closing tag, so no bytes means
  // the box or the document could not be converted: nothing is written then.
  const bool written = !bytes.empty() && WriteBytesToFile(*path, bytes);
  path.reset();
  std::string().swap(bytes);
  show_message(std::string(written ? GenerateSuccessMessage : GenerateFailureMessage));
}

}  // namespace lirrevo
