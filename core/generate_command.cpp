#include "core/generate_command.h"

#include "core/file_output.h"
#include "core/link_list.h"
#include "core/output_encoding.h"
#include "core/part_files.h"

namespace lirrevo {
namespace {

// Counts what the parts would hold without keeping their bytes.
class PartCount : public PartSink {
 public:
  bool BeginPart(std::size_t) override { return true; }
  bool Write(std::string_view) override { return true; }
  bool EndPart() override { return true; }
};

UrlsetOptions EngineLimits() {
  UrlsetOptions options;
  options.max_urls = kEngineMaxUrls;
  options.max_bytes = kEngineMaxBytes;
  return options;
}

// The size of the one document of the box's lines.
std::size_t WholeSize(std::string_view utf8, const DateTime& date) {
  PartCount count;
  return StreamUrlset(utf8, LineBreaks::kCrLf, date, UrlsetOptions{}, count).most_bytes;
}

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

bool WriteParts(const std::string& path, std::string_view utf8, const DateTime& date) {
  PartFiles files(path);
  return StreamUrlset(utf8, LineBreaks::kCrLf, date, EngineLimits(), files).ok && files.CommitAll();
}

bool WriteWhole(const std::string& path, std::string_view utf8, const DateTime& date) {
  const std::string bytes = BuildUrlsetDocument(utf8, date);
  return WriteBytesToFile(path, bytes);
}

}  // namespace

std::string SplitQuestion(std::size_t links, std::size_t whole_bytes, std::size_t parts,
                          const std::string& path) {
  const std::string question = PartsQuestion(links, whole_bytes, parts, path);
  // A name that is no UTF-8 is left out of the question.
  return TextOf(question, question.substr(0, question.rfind("（")) + "吗？");
}

void GenerateSitemapFile(const ReadContentFn& read_content, const AskOutputFileFn& ask_output_file,
                         const ShowMessageFn& show_message, const std::function<DateTime()>& now,
                         const AskQuestionFn& ask_split) {
  std::optional<std::string> path = ask_output_file();
  if (!path) return;
  std::optional<std::string> utf8 = ReadBoxUtf8(read_content);
  std::string message(GenerateFailureMessage);
  if (utf8) {
    const DateTime date = now();
    // Where nobody can be asked, the parts need not be counted either.
    PartCount count;
    const UrlsetResult parts =
        ask_split ? StreamUrlset(*utf8, LineBreaks::kCrLf, date, EngineLimits(), count)
                  : UrlsetResult{};
    const bool past_limits = parts.parts > 1 && !path->empty();
    if (past_limits && ask_split &&
        ask_split(SplitQuestion(parts.urls, WholeSize(*utf8, date), parts.parts, *path))) {
      if (WriteParts(*path, *utf8, date)) message = PartsWrittenMessage(parts.parts, *path);
    } else if (WriteWhole(*path, *utf8, date)) {
      message = GenerateSuccessMessage;
    }
  }
  path.reset();
  utf8.reset();
  show_message(message);
}

}  // namespace lirrevo
