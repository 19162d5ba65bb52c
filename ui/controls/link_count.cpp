#include "ui/controls/link_count.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

#include "core/document/link_list.h"

namespace lirrevo::ui {

struct LinkCount::Totals {
  qint64 separators = 0;  // line separators in the document
  qint64 marked = 0;      // blocks that hold any
};

namespace {

// The number of line separators in one block. The document deletes it with
// its block, so the totals always match the blocks that exist.
template <typename Totals>
class SeparatorMark : public QTextBlockUserData {
 public:
  SeparatorMark(std::shared_ptr<Totals> totals, qsizetype count)
      : totals_(std::move(totals)), count_(count) {
    totals_->separators += count_;
    ++totals_->marked;
  }
  ~SeparatorMark() override {
    totals_->separators -= count_;
    --totals_->marked;
  }
  qsizetype count() const { return count_; }

 private:
  std::shared_ptr<Totals> totals_;
  qsizetype count_;
};

}  // namespace

LinkCount::LinkCount(QTextDocument& document)
    : QObject(&document), document_(document), totals_(std::make_shared<Totals>()) {
  connect(&document, &QTextDocument::contentsChange, this,
          [this](int position, int, int added) { Recount(position, added); });
  Recount(0, document.characterCount());
}

LinkCount::~LinkCount() = default;

std::int32_t LinkCount::Count() const {
  const QTextBlock last = document_.lastBlock();
  const qint64 text_length = last.length() - 1;  // without the block's end
  const bool text_after_last_break =
      text_length > 0 && document_.characterAt(last.position() + static_cast<int>(text_length) -
                                               1) != QChar::LineSeparator;
  // Each block but the last ends in a paragraph break; each separator is one more.
  return LinkCountOf(document_.blockCount() - 1 + totals_->separators, text_after_last_break);
}

void LinkCount::Recount(int position, int added) {
  using Mark = SeparatorMark<Totals>;
  const int end = std::clamp(position + added, 0, std::max(document_.characterCount() - 1, 0));
  QTextBlock block = document_.findBlock(std::min(position, end));
  const QTextBlock last = document_.findBlock(end);
  if (!block.isValid() || !last.isValid()) return;
  QTextCursor range(&document_);
  range.setPosition(block.position());
  range.setPosition(last.position() + last.length() - 1, QTextCursor::KeepAnchor);
  const QString text = range.selectedText();  // block ends as U+2029
  // The usual text holds no line separator: nothing to mark or unmark.
  if (totals_->marked == 0 && !text.contains(QChar::LineSeparator)) return;
  qsizetype at = 0;
  for (;; block = block.next()) {
    const qsizetype length = block.length() - 1;
    const qsizetype count = QStringView(text).mid(at, length).count(QChar::LineSeparator);
    at += length + 1;
    const auto* mark = static_cast<const Mark*>(block.userData());
    if ((mark != nullptr ? mark->count() : 0) != count) {
      block.setUserData(count > 0 ? new Mark(totals_, count) : nullptr);
    }
    if (block == last || !block.next().isValid()) break;
  }
}

}  // namespace lirrevo::ui
