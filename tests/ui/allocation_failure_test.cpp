#include "ui/allocation_failure.h"

#include <QTest>
#include <functional>
#include <new>

using Allocate = std::function<void*(std::size_t)>;
Q_DECLARE_METATYPE(Allocate)

namespace {

constexpr std::size_t kHuge = std::size_t{1} << 46;  // 64 TiB

void* volatile kept = nullptr;

}  // namespace

class AllocationFailureTest : public QObject {
  Q_OBJECT

 private slots:
  // Every form of new notes the size it could not get; the plain forms throw,
  // the nothrow forms give null.
  void EveryFormNotesTheSize_data() {
    QTest::addColumn<Allocate>("allocate");
    QTest::addColumn<bool>("throws");
    QTest::newRow("new") << Allocate([](std::size_t n) { return ::operator new(n); }) << true;
    QTest::newRow("new[]") << Allocate([](std::size_t n) { return ::operator new[](n); }) << true;
    QTest::newRow("nothrow new") << Allocate([](std::size_t n) {
      return ::operator new(n, std::nothrow);
    }) << false;
    QTest::newRow("nothrow new[]")
        << Allocate([](std::size_t n) { return ::operator new[](n, std::nothrow); }) << false;
  }
  void EveryFormNotesTheSize() {
    QFETCH(Allocate, allocate);
    QFETCH(bool, throws);
    lirrevo::ui::ResetFailedAllocationSize();
    bool thrown = false;
    try {
      kept = allocate(kHuge);
      QCOMPARE(kept, nullptr);
    } catch (const std::bad_alloc&) {
      thrown = true;
    }
    QCOMPARE(thrown, throws);
    QCOMPARE(lirrevo::ui::FailedAllocationSize(), kHuge);
  }

  // Blocks of every form go back through the matching delete. Under a
  // sanitizer, whose runtime brings forms of its own, a form left out of the
  // replacement shows here as a mismatch between new and free.
  void BlocksComeBack() {
    lirrevo::ui::ResetFailedAllocationSize();
    delete new int(1);
    delete[] new int[3];
    void* block = ::operator new(16, std::nothrow);
    QVERIFY(block != nullptr);
    ::operator delete(block, std::nothrow);
    block = ::operator new[](16, std::nothrow);
    QVERIFY(block != nullptr);
    ::operator delete[](block, std::nothrow);
    QCOMPARE(lirrevo::ui::FailedAllocationSize(), std::size_t{0});
  }
};

QTEST_APPLESS_MAIN(AllocationFailureTest)
#include "allocation_failure_test.moc"
