// The file-dialog component (type CommonDlg): it holds the dialog's settings,
// is never shown, and runs the modal open or save dialog on request.
#pragma once

#include <QString>
#include <optional>
#include <string>

#include "ui/controls/control.h"

namespace lirrevo::ui {

struct FileDialogRequest;

class CommonDialogControl : public Control {
 public:
  CommonDialogControl(const ControlTemplate& entry, QWidget* parent);
  ~CommonDialogControl() override;

  // Runs the dialog of the component's Kind (0 open, 1 save; the font and
  // help kinds are not offered and give false) over the component's window.
  // True when the user confirmed a file: FileName then holds its full path.
  // After a cancel FileName keeps its value.
  bool ShowDialog();

  // FileName as the file system names it: the bytes of the file system's own
  // encoding, not the system's text, so that any path the dialog gave can be
  // opened.
  std::string FileNameBytes() const;

 protected:
  // FileName is held as the dialog gave it and read as the system's text; only
  // a path with a character that has no code there reads with `exact` false.
  std::optional<PropertyValue> GetSetting(int number, bool* exact) const override;
  // Kind is clamped to 0..3 and InitialFilterIndex to 0 and above; a text
  // whose bytes are not valid is refused.
  bool SetSetting(int number, const PropertyValue& value) override;

 private:
  FileDialogRequest Request() const;

  QString file_name_;
};

}  // namespace lirrevo::ui
