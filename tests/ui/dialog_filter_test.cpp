#include "ui/dialogs/dialog_filter.h"

#include <QTest>
#include <string>
#include <vector>

using lirrevo::ui::BuildFilterList;
using lirrevo::ui::FilterPair;
using lirrevo::ui::FilterPairs;
using lirrevo::ui::SelectedFilterIndex;

using Pairs = std::vector<FilterPair>;
Q_DECLARE_METATYPE(std::string)
Q_DECLARE_METATYPE(Pairs)

namespace {

// "XML文件（*.xml）" in GBK.
const std::string kXmlLabel = "XML\xCE\xC4\xBC\xFE\xA3\xA8*.xml\xA3\xA9";
// "亅" in GBK: its second byte is 0x7C, a bar.
const std::string kBarTrail = "\x81\x7C";

std::string Nul(const std::string& text) {
  std::string out = text;
  for (char& c : out) {
    if (c == '#') c = '\0';
  }
  return out;
}

}  // namespace

class DialogFilterTest : public QObject {
  Q_OBJECT

 private slots:
  // '#' in `list` stands for a NUL byte.
  void BuildsTheList_data() {
    QTest::addColumn<std::string>("filter");
    QTest::addColumn<std::string>("list");
    QTest::addColumn<Pairs>("pairs");
    QTest::newRow("the window's filter")
        << kXmlLabel + "|*.xml" << kXmlLabel + Nul("#*.xml##") << Pairs{{kXmlLabel, "*.xml"}};
    QTest::newRow("two pairs") << std::string("Xml|*.xml|All|*.*") << Nul("Xml#*.xml#All#*.*##")
                               << Pairs{{"Xml", "*.xml"}, {"All", "*.*"}};
    QTest::newRow("|| already present")
        << std::string("Xml|*.xml||") << Nul("Xml#*.xml##") << Pairs{{"Xml", "*.xml"}};
    QTest::newRow("one bar at the end")
        << std::string("Xml|*.xml|") << Nul("Xml#*.xml###") << Pairs{{"Xml", "*.xml"}};
    QTest::newRow("trailing white space dropped before the test")
        << std::string("Xml|*.xml||  \t\r\n") << Nul("Xml#*.xml##") << Pairs{{"Xml", "*.xml"}};
    QTest::newRow("trailing spaces")
        << std::string("Xml|*.xml   ") << Nul("Xml#*.xml##") << Pairs{{"Xml", "*.xml"}};
    QTest::newRow("inner spaces kept")
        << std::string(" Xml files | *.xml") << Nul(" Xml files # *.xml##")
        << Pairs{{" Xml files ", " *.xml"}};
    QTest::newRow("empty") << std::string() << std::string() << Pairs{};
    QTest::newRow("only white space") << std::string(" \t\r\n") << std::string() << Pairs{};
    QTest::newRow("bar as a second byte stays")
        << "A" + kBarTrail + "|*.a"
        << "A" + kBarTrail + Nul("#*.a##") << Pairs{{"A" + kBarTrail, "*.a"}};
    QTest::newRow("bar as a second byte is not a closing bar")
        << "A|*.a|" + kBarTrail + "|"
        << "A" + Nul("#*.a#") + kBarTrail + Nul("###") << Pairs{{"A", "*.a"}};
    QTest::newRow("label without a pattern dropped")
        << std::string("Xml|*.xml|All") << Nul("Xml#*.xml#All##") << Pairs{{"Xml", "*.xml"}};
    QTest::newRow("an empty entry closes the list")
        << std::string("Xml|*.xml||All|*.*") << Nul("Xml#*.xml##All#*.*##")
        << Pairs{{"Xml", "*.xml"}};
    QTest::newRow("empty first label: no pairs")
        << std::string("|*.xml") << Nul("#*.xml##") << Pairs{};
  }
  void BuildsTheList() {
    QFETCH(std::string, filter);
    QFETCH(std::string, list);
    QFETCH(Pairs, pairs);
    const std::string built = BuildFilterList(filter);
    QCOMPARE(built, list);
    QVERIFY(FilterPairs(built) == pairs);
  }

  void SelectsThePair_data() {
    QTest::addColumn<bool>("has_list");
    QTest::addColumn<int>("setting");
    QTest::addColumn<qint64>("index");
    QTest::newRow("first pair") << true << 0 << qint64{1};
    QTest::newRow("second pair") << true << 1 << qint64{2};
    QTest::newRow("negative selects the first") << true << -7 << qint64{1};
    QTest::newRow("no list: 0") << false << 0 << qint64{0};
    QTest::newRow("no list, any setting: 0") << false << 3 << qint64{0};
    QTest::newRow("largest setting") << true << INT32_MAX << qint64{INT32_MAX} + 1;
  }
  void SelectsThePair() {
    QFETCH(bool, has_list);
    QFETCH(int, setting);
    QFETCH(qint64, index);
    QCOMPARE(SelectedFilterIndex(has_list, setting), index);
  }
};

QTEST_APPLESS_MAIN(DialogFilterTest)
#include "dialog_filter_test.moc"
