// One control of the window: its widget and its numbered properties.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "ui/controls/control_template.h"

class QString;
class QWidget;

namespace lirrevo::ui {

enum class EventKind;
// Raises an event with the control as its source.
using RaiseEventFn = std::function<void(EventKind)>;

class Control {
 public:
  Control(const ControlTemplate& entry, QWidget* widget);
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  const std::string& Name() const { return entry_.name; }
  const ControlTemplate& Template() const { return entry_; }
  QWidget* Widget() const { return widget_; }

  // Gives the widget its name, rectangle, focus policy and enabled state from
  // the template, hidden.
  void ApplyLayout();

  // The property's current value; nullopt when the control has none of that
  // number. A text read from the widget sets *exact (when given) to whether
  // every character had a GBK code.
  std::optional<PropertyValue> GetProperty(int number, bool* exact = nullptr) const;
  // Stores the value and updates the widget; false, changing nothing, for an
  // unknown property, a value of another type or a text that is not GBK.
  bool SetProperty(int number, const PropertyValue& value);

  bool Showable() const { return TypeIsShown(entry_.type); }
  bool TakesFocus() const { return TypeTakesFocus(entry_.type); }
  // True when the control handles this key itself while it has the focus
  // (Qt::Key value, without modifiers).
  virtual bool WantsKey(int key) const;

 protected:
  // The type's own settings (numbers from 8). By default the value held since
  // the template or the last write.
  virtual std::optional<PropertyValue> GetSetting(int number, bool* exact) const;
  virtual bool SetSetting(int number, const PropertyValue& value);
  // Called after a stored setting changed, to show it.
  virtual void OnSettingChanged(int number);

  const std::vector<Setting>& Settings() const { return entry_.settings; }
  // Holds the value of a setting of the same type; false for any other.
  bool StoreSetting(int number, const PropertyValue& value);
  // Holds a text setting and gives it as widget text; nullopt, holding
  // nothing, for a value that is not a text or not GBK.
  std::optional<QString> StoreText(int number, const PropertyValue& value);
  // Makes the text setting `number` the caption that `show` puts on the
  // widget: the template's caption now (empty where it is not GBK), and each
  // caption written later, which changes no other part of the look.
  void ShowCaption(int number, std::function<void(const QString&)> show);

 private:
  std::optional<PropertyValue> GetCommon(int number) const;
  bool SetCommon(int number, const PropertyValue& value);
  bool SetGeometry(int number, const PropertyValue& value);

  ControlTemplate entry_;
  QWidget* widget_;  // owned by its parent widget
  std::string tag_;
  std::int32_t mouse_pointer_ = 0;
  int caption_number_ = -1;  // no caption
  std::function<void(const QString&)> show_caption_;
};

}  // namespace lirrevo::ui
