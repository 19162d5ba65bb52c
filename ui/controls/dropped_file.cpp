#include "ui/controls/dropped_file.h"

#include <QFile>
#include <string_view>

#include "core/document/list_input.h"

namespace lirrevo::ui {

std::optional<QString> DroppedFileText(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) return std::nullopt;
  std::string_view list(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  const ListEncoding encoding = TakeByteOrderMark(list, ListEncoding::kUtf8);
  DecodedList decoded = DecodeList(list, encoding);
  if (!decoded.Ok() && encoding == ListEncoding::kUtf8) {
    decoded = DecodeList(list, ListEncoding::kGb18030);
  }
  if (!decoded.Ok()) return std::nullopt;
  const std::string_view utf8 = decoded.Utf8();
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

}  // namespace lirrevo::ui
