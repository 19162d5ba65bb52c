// Writing a whole file so that a failed write never destroys the old one.
#pragma once

#include <string>
#include <string_view>

namespace lirrevo {

// Replaces the file at path with exactly bytes, atomically: a temporary file
// beside the target is written, flushed and renamed over it, so on failure an
// existing file is left as it was. False for an empty path, a missing folder,
// a target that is a folder or not a regular file, a file without write
// permission, or any write error; errno then tells the cause. Symbolic links
// are followed; a replaced file keeps its permission bits.
bool WriteBytesToFile(const std::string& path, std::string_view bytes);

}  // namespace lirrevo
