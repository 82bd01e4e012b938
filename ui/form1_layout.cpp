// The window's design: controls, captions, frames, geometry, fonts and the
// keyboard order.

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <algorithm>
#include <map>
#include <tuple>

#include "engine/messages.h"
#include "ui/form1.h"
#include "ui/qt_text.h"

namespace torvane::ui {
namespace {

// Positions are designed in twips: 15 to the pixel at 96 dpi.
struct Twips {
  int left, top, width, height;
};

constexpr int kClientWidth = 8040;
constexpr int kClientHeight = 6195;
constexpr double kWindowPointSize = 9.0;
constexpr double kButtonPointSize = 11.25;

// Arial where the system has it, else a face with the same metrics.
QFont ArialBold(double point_size) {
  QFont font;
  font.setFamilies({"Arial", "Liberation Sans", "Arimo"});
  font.setPointSizeF(point_size);
  font.setBold(true);
  return font;
}

// What a control's caption needs: its text with the indicator and margins the
// style puts beside it, in height its line of text (the designed rows leave
// out the style's spare room around it); a push button's text within its
// bevel (the style's minimum width for buttons is for looks only); a frame's
// title. Nothing for a control without a caption.
QSize CaptionNeed(const QWidget* control) {
  const QFontMetrics metrics = control->fontMetrics();
  if (const auto* frame = qobject_cast<const QGroupBox*>(control))
    return {frame->minimumSizeHint().width(), metrics.height()};
  if (const auto* button = qobject_cast<const QPushButton*>(control)) {
    const int bevel =
        2 * button->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button);
    return metrics.size(Qt::TextShowMnemonic, button->text()) + QSize(bevel, bevel);
  }
  if (qobject_cast<const QLabel*>(control) || qobject_cast<const QAbstractButton*>(control))
    return {control->sizeHint().width(), metrics.height()};
  return {};
}

struct Placed {
  QRect design, fitted;
  QSize need;
};

// Fits controls along one axis (x: horizontal). Each designed edge moves as
// far as the controls that end there need and keeps its designed distance
// from the edge before it: controls that lined up still do, and whatever
// follows a grown control moves along. A control designed to reach a little
// into the next one in its row ends where that one starts once either moves.
// Returns the container's new length: it keeps the narrowest designed margin.
int FitAxis(std::vector<Placed>& controls, bool x, int length) {
  const auto start = [x](const QRect& r) { return x ? r.left() : r.top(); };
  const auto size = [x](QSize s) { return x ? s.width() : s.height(); };
  // Side by side along the axis: sharing most of the narrower one across it.
  const auto in_line = [x](const QRect& a, const QRect& b) {
    const auto [a0, a1, b0, b1] = x ? std::tuple(a.top(), a.bottom(), b.top(), b.bottom())
                                    : std::tuple(a.left(), a.right(), b.left(), b.right());
    return 2 * (std::min(a1, b1) - std::max(a0, b0) + 1) > std::min(a1 - a0, b1 - b0) + 1;
  };
  std::vector<int> ends;
  std::map<int, int> moved;  // designed edge -> its new place
  for (const Placed& c : controls) {
    int end = start(c.design) + size(c.design.size());
    for (const Placed& next : controls)
      if (in_line(c.design, next.design) && start(c.design) < start(next.design) &&
          start(next.design) < end)
        end = start(next.design);
    ends.push_back(end);
    moved[start(c.design)] = moved[end] = 0;
  }
  if (moved.empty()) return length;
  int designed = moved.begin()->first, placed = designed;
  for (auto& [edge, at] : moved) {
    at = placed + (edge - designed);
    for (std::size_t i = 0; i < controls.size(); ++i)
      if (ends[i] == edge)
        at = std::max(at, moved[start(controls[i].design)] + size(controls[i].need));
    designed = edge;
    placed = at;
  }
  for (std::size_t i = 0; i < controls.size(); ++i) {
    QRect& fitted = controls[i].fitted;
    const int from = moved[start(controls[i].design)];
    const int span = std::max(size(controls[i].design.size()), moved[ends[i]] - from);
    fitted = x ? QRect(from, fitted.top(), span, fitted.height())
               : QRect(fitted.left(), from, fitted.width(), span);
  }
  const int margin = std::min(moved.begin()->first, length - moved.rbegin()->first);
  return std::max(length, placed + margin);
}

// Grows the controls in `container` (frames with their contents) to what
// their captions need in the fonts at hand, from their designed places;
// returns the size the container then needs.
QSize FitToCaptions(QWidget* container) {
  std::vector<QWidget*> widgets;
  std::vector<Placed> controls;
  for (QWidget* child : container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (child->isWindow()) continue;
    QSize need = CaptionNeed(child);
    if (qobject_cast<QGroupBox*>(child)) need = need.expandedTo(FitToCaptions(child));
    widgets.push_back(child);
    controls.push_back({child->geometry(), child->geometry(), need});
  }
  const QSize size(FitAxis(controls, true, container->width()),
                   FitAxis(controls, false, container->height()));
  for (std::size_t i = 0; i < widgets.size(); ++i) widgets[i]->setGeometry(controls[i].fitted);
  return size;
}

// Makes the window's controls at their designed places, each carrying its
// design name, so that a skin's style sheet can address it (#PushButton1).
// Frames and buttons report mouse moves to `watcher`, for the hand pointer.
class ControlMaker {
 public:
  ControlMaker(QWidget* watcher, double scale) : watcher_(watcher), scale_(scale) {}
  int px(int twips) const { return qRound(twips / 15.0 * scale_); }
  template <class Control>
  Control* Placed(Control* control, const char* name, Twips at) const {
    control->setObjectName(name);
    control->setGeometry(px(at.left), px(at.top), px(at.width), px(at.height));
    return control;
  }
  QGroupBox* Frame(const char* name, const char* caption, Twips at) const {
    auto* box = Placed(new QGroupBox(QString::fromLatin1(caption), watcher_), name, at);
    box->setMouseTracking(true);
    box->installEventFilter(watcher_);
    return box;
  }
  QLabel* Label(const char* name, QWidget* parent, const char* caption, Twips at) const {
    return Placed(new QLabel(QString::fromLatin1(caption), parent), name, at);
  }
  TextBox* Text(const char* name, QWidget* parent, const char* text, Twips at) const {
    return Placed(new TextBox(QString::fromLatin1(text), parent), name, at);
  }
  QRadioButton* Option(const char* name, QWidget* parent, const char* caption, Twips at) const {
    return Placed(new QRadioButton(QString::fromLatin1(caption), parent), name, at);
  }
  QComboBox* List(const char* name, QWidget* parent, Twips at) const {
    auto* control = Placed(new QComboBox(parent), name, at);
    control->setEditable(false);  // the user picks an entry and cannot type one
    return control;
  }
  QPushButton* Button(const char* name, QWidget* parent, std::string_view caption, Twips at) const {
    auto* control = Placed(new QPushButton(Q(caption), parent), name, at);
    control->setFont(ArialBold(kButtonPointSize));
    control->setAutoDefault(false);
    control->setMouseTracking(true);
    control->installEventFilter(watcher_);
    // A move over the button is the button's: it must not reach the frame
    // around it, which would put the standard pointer back.
    control->setAttribute(Qt::WA_NoMousePropagation);
    return control;
  }

