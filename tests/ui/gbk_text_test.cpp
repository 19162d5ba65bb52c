#include "ui/gbk_text.h"

#include <QTest>
#include <string>

#include "core/output_encoding.h"

using lirrevo::ui::GbkText;
using lirrevo::ui::GbkToQString;
using lirrevo::ui::QStringToGb18030;
using lirrevo::ui::QStringToGbk;

Q_DECLARE_METATYPE(std::string)

class GbkTextTest : public QObject {
  Q_OBJECT

 private slots:
  void ToGbk_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<std::string>("bytes");
    QTest::addColumn<bool>("exact");
    QTest::newRow("empty") << QString() << std::string() << true;
    QTest::newRow("ascii") << QStringLiteral("http://a.b/c?d=1") << std::string("http://a.b/c?d=1")
                           << true;
    QTest::newRow("paragraph separator")
        << QStringLiteral("a\u2029b") << std::string("a\r\nb") << true;
    QTest::newRow("line separator") << QStringLiteral("a\u2028b") << std::string("a\r\nb") << true;
    QTest::newRow("cr lf is one break")
        << QStringLiteral("a\r\nb") << std::string("a\r\nb") << true;
    QTest::newRow("breaks inside blocks of eight")
        << QStringLiteral("abcdefg\nhijklmn\r\nopqrstu\u2029vw")
        << std::string("abcdefg\r\nhijklmn\r\nopqrstu\r\nvw") << true;
    // "死链" in GBK; glibc's GBK gives the euro sign one byte.
    QTest::newRow("chinese") << QStringLiteral("死链") << std::string("\xCB\xC0\xC1\xB4") << true;
    QTest::newRow("euro") << QStringLiteral("€") << std::string("\x80") << true;
    QTest::newRow("thai is outside gbk")
        << QStringLiteral("x\u0E01y") << std::string("x?y") << false;
    QTest::newRow("emoji is one character")
        << QStringLiteral("a\U0001F600b") << std::string("a?b") << false;
    QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << std::string("?") << false;
  }
  void ToGbk() {
    QFETCH(QString, text);
    QFETCH(std::string, bytes);
    QFETCH(bool, exact);
    const GbkText gbk = QStringToGbk(text);
    QCOMPARE(gbk.bytes, bytes);
    QCOMPARE(gbk.exact, exact);
  }

  // The per-character path must give exactly what one conversion of the
  // whole text gives, for every character GBK has.
  void ToGbkMatchesWholeConversion() {
    QString text;
    for (char16_t c = 0x4E00; c <= 0x9FA5; ++c) {
      text += QChar(c);
      if (c % 61 == 0) text += QStringLiteral("link/");
    }
    const std::optional<std::string> whole = lirrevo::Utf8ToGbk(text.toStdString());
    QVERIFY(whole.has_value());
    const GbkText gbk = QStringToGbk(text);
    QVERIFY(gbk.exact);
    QVERIFY(gbk.bytes == *whole);
    // A second read is served from the kept codes and must not differ.
    QVERIFY(QStringToGbk(text).bytes == *whole);
  }

  void FromGbk_data() {
    QTest::addColumn<std::string>("bytes");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << std::string() << true << QString();
    QTest::newRow("cr lf becomes lf")
        << std::string("a\r\nb\r\n") << true << QStringLiteral("a\nb\n");
    QTest::newRow("chinese") << std::string("\xCB\xC0\xC1\xB4") << true << QStringLiteral("死链");
    QTest::newRow("cut character") << std::string("a\xCB") << false << QString();
    QTest::newRow("invalid pair") << std::string("\xFF\xFF") << false << QString();
  }
  void FromGbk() {
    QFETCH(std::string, bytes);
    QFETCH(bool, valid);
    QFETCH(QString, text);
    const std::optional<QString> converted = GbkToQString(bytes);
    QCOMPARE(converted.has_value(), valid);
    if (valid) QCOMPARE(*converted, text);
  }

  // The box's text in GB18030: GBK's bytes where GBK has a code, four bytes
  // for most other characters; only what has no code at all is a '?'.
  void ToGb18030_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<std::string>("bytes");
    QTest::addColumn<bool>("exact");
    QTest::newRow("breaks") << QStringLiteral("a\rb\nc\r\nd\u2028")
                            << std::string("a\r\nb\r\nc\r\nd\r\n") << true;
    QTest::newRow("chinese as in gbk")
        << QStringLiteral("死链") << std::string("\xCB\xC0\xC1\xB4") << true;
    QTest::newRow("euro") << QStringLiteral("€") << std::string("\xA2\xE3") << true;
    QTest::newRow("sharp s and korean")
        << QStringLiteral("ß한") << std::string("\x81\x30\x89\x38\x83\x36\x84\x33") << true;
    QTest::newRow("emoji") << QStringLiteral("a\U0001F600") << std::string("a\x94\x39\xFC\x36")
                           << true;
    QTest::newRow("first and last supplementary")
        << QStringLiteral("\U00010000\U0010FFFF") << std::string("\x90\x30\x81\x30\xE3\x32\x9A\x35")
        << true;
    // One of the few characters above the first plane with a two-byte code.
    QTest::newRow("two-byte supplementary")
        << QStringLiteral("\U000215D7") << std::string("\xFE\x6C") << true;
    QTest::newRow("private use without a code")
        << QString(QChar(0xE78D)) << std::string("?") << false;
    QTest::newRow("lone surrogate") << QString(QChar(0xDBFF)) + "x" << std::string("?x") << false;
  }
  void ToGb18030() {
    QFETCH(QString, text);
    QFETCH(std::string, bytes);
    QFETCH(bool, exact);
    const GbkText gb18030 = QStringToGb18030(text);
    QCOMPARE(gb18030.bytes, bytes);
    QCOMPARE(gb18030.exact, exact);
  }

  // Character by character, with four bytes for many of them, the box's text
  // is what one conversion of the whole text gives.
  void ToGb18030MatchesWholeConversion() {
    QString text;
    for (char32_t c = 0x80; c < 0x30000; c += 7) {
      if ((c >= 0xD800 && c < 0xE000) || (c >= 0xE000 && c <= 0xF8FF)) continue;
      text += QString::fromUcs4(&c, 1);
      if (c % 97 == 0) text += QStringLiteral("link/");
    }
    const std::optional<std::string> whole = lirrevo::Utf8ToText(text.toStdString());
    QVERIFY(whole.has_value());
    const GbkText gb18030 = QStringToGb18030(text);
    QVERIFY(gb18030.exact);
    QVERIFY(gb18030.bytes == *whole);
  }

  void FromGb18030() {
    QCOMPARE(GbkToQString("\x94\x39\xFC\x36\r\n\x80"), QStringLiteral("\U0001F600\n€"));
  }
};

QTEST_MAIN(GbkTextTest)
#include "gbk_text_test.moc"
