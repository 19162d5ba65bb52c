// The edit box's link count, kept up to date as its text changes.
#pragma once

#include <QObject>
#include <cstdint>
#include <memory>

class QTextDocument;

namespace lirrevo::ui {

// The number of links in the document: what splitting its text, read with
// each line break as one CR LF pair, gives, by the core's LinkCountOf. A
// paragraph break and a line separator (U+2028) are each a line break. Every
// other character gives at least one byte and never a CR LF, so the count
// needs no conversion: it follows the document's blocks, and each change
// costs only the blocks that it touched.
class LinkCount : public QObject {
 public:
  explicit LinkCount(QTextDocument& document);
  ~LinkCount() override;

  std::int32_t Count() const;

 private:
  struct Totals;
  void Recount(int position, int added);

  QTextDocument& document_;
  std::shared_ptr<Totals> totals_;  // shared with the marks on the blocks
};

}  // namespace lirrevo::ui
