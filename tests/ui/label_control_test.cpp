#include "ui/controls/label_control.h"

#include <QImage>
#include <QTest>

#include "core/document/link_list.h"
#include "test_home.h"
#include "test_window.h"
#include "ui/controls/caption_label.h"
#include "ui/controls/property_numbers.h"
#include "ui/window_template.h"

using lirrevo::ui::LabelName;

using lirrevo::ui::CaptionLabel;
using lirrevo::ui::PropertyValue;
using lirrevo::ui::testing::TestWindow;
namespace label = lirrevo::ui::label;

namespace {

// The columns and rows that hold dark (text) pixels.
struct Ink {
  int left = -1;
  int right = -1;
  int top = -1;
  int bottom = -1;
};

Ink InkOf(const QImage& image) {
  Ink ink;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (qGray(image.pixel(x, y)) > 96) continue;
      if (ink.left < 0 || x < ink.left) ink.left = x;
      ink.right = std::max(ink.right, x);
      if (ink.top < 0) ink.top = y;
      ink.bottom = y;
    }
  }
  return ink;
}

QImage Render(TestWindow& test, const std::string& gbk_caption) {
  if (!test.window().SetProperty(LabelName, label::Caption, gbk_caption)) return {};
  return test.Widget(LabelName)->grab().toImage();
}

}  // namespace

class LabelControlTest : public QObject {
  Q_OBJECT

 private slots:
  void StartsWithTheCountOfNothing() {
    TestWindow test;
    QVERIFY(test.window().GetProperty(LabelName, label::Caption) ==
            PropertyValue(lirrevo::FormatLinkCount(0)));
    auto* caption = static_cast<CaptionLabel*>(test.Widget(LabelName));
    QCOMPARE(caption->Caption(), QStringLiteral("共有链接数量：0  --->点击生成XML"));
  }

  void TextIsRightAlignedAndCentred() {
    TestWindow test;
    const QImage image = Render(test, "IIII");
    const Ink ink = InkOf(image);
    QVERIFY(ink.left > image.width() / 2);
    QVERIFY(image.width() - 1 - ink.right <= 3);
    const int middle = (ink.top + ink.bottom) / 2;
    QVERIFY2(std::abs(middle - image.height() / 2) <= 3, qPrintable(QString::number(middle)));
  }

  void AmpersandIsShownAsItIs() {
    TestWindow test;
    const Ink with = InkOf(Render(test, "A&B"));
    const Ink without = InkOf(Render(test, "AB"));
    // A mnemonic would hide the ampersand and leave "AB" as wide as without it.
    QVERIFY(with.right - with.left > without.right - without.left + 3);
  }

  void TooLongCaptionLosesItsBeginning() {
    TestWindow test;
    const QImage tail = Render(test, "XYZ");
    const QImage whole = Render(test, std::string(200, 'A') + "XYZ");
    const int w = tail.width();
    QCOMPARE(whole.copy(w - 12, 0, 12, tail.height()), tail.copy(w - 12, 0, 12, tail.height()));
    QVERIFY(InkOf(whole).left <= 1);  // the beginning is cut at the left edge
  }
};

LIRREVO_UI_TEST_MAIN(LabelControlTest)
#include "label_control_test.moc"
