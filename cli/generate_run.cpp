#include "cli/generate_run.h"

#include <optional>

#include "cli/cli_input.h"
#include "cli/document_output.h"
#include "core/list_input.h"

namespace lirrevo::cli {

int RunGenerate(const Options& options) {
  const std::optional<DateTime> date = DocumentDate();
  if (!date) return 1;
  if (const int refused = CheckOutputs(options, *date)) return refused;
  const std::optional<DecodedList> list = ReadList(options);
  if (!list) return 1;
  const std::string_view utf8 = list->Utf8();
  return WriteDocuments(options, *date, [utf8](DocumentBuilder& builder) {
    ForEachLine(utf8, LineBreaks::kAny, [&](std::string_view line) { builder.Add(line); });
  });
}

}  // namespace lirrevo::cli
