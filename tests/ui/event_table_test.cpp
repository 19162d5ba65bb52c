#include "ui/event_table.h"

#include <QTest>
#include <new>

#include "ui/allocation_failure.h"

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
    EventTable table({{"编辑框1", EventKind::kContentChanged, [&] { ++changed; }},
                      {"按钮1", EventKind::kClicked, [&] { ++clicked; }},
                      {"", EventKind::kCreated, {}}},
                     Record(fatal));
    table.RaiseEvent("编辑框1", EventKind::kContentChanged);
    table.RaiseEvent("编辑框1", EventKind::kContentChanged);
    table.RaiseEvent("编辑框1", EventKind::kClicked);    // another event of the box
    table.RaiseEvent("标签_提示", EventKind::kClicked);  // another source
    table.RaiseEvent("", EventKind::kCreated);           // bound to nothing
    table.RaiseEvent("", EventKind::kMoved);
    QCOMPARE(changed, 2);
    QCOMPARE(clicked, 0);
    table.RaiseEvent("按钮1", EventKind::kClicked);
    QCOMPARE(clicked, 1);
    table.Suspend();
    table.RaiseEvent("按钮1", EventKind::kClicked);
    QCOMPARE(clicked, 1);
    QCOMPARE(fatal.calls, 0);
  }

  void ExhaustedMemoryIsFatalWithTheSize() {
    Fatal fatal;
    constexpr std::size_t kHuge = std::size_t{1} << 46;  // 64 TiB
    EventTable table({{"按钮1", EventKind::kClicked, [] { kept = ::operator new(kHuge); }}},
                     Record(fatal));
    table.RaiseEvent("按钮1", EventKind::kClicked);
    QCOMPARE(fatal.calls, 1);
    QCOMPARE(fatal.number, 0);
    QCOMPARE(fatal.message, lirrevo::ui::AllocationFailureMessage(kHuge));
    QVERIFY(table.Suspended());
  }

  void BadAllocWithoutAKnownSize() {
    Fatal fatal;
    EventTable table({{"按钮1", EventKind::kClicked, [] { throw std::bad_alloc(); }}},
                     Record(fatal));
    table.RaiseEvent("按钮1", EventKind::kClicked);
    QCOMPARE(fatal.calls, 1);
    QCOMPARE(fatal.message, lirrevo::ui::AllocationFailureMessage(0));
  }
};

QTEST_APPLESS_MAIN(EventTableTest)
#include "event_table_test.moc"
