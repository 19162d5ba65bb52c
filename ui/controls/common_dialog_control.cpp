#include "ui/controls/common_dialog_control.h"

#include <QFile>
#include <QWidget>
#include <algorithm>
#include <climits>

#include "ui/controls/property_numbers.h"
#include "ui/dialogs/dialog_filter.h"
#include "ui/dialogs/file_dialog.h"
#include "ui/widget_text.h"

namespace lirrevo::ui {
namespace {

constexpr std::int32_t kOpenKind = 0;
constexpr std::int32_t kSaveKind = 1;
constexpr std::int32_t kLastKind = 3;

QString Text(const std::string& text) { return TextToQString(text).value_or(QString()); }

PropertyValue Clamped(int number, const PropertyValue& value) {
  const auto* integer = std::get_if<std::int32_t>(&value);
  if (integer == nullptr) return value;
  if (number == common_dialog::Kind) return std::clamp(*integer, kOpenKind, kLastKind);
  if (number == common_dialog::InitialFilterIndex) return std::max(*integer, 0);
  return value;
}

}  // namespace

CommonDialogControl::CommonDialogControl(const ControlTemplate& entry, QWidget* parent)
    : Control(entry, new QWidget(parent)),
      file_name_(Text(TextSetting(entry.settings, common_dialog::FileName))) {
  // The component has a place in the template but never a presence on screen.
  Widget()->setAttribute(Qt::WA_TransparentForMouseEvents);
}

CommonDialogControl::~CommonDialogControl() = default;

bool CommonDialogControl::ShowDialog() {
  const std::int32_t kind = IntSetting(Settings(), common_dialog::Kind, kOpenKind);
  if (kind != kOpenKind && kind != kSaveKind) return false;
  std::optional<QString> chosen = RunFileDialog(Request(), Widget()->window());
  if (!chosen) return false;
  file_name_ = std::move(*chosen);
  return true;
}

std::string CommonDialogControl::FileNameBytes() const {
  return QFile::encodeName(file_name_).toStdString();
}

std::optional<PropertyValue> CommonDialogControl::GetSetting(int number, bool* exact) const {
  if (number != common_dialog::FileName) return Control::GetSetting(number, exact);
  WidgetText text = QStringToText(file_name_);
  if (exact != nullptr) *exact = text.exact;
  return std::move(text.bytes);
}

bool CommonDialogControl::SetSetting(int number, const PropertyValue& value) {
  if (!std::holds_alternative<std::string>(value)) {
    return Control::SetSetting(number, Clamped(number, value));
  }
  const std::optional<QString> text = StoreText(number, value);
  if (!text) return false;
  if (number == common_dialog::FileName) file_name_ = *text;
  return true;
}

FileDialogRequest CommonDialogControl::Request() const {
  using namespace common_dialog;
  const auto& settings = Settings();
  FileDialogRequest request;
  request.save = IntSetting(settings, Kind, kOpenKind) == kSaveKind;
  request.create_prompt = BoolSetting(settings, CreatePrompt, false);
  request.file_must_exist = BoolSetting(settings, FileMustExist, true);
  request.overwrite_prompt = BoolSetting(settings, OverwritePrompt, true);
  request.path_must_exist = BoolSetting(settings, PathMustExist, true);
  const std::string list = BuildFilterList(TextSetting(settings, Filter));
  for (const FilterPair& pair : FilterPairs(list)) {
    request.name_filters << NameFilter(Text(pair.label), Text(pair.patterns));
  }
  const std::int64_t selected =
      SelectedFilterIndex(!list.empty(), IntSetting(settings, InitialFilterIndex, 0));
  request.selected_filter = static_cast<int>(std::clamp<std::int64_t>(selected - 1, 0, INT_MAX));
  request.title = Text(TextSetting(settings, Title));
  request.folder = Text(TextSetting(settings, InitialFolder));
  request.default_extension = Text(TextSetting(settings, DefaultExtension));
  request.file_name = file_name_;
  return request;
}

}  // namespace lirrevo::ui
