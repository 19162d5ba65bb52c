#include "core/generate_command.h"

#include "core/document/output_encoding.h"
#include "core/document/part_names.h"
#include "core/files/document_writer.h"

namespace lirrevo {
namespace {

// The system's text of UTF-8 (a path's bytes may be no UTF-8: then `other`).
std::string TextOf(const std::string& utf8, const std::string& other) {
  return Utf8ToText(utf8).value_or(Utf8ToText(other).value_or(std::string()));
}

std::string PartsWrittenMessage(std::size_t parts, const std::string& path) {
  const std::string count = std::to_string(parts) + " 个文件";
  return std::string(GenerateSuccessMessage) +
         TextOf("\n已在文件夹 " + FolderName(path) + " 中写入 " + count + "。",
                "\n已写入 " + count + "。");
}

// The document of the checked box, one file or the parts beside it; the
// message to show.
std::string WriteDocument(const std::string& path, std::string_view utf8, const DateTime& date,
                          bool parts) {
  DocumentFiles files;
  files.path = path;
  files.parts = parts;
  DocumentWriter writer(std::move(files));
  const UrlsetResult result = BuildSitemapDocument(
      utf8, LineBreaks::kCrLf, date, parts ? EngineLimits() : UrlsetOptions{}, writer);
  if (!result.ok || !writer.Commit(result.parts)) return std::string(GenerateFailureMessage);
  return parts ? PartsWrittenMessage(result.parts, path) : std::string(GenerateSuccessMessage);
}

}  // namespace

std::string SplitQuestion(std::size_t links, std::size_t whole_bytes, std::size_t parts,
                          const std::string& path) {
  const std::string question = PartsQuestion(links, whole_bytes, parts, path);
  // A name that is no UTF-8 is left out of the question.
  return TextOf(question, question.substr(0, question.rfind("（")) + "吗？");
}

void GenerateSitemapFile(const ReadBoxUtf8Fn& read_box, const AskOutputFileFn& ask_output_file,
                         const ShowMessageFn& show_message, const std::function<DateTime()>& now,
                         const AskQuestionFn& ask_split) {
  std::optional<std::string> path = ask_output_file();
  if (!path) return;
  std::optional<BoxUtf8> box = read_box();
  std::string message(GenerateFailureMessage);
  if (box) {
    const DateTime date = now();
    // One pass checks the box and counts the parts that the engines' limits cut it into.
    const std::optional<UrlsetResult> parts =
        CheckBoxUtf8(box->text, LineBreaks::kCrLf, date, EngineLimits());
    const bool past_limits = parts && parts->parts > 1 && !path->empty();
    const bool split =
        past_limits && ask_split &&
        ask_split(SplitQuestion(parts->urls, parts->whole_bytes, parts->parts, *path));
    if (parts) message = WriteDocument(*path, box->text, date, split);
  }
  path.reset();
  box.reset();
  show_message(message);
}

}  // namespace lirrevo
