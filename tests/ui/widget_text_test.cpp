#include "ui/widget_text.h"

#include <QTest>
#include <string>

#include "core/document/output_encoding.h"
#include "test_home.h"

using lirrevo::ui::QStringToText;
using lirrevo::ui::TextToQString;
using lirrevo::ui::WidgetText;

Q_DECLARE_METATYPE(std::string)

class WidgetTextTest : public QObject {
  Q_OBJECT

 private slots:
  void FromText_data() {
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
  void FromText() {
    QFETCH(std::string, bytes);
    QFETCH(bool, valid);
    QFETCH(QString, text);
    const std::optional<QString> converted = TextToQString(bytes);
    QCOMPARE(converted.has_value(), valid);
    if (valid) QCOMPARE(*converted, text);
  }

  // Widget text as the system's text: GBK's bytes where GBK has a code, four
  // bytes for most other characters; only what has no code at all is a '?'.
  void ToText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<std::string>("bytes");
    QTest::addColumn<bool>("exact");
    QTest::newRow("empty") << QString() << std::string() << true;
    QTest::newRow("ascii") << QStringLiteral("http://a.b/c?d=1") << std::string("http://a.b/c?d=1")
                           << true;
    QTest::newRow("breaks") << QStringLiteral("a\rb\nc\r\nd\u2028")
                            << std::string("a\r\nb\r\nc\r\nd\r\n") << true;
    QTest::newRow("paragraph separator")
        << QStringLiteral("a\u2029b") << std::string("a\r\nb") << true;
    QTest::newRow("breaks inside blocks of eight")
        << QStringLiteral("abcdefg\nhijklmn\r\nopqrstu\u2029vw")
        << std::string("abcdefg\r\nhijklmn\r\nopqrstu\r\nvw") << true;
    QTest::newRow("thai") << QStringLiteral("x\u0E01y") << std::string("x\x81\x32\xCE\x39y")
                          << true;
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
  void ToText() {
    QFETCH(QString, text);
    QFETCH(std::string, bytes);
    QFETCH(bool, exact);
    const WidgetText converted = QStringToText(text);
    QCOMPARE(converted.bytes, bytes);
    QCOMPARE(converted.exact, exact);
  }

  // Character by character, with four bytes for many of them, the box's text
  // is what one conversion of the whole text gives.
  void ToTextMatchesWholeConversion() {
    QString text;
    for (char32_t c = 0x80; c < 0x30000; c += 7) {
      if ((c >= 0xD800 && c < 0xE000) || (c >= 0xE000 && c <= 0xF8FF)) continue;
      text += QString::fromUcs4(&c, 1);
      if (c % 97 == 0) text += QStringLiteral("link/");
    }
    const std::optional<std::string> whole = lirrevo::Utf8ToText(text.toStdString());
    QVERIFY(whole.has_value());
    const WidgetText converted = QStringToText(text);
    QVERIFY(converted.exact);
    QVERIFY(converted.bytes == *whole);
    // A second read is served from the kept codes and must not differ.
    QVERIFY(QStringToText(text).bytes == *whole);
    // As UTF-8, worked out rather than looked up, it is what Qt makes of it.
    QVERIFY(lirrevo::ui::QStringToUtf8(text).bytes == text.toStdString());
  }

  void FromFourByteCodesAndTheOneByteEuro() {
    QCOMPARE(TextToQString("\x94\x39\xFC\x36\r\n\x80"), QStringLiteral("\U0001F600\n€"));
  }
};

LIRREVO_UI_TEST_MAIN(WidgetTextTest)
#include "widget_text_test.moc"