 private:
  QWidget* watcher_;
  double scale_;
};

}  // namespace

void Form1::BuildControls() {
  // Qt maps device-independent pixels to the screen; where it does not (high
  // dpi scaling turned off) the font dpi tells how far to scale the design.
  const ControlMaker make(this, logicalDpiX() > 0 ? logicalDpiX() / 96.0 : 1.0);
  setFont(ArialBold(kWindowPointSize));
  setFixedSize(make.px(kClientWidth), make.px(kClientHeight));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setMouseTracking(true);

  Frame1 = make.Frame("Frame1", "ASCII Character Range", {120, 120, 3840, 1455});
  Label1[0] = make.Label("Label1_0", Frame1, "Low (0-255):", {240, 360, 1050, 225});
  Text1 = make.Text("Text1", Frame1, "0", {1440, 330, 1335, 345});
  Label1[1] = make.Label("Label1_1", Frame1, "High (0-255):", {240, 860, 1065, 225});
  Text2 = make.Text("Text2", Frame1, "255", {1440, 830, 1335, 345});

  Frame2 = make.Frame("Frame2", "Case Conversion", {4080, 120, 3840, 1455});
  Option1 = make.Option("Option1", Frame2, "Do not change case", {240, 300, 2055, 255});
  Option2 = make.Option("Option2", Frame2, "Convert to lowercase", {240, 650, 2175, 255});
  Option3 = make.Option("Option3", Frame2, "Convert to uppercase", {240, 1000, 2175, 255});

  Frame4 = make.Frame("Frame4", "Hex Conversion", {120, 1650, 3840, 1065});
  Option6 = make.Option("Option6", Frame4, "2 Characters", {240, 300, 1575, 255});
  Option7 = make.Option("Option7", Frame4, "Binary", {240, 650, 975, 255});

  Frame3 = make.Frame("Frame3", "Record Length", {4080, 1650, 3840, 1065});
  Option4 = make.Option("Option4", Frame3, "Fixed - 80 characters", {240, 300, 2295, 255});
  Option5 = make.Option("Option5", Frame3, "Continous", {240, 650, 1335, 255});

  Frame5 = make.Frame("Frame5", "Field Size", {120, 2790, 7800, 1335});
  Option8 = make.Option("Option8", Frame5, "Predefine Size", {240, 360, 1695, 255});
  Combo1 = make.List("Combo1", Frame5, {1920, 330, 5535, 345});
  Option9 = make.Option("Option9", Frame5, "Customize", {240, 860, 1455, 255});
  Text3 = make.Text("Text3", Frame5, "", {1920, 830, 1335, 345});
  Combo2 = make.List("Combo2", Frame5, {3360, 830, 4095, 345});

  Frame6 = make.Frame("Frame6", "Save File To This Folder", {120, 4200, 7800, 810});
  Text4 = make.Text("Text4", Frame6, "", {240, 300, 6540, 345});
  PushButton7 = make.Button("PushButton7", Frame6, "...", {6840, 300, 675, 345});

  PushButton1 =
      make.Button("PushButton1", this, FileCreator::kStartCaption, {120, 5145, 7800, 405});
  ProgressBar1 = make.Placed(new QProgressBar(this), "ProgressBar1", {120, 5670, 7800, 405});
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(true);
  ProgressBar1->setAlignment(Qt::AlignCenter);
  SetProgressText(FileCreator::kIdleProgressText);

  // The design's selections: the first option of every frame, the preset size.
  Option1->setChecked(true);
  Option4->setChecked(true);
  Option6->setChecked(true);
  Option8->setChecked(true);
  Combo1->setEnabled(true);
  Text3->setEnabled(false);
  Combo2->setEnabled(false);

  SetTabOrder();
}

void Form1::SetTabOrder() {
  const std::vector<QWidget*> order{Combo1,  Text1,   Text2,       Option4,     Option5, Option1,
                                    Option2, Option3, Option6,     Option7,     Option9, Text3,
                                    Combo2,  Text4,   PushButton7, PushButton1, Option8};
  for (std::size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

void Form1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (shown_once_) return;
  shown_once_ = true;
  // Arial's stand-ins may be missing (DejaVu Sans is wider), and a skin may
  // set fonts: the captions are measured once their fonts are settled.
  setFixedSize(FitToCaptions(this));
  if (screen() != nullptr) {
    QRect frame = frameGeometry();
    frame.moveCenter(screen()->availableGeometry().center());
    move(frame.topLeft());
  }
  // The focus starts on the first enabled control of the keyboard order.
  for (QWidget* control : std::initializer_list<QWidget*>{Combo1, Text1}) {
    if (control->isEnabled()) {
      control->setFocus(Qt::OtherFocusReason);
      break;
    }
  }
}

}  // namespace torvane::ui
