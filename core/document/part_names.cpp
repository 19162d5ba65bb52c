#include "core/document/part_names.h"

#include "core/document/link_list.h"
#include "core/document/sitemap_document.h"

namespace lirrevo {

std::string PartFileName(const std::string& output, std::size_t number, bool gzip) {
  std::string stem = output;
  if (stem.ends_with(".gz")) stem.resize(stem.size() - 3);
  if (stem.ends_with(".xml")) stem.resize(stem.size() - 4);
  return stem + "-" + std::to_string(number) + (gzip ? ".xml.gz" : ".xml");
}

std::string BaseName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

std::string FolderName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string PartsQuestion(std::size_t links, std::size_t whole_bytes, std::size_t parts,
                          const std::string& output) {
  const bool past_urls = links > kEngineMaxUrls;
  const bool past_bytes = whole_bytes > kEngineMaxBytes;
  std::string text = "共有 " + GroupThousands(links) + " 条链接";
  if (past_bytes) text += "，共 " + GroupThousands(whole_bytes) + " 字节";
  text += "，超过每个文件 ";
  if (past_urls) text += GroupThousands(kEngineMaxUrls) + " 条";
  if (past_urls && past_bytes) text += "和 ";
  if (past_bytes) text += GroupThousands(kEngineMaxBytes) + " 字节";
  text += "的限制，搜索引擎会拒收。\n分成 " + std::to_string(parts) + " 个文件（";
  const auto name = [&output](std::size_t n) { return BaseName(PartFileName(output, n)); };
  if (parts > 3) {
    text += name(1) + " 至 " + name(parts);
  } else {
    for (std::size_t n = 1; n <= parts; ++n) text += (n > 1 ? "、" : "") + name(n);
  }
  return text + "）吗？";
}

}  // namespace lirrevo
