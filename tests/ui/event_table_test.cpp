#include "ui/event_table.h"

#include <QTest>
#include <new>

#include "ui/allocation_failure.h"
#include "ui/window_template.h"

using lirrevo::ui::ButtonName;
using lirrevo::ui::EditBoxName;
using lirrevo::ui::LabelName;

using lirrevo::ui::EventKind;
using lirrevo::ui::EventTable;

namespace {

struct Fatal {
  int calls = 0;
  std::string message;
  int number = -1;
};

lirrevo::ui::FatalErrorFn Record(Fatal& fatal) {
  return [&fatal](std::string_view message, int number) {
    ++fatal.calls;
    fatal.message = message;
    fatal.number = number;
  };
}

void* volatile kept = nullptr;

}  // namespace

class EventTableTest : public QObject {
  Q_OBJECT

 private slots:
  void RunsOnlyTheBoundHandler() {
    int changed = 0, clicked = 0;
    Fatal fatal;
    EventTable table({{std::string(EditBoxName), EventKind::kContentChanged, [&] { ++changed; }},
                      {std::string(ButtonName), EventKind::kClicked, [&] { ++clicked; }},
                      {"", EventKind::kCreated, {}}},
                     Record(fatal));
    table.RaiseEvent(EditBoxName, EventKind::kContentChanged);
    table.RaiseEvent(EditBoxName, EventKind::kContentChanged);
    table.RaiseEvent(EditBoxName, EventKind::kClicked);  // another event of the box
    table.RaiseEvent(LabelName, EventKind::kClicked);    // another source
    table.RaiseEvent("", EventKind::kCreated);           // bound to nothing
    table.RaiseEvent("", EventKind::kMoved);
    QCOMPARE(changed, 2);
    QCOMPARE(clicked, 0);
    table.RaiseEvent(ButtonName, EventKind::kClicked);
    QCOMPARE(clicked, 1);
    table.Suspend();
    table.RaiseEvent(ButtonName, EventKind::kClicked);
    QCOMPARE(clicked, 1);
    QCOMPARE(fatal.calls, 0);
  }

  void ExhaustedMemoryIsFatalWithTheSize() {
    Fatal fatal;
    constexpr std::size_t kHuge = std::size_t{1} << 46;  // 64 TiB
    EventTable table(
        {{std::string(ButtonName), EventKind::kClicked, [] { kept = ::operator new(kHuge); }}},
        Record(fatal));
    table.RaiseEvent(ButtonName, EventKind::kClicked);
    QCOMPARE(fatal.calls, 1);
    QCOMPARE(fatal.number, 0);
    QCOMPARE(fatal.message, lirrevo::ui::AllocationFailureMessage(kHuge));
    QVERIFY(table.Suspended());
  }

  void BadAllocWithoutAKnownSize() {
    Fatal fatal;
    EventTable table(
        {{std::string(ButtonName), EventKind::kClicked, [] { throw std::bad_alloc(); }}},
        Record(fatal));
    table.RaiseEvent(ButtonName, EventKind::kClicked);
    QCOMPARE(fatal.calls, 1);
    QCOMPARE(fatal.message, lirrevo::ui::AllocationFailureMessage(0));
  }
};

QTEST_APPLESS_MAIN(EventTableTest)
#include "event_table_test.moc"
