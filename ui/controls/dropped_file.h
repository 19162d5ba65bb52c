// A list file dropped on the edit box, read as lirrevo-cli reads a list.
#pragma once

#include <QString>
#include <optional>

namespace lirrevo::ui {

// The file's text, its line breaks as they are: a byte-order mark picks
// UTF-16 of its order (a UTF-8 mark is dropped); without one the bytes are
// UTF-8 or, where they are not, GB18030, of which GBK is a part. nullopt
// when the file cannot be read, or a line of it cannot be decoded or holds
// a character the document cannot (the lines lirrevo-cli refuses).
std::optional<QString> DroppedFileText(const QString& path);

}  // namespace lirrevo::ui
