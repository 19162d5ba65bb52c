// The multi-line edit box (type EditBox) into which the links are pasted.
#pragma once

#include "ui/controls/control.h"

namespace lirrevo::ui {

class LinkCount;
class LinkEdit;

class EditBoxControl : public Control {
 public:
  EditBoxControl(const ControlTemplate& entry, QWidget* parent, RaiseEventFn raise);
  ~EditBoxControl() override;

  // Enter starts a new line unless the box is single-line or read-only.
  bool WantsKey(int key) const override;

  // The number of links that splitting Content gives, kept as the text
  // changes: reading it costs nothing, however large the box.
  std::int32_t LinkCountNow() const;

  // Content as UTF-8 (QStringToUtf8), for the document; nullopt when the
  // box holds what UTF-8 has no form for.
  std::optional<std::string> ContentUtf8() const;

 protected:
  // Content (read from the live widget as the system's text, CR LF line
  // breaks) and SelText are the widget's own; the others are held.
  std::optional<PropertyValue> GetSetting(int number, bool* exact) const override;
  // Writing Content replaces the text and raises exactly one content-changed
  // event; writing SelText replaces the selection.
  bool SetSetting(int number, const PropertyValue& value) override;
  void OnSettingChanged(int number) override;

 private:
  void ApplyLook();

  LinkEdit* edit_;    // owned by its parent widget, which outlives this object
  LinkCount* count_;  // owned by the edit's document
  RaiseEventFn raise_;
};

}  // namespace lirrevo::ui
