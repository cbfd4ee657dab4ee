// Text changes as signals: the text at the time the signal is made, then the
// text after every change the user makes (a text field's
// ControlTextDidChangeNotification, a text view's TextDidChangeNotification),
// on the thread that posts it (the main thread). The field or view is held
// weakly; the signal never completes, and disposing a subscription stops it.
#pragma once

#include <memory>

class RSSignal;

namespace ui {
class TextField;
class TextView;
}  // namespace ui

std::shared_ptr<RSSignal> rs_textSignal(ui::TextField& field);
std::shared_ptr<RSSignal> rs_textSignal(ui::TextView& view);
