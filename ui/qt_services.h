#pragma once

// The desktop behind the core's seams: message boxes, the event pump behind
// every yield, and the user's number conventions.

#include <QPointer>
#include <QWidget>

#include "common/message_box.h"
#include "common/number_locale.h"
#include "common/services.h"
#include "common/yield.h"

class QLocale;

namespace torvane::ui {

// Modal boxes with one OK button over the owner window.
class QtMessageBoxes : public MessageBoxes {
 public:
  explicit QtMessageBoxes(QWidget* owner = nullptr) : owner_(owner) {}
  void Show(std::string_view text, MsgIcon icon, std::string_view title) override;

 private:
  QPointer<QWidget> owner_;
};

// Lets every pending window event run: the Stop click, repaints, closing.
class QtEventPump : public EventPump {
 public:
  void PumpEvents() override;
};

// The decimal and group separators of the user's locale.
NumberLocale NumberLocaleOf(const QLocale& locale);

}  // namespace torvane::ui
