#include "ui/controls/edit_box_control.h"

#include <QApplication>
#include <QPalette>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include "core/generate_command.h"
#include "ui/controls/link_count.h"
#include "ui/controls/link_edit.h"
#include "ui/controls/property_numbers.h"
#include "ui/controls/setting_color.h"
#include "ui/dialogs/message_box.h"
#include "ui/event_table.h"
#include "ui/widget_text.h"

namespace lirrevo::ui {
namespace {

constexpr int kReadOnlyInput = 1;

Qt::ScrollBarPolicy ScrollBarPolicy(bool shown) {
  return shown ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
}

}  // namespace

EditBoxControl::EditBoxControl(const ControlTemplate& entry, QWidget* parent, RaiseEventFn raise)
    : Control(entry, new LinkEdit(parent)),
      edit_(static_cast<LinkEdit*>(Widget())),
      count_(new LinkCount(*edit_->document())),
      raise_(std::move(raise)) {
  edit_->setLineWrapMode(QPlainTextEdit::NoWrap);
  edit_->setTabChangesFocus(true);
  ApplyLook();
  // The template's content is there from the start: no change, no event.
  edit_->setPlainText(
      TextToQString(TextSetting(Settings(), edit_box::Content)).value_or(QString()));
  edit_->SetChangeHandler([this] { raise_(EventKind::kContentChanged); });
  // The box says so once the drop is over: the dragging program waits for it.
  edit_->SetDropFailureHandler(
      [] { QTimer::singleShot(0, [] { ShowMessage(std::string(GenerateFailureMessage)); }); });
}

EditBoxControl::~EditBoxControl() { edit_->SetChangeHandler({}); }

bool EditBoxControl::WantsKey(int key) const {
  const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
  return enter && BoolSetting(Settings(), edit_box::MultiLine, true) && !edit_->isReadOnly();
}

std::int32_t EditBoxControl::LinkCountNow() const { return count_->Count(); }

std::optional<std::string> EditBoxControl::ContentUtf8() const {
  WidgetText text = QStringToUtf8(edit_->document()->toRawText());
  if (!text.exact) return std::nullopt;
  return std::move(text.bytes);
}

std::optional<PropertyValue> EditBoxControl::GetSetting(int number, bool* exact) const {
  WidgetText text;
  if (number == edit_box::Content) {
    text = QStringToText(edit_->document()->toRawText());
  } else if (number == edit_box::SelText) {
    text = QStringToText(edit_->textCursor().selectedText());
  } else {
    return Control::GetSetting(number, exact);
  }
  if (exact != nullptr) *exact = text.exact;
  return std::move(text.bytes);
}

bool EditBoxControl::SetSetting(int number, const PropertyValue& value) {
  if (number != edit_box::Content && number != edit_box::SelText) {
    return Control::SetSetting(number, value);
  }
  const auto* text = std::get_if<std::string>(&value);
  const std::optional<QString> widget_text = text ? TextToQString(*text) : std::nullopt;
  if (!widget_text) return false;
  if (number == edit_box::Content) {
    edit_->ReplaceText(*widget_text);
  } else {
    edit_->insertPlainText(*widget_text);
  }
  return true;
}

void EditBoxControl::OnSettingChanged(int) { ApplyLook(); }

void EditBoxControl::ApplyLook() {
  const auto& settings = Settings();
  edit_->setFrameStyle(IntSetting(settings, edit_box::Border, 1) != 0
                           ? QFrame::StyledPanel | QFrame::Sunken
                           : QFrame::NoFrame);
  const std::int32_t bars = IntSetting(settings, edit_box::ScrollBars, 3);
  edit_->setHorizontalScrollBarPolicy(ScrollBarPolicy((bars & 1) != 0));
  edit_->setVerticalScrollBarPolicy(ScrollBarPolicy((bars & 2) != 0));
  edit_->setReadOnly(IntSetting(settings, edit_box::InputMode, 0) == kReadOnlyInput);

  QPalette palette = QApplication::palette(edit_);
  const QColor face = palette.color(QPalette::Window);
  const QColor text = SettingColor(IntSetting(settings, edit_box::TextColor, 0), face);
  const QColor base = SettingColor(IntSetting(settings, edit_box::BackColor, 0xFFFFFF), face);
  palette.setColor(QPalette::Text, text);
  palette.setColor(QPalette::Base, base);
  if (BoolSetting(settings, edit_box::HideSelection, true)) {
    // Without the focus the selection looks like the rest of the text.
    palette.setColor(QPalette::Inactive, QPalette::Highlight, base);
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText, text);
  }
  edit_->setPalette(palette);
}

}  // namespace lirrevo::ui
