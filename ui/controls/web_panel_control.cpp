#include "ui/controls/web_panel_control.h"

#include <QChildEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFrame>
#include <QMimeData>
#include <QObject>
#include <QVBoxLayout>
#include <QWidget>
#include <functional>

#include "ui/controls/property_numbers.h"
#include "ui/panel/panel_view.h"
#include "ui/widget_text.h"

namespace lirrevo::ui {
namespace {

constexpr std::int32_t kLastBorderStyle = 5;

struct FramePart {
  int style = QFrame::NoFrame;  // shape and shadow
  int line_width = 0;
};

struct BorderLook {
  FramePart outer;  // the raised frame
  FramePart inner;  // the sunken edge or the single line
};

constexpr FramePart kNone{};
constexpr FramePart kSunkenEdge{QFrame::WinPanel | QFrame::Sunken, 2};
constexpr FramePart kRaisedFrame{QFrame::WinPanel | QFrame::Raised, 2};
constexpr FramePart kThinSunkenEdge{QFrame::Panel | QFrame::Sunken, 1};
constexpr FramePart kSingleLine{QFrame::Box | QFrame::Plain, 1};

// By BorderStyle: 0 none, 1 sunken edge, 2 raised frame, 3 thin sunken edge,
// 4 sunken edge inside a raised frame, 5 single line.
constexpr BorderLook kBorderLooks[kLastBorderStyle + 1] = {
    {kNone, kNone},           {kNone, kSunkenEdge},        {kRaisedFrame, kNone},
    {kNone, kThinSunkenEdge}, {kRaisedFrame, kSunkenEdge}, {kNone, kSingleLine}};

BorderLook LookOf(std::int32_t border_style) {
  const bool known = border_style >= 0 && border_style <= kLastBorderStyle;
  return known ? kBorderLooks[border_style] : BorderLook{};
}

void ApplyPart(QFrame& frame, const FramePart& part) {
  frame.setFrameStyle(part.style);
  frame.setLineWidth(part.line_width);
}

// A frame whose only content, the child, fills the area inside it.
QFrame* FramePartAround(QWidget* parent) {
  auto* frame = new QFrame(parent);
  auto* layout = new QVBoxLayout(frame);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  return frame;
}

// Takes every drop of links on the view and its parts before the page does:
// with drops allowed the first link opens in the panel, otherwise the drop
// is refused. Other drops (text into a field of the page) go on as usual.
class DropWatcher : public QObject {
 public:
  DropWatcher(QWidget* view, std::function<bool()> allowed, std::function<void(const QUrl&)> open)
      : allowed_(std::move(allowed)), open_(std::move(open)) {
    Watch(view);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::ChildAdded) {
      QObject* child = static_cast<QChildEvent*>(event)->child();
      if (child->isWidgetType()) Watch(static_cast<QWidget*>(child));
      return false;
    }
    const bool drag = event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove;
    if (!drag && event->type() != QEvent::Drop) return QObject::eventFilter(watched, event);
    auto* drop = static_cast<QDropEvent*>(event);
    if (drop->mimeData() == nullptr || !drop->mimeData()->hasUrls()) return false;
    if (!allowed_()) {
      drop->ignore();
      return true;
    }
    drop->acceptProposedAction();
    if (!drag) open_(drop->mimeData()->urls().constFirst());
    return true;
  }

 private:
  void Watch(QWidget* widget) {
    widget->installEventFilter(this);
    for (QWidget* child : widget->findChildren<QWidget*>()) child->installEventFilter(this);
  }

  std::function<bool()> allowed_;
  std::function<void(const QUrl&)> open_;
};

}  // namespace

WebPanelControl::WebPanelControl(const ControlTemplate& entry, QWidget* parent)
    : Control(entry, FramePartAround(parent)), outer_(static_cast<QFrame*>(Widget())) {
  inner_ = FramePartAround(outer_);
  outer_->layout()->addWidget(inner_);
  view_ = CreatePanelView(inner_);
  inner_->layout()->addWidget(view_->Widget());
  outer_->setFocusProxy(view_->Widget());
  drops_ = std::make_unique<DropWatcher>(
      view_->Widget(),
      [this] { return BoolSetting(Settings(), web_browser::RegisterAsDropTarget, false); },
      [this](const QUrl& address) { Load(address); });
  for (int number = web_browser::BorderStyle; number <= web_browser::RegisterAsBrowser; ++number) {
    Apply(number);
  }
}

WebPanelControl::~WebPanelControl() = default;

void WebPanelControl::NavigateTo(std::string_view address) {
  const std::optional<QString> text = TextToQString(address);
  if (text) Load(QUrl(*text));
}

QWidget* WebPanelControl::View() const { return view_->Widget(); }

bool WebPanelControl::WantsKey(int key) const {
  return key == Qt::Key_Return || key == Qt::Key_Enter;
}

bool WebPanelControl::SetSetting(int number, const PropertyValue& value) {
  if (number == web_browser::BorderStyle) {
    const auto* style = std::get_if<std::int32_t>(&value);
    if (style == nullptr || *style < 0 || *style > kLastBorderStyle) return false;
  }
  return Control::SetSetting(number, value);
}

void WebPanelControl::OnSettingChanged(int number) { Apply(number); }

void WebPanelControl::Apply(int number) {
  using namespace web_browser;
  const auto& settings = Settings();
  switch (number) {
    case BorderStyle: {
      const BorderLook look = LookOf(IntSetting(settings, BorderStyle, 0));
      ApplyPart(*outer_, look.outer);
      ApplyPart(*inner_, look.inner);
      break;
    }
    case Silent:
      view_->SetSilent(BoolSetting(settings, Silent, false));
      break;
    case Offline:
      view_->SetOffline(BoolSetting(settings, Offline, false));
      break;
    case RegisterAsDropTarget:
      view_->Widget()->setAcceptDrops(BoolSetting(settings, RegisterAsDropTarget, false));
      break;
    case RegisterAsBrowser:
      view_->SetOpensNewWindows(BoolSetting(settings, RegisterAsBrowser, false));
      break;
    default:
      break;
  }
}

void WebPanelControl::Load(const QUrl& address) {
  requested_ = address;
  view_->Load(address);
}

}  // namespace lirrevo::ui
