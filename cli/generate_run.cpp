#include <future>
#include <optional>

#include "cli/cli_input.h"
#include "cli/commands.h"
#include "cli/document_output.h"
#include "cli/messages.h"
#include "core/document/list_input.h"

namespace lirrevo::cli {

int RunGenerate(const Options& options) {
  const std::optional<DateTime> date = DocumentDate();
  if (!date) return 1;
  if (const int refused = CheckOutputs(options, *date)) return refused;
  const std::optional<DecodedList> list = ReadList(options);
  if (!list) return 1;
  const std::string_view utf8 = list->Utf8();
  // Every line is kept, as the window keeps it; the repeats are counted on
  // the side while the document is written.
  std::future<std::size_t> repeated = std::async(std::launch::async | std::launch::deferred,
                                                 CountRepeatedLines, utf8, LineBreaks::kAny);
  const int exit_code = WriteDocuments(options, *date, [utf8](DocumentBuilder& builder) {
    ForEachLine(utf8, LineBreaks::kAny, [&](std::string_view line) { builder.Add(line); });
  });
  if (const std::size_t copies = repeated.get(); copies > 0) {
    Warn("the document holds " + Counted(copies, "duplicate link", "duplicate links"));
  }
  return exit_code;
}

}  // namespace lirrevo::cli
