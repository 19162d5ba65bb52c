#include "ui/window_keys.h"

#include <QTest>

#include "test_home.h"

using lirrevo::ui::ClassifyKey;
using lirrevo::ui::KeyAction;
using lirrevo::ui::KeyContext;
using lirrevo::ui::KeyPress;

Q_DECLARE_METATYPE(KeyAction)

namespace {

KeyPress Key(int key, Qt::KeyboardModifiers m = Qt::NoModifier) {
  return {key, m.testFlag(Qt::ShiftModifier), m.testFlag(Qt::ControlModifier),
          m.testFlag(Qt::AltModifier), m.testFlag(Qt::MetaModifier)};
}

}  // namespace

class WindowKeysTest : public QObject {
  Q_OBJECT

 private slots:
  void Classify_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("wants_enter");  // the focused control: the edit box
    QTest::addColumn<KeyAction>("action");
    const int none = Qt::NoModifier;
    const int shift = Qt::ShiftModifier;
    const int ctrl = Qt::ControlModifier;
    const int alt = Qt::AltModifier;
    auto row = [](const char* name) -> QTestData& { return QTest::newRow(name); };
    row("escape in the edit box") << int(Qt::Key_Escape) << none << true << KeyAction::kClose;
    row("escape on the button") << int(Qt::Key_Escape) << none << false << KeyAction::kClose;
    row("shift+escape") << int(Qt::Key_Escape) << shift << true << KeyAction::kPass;
    row("enter in the edit box") << int(Qt::Key_Return) << none << true << KeyAction::kPass;
    row("enter on the button") << int(Qt::Key_Return) << none << false << KeyAction::kSwallow;
    row("ctrl+enter passes") << int(Qt::Key_Return) << ctrl << false << KeyAction::kPass;
    row("tab") << int(Qt::Key_Tab) << none << true << KeyAction::kFocusNext;
    row("shift+tab as backtab") << int(Qt::Key_Backtab) << shift << true
                                << KeyAction::kFocusPrevious;
    row("ctrl+tab goes to the control") << int(Qt::Key_Tab) << ctrl << true << KeyAction::kPass;
    row("alt+f4") << int(Qt::Key_F4) << alt << false << KeyAction::kClose;
    row("f1") << int(Qt::Key_F1) << none << true << KeyAction::kSwallow;
  }
  void Classify() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, wants_enter);
    QFETCH(KeyAction, action);
    KeyContext context;
    context.focused_wants_enter = wants_enter;
    QCOMPARE(ClassifyKey(Key(key, Qt::KeyboardModifiers(modifiers)), context), action);
  }
};

LIRREVO_UI_TEST_MAIN(WindowKeysTest)
#include "window_keys_test.moc"
