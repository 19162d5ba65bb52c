// The parts of a list too long for one file: their names beside the chosen
// one, and the question the window and the page ask before writing them.
#pragma once

#include <cstddef>
#include <string>

namespace lirrevo {

// The name of part `number` (from 1) beside output: output without a final
// ".gz" and then a final ".xml", then "-N.xml" (with ".gz" for gzip parts).
// "dl/dead.xml" gives "dl/dead-1.xml"; "dl/dead" gives "dl/dead-1.xml" too.
std::string PartFileName(const std::string& output, std::size_t number, bool gzip = false);

// The file name of a path: what follows its last '/'.
std::string BaseName(const std::string& path);

// The folder of a path: what precedes its last '/' ("/" for a file at the
// root, "." for a bare name).
std::string FolderName(const std::string& path);

// In UTF-8: how many links there are, the search engines' limits that the
// one document (of whole_bytes bytes) passes, and the parts' names (all up
// to three, else the first and the last), as a question with the answers
// "是" and "否": "共有 100,000 条链接，超过每个文件 50,000 条的限制，搜索引擎会
// 拒收。\n分成 2 个文件（dead-1.xml、dead-2.xml）吗？"
std::string PartsQuestion(std::size_t links, std::size_t whole_bytes, std::size_t parts,
                          const std::string& output);

}  // namespace lirrevo
