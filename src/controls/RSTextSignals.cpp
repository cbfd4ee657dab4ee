#include "controls/RSTextSignals.h"

#include <functional>
#include <string>

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"
#include "reactive/RSDebug.h"
#include "reactive/RSSignal.h"

namespace {

// The text of `weak` after each notification `name` whose object is it.
template <class T>
std::shared_ptr<RSSignal> textChanges(const std::weak_ptr<T>& weak, const char* name,
                                      std::function<std::string(T&)> text) {
  return RSSignal::createSignal([weak, name, text](const RSSubscriberPtr& subscriber) -> RSDisposablePtr {
    auto& centre = fnd::NotificationCenter::defaultCenter();
    auto token = centre.addObserver(name, fnd::Value(), [weak, text, subscriber](const fnd::Notification& n) {
      auto sender = weak.lock();
      if (!sender || n.object.asObject().get() != sender.get()) return;
      subscriber->sendNext(fnd::Value(text(*sender)));
    });
    return RSDisposable::disposableWithBlock([token] { fnd::NotificationCenter::defaultCenter().removeObserver(token); });
  });
}

}  // namespace

std::shared_ptr<RSSignal> rs_textSignal(ui::TextField& field) {
  auto weak = std::weak_ptr<ui::TextField>(std::static_pointer_cast<ui::TextField>(field.sharedFromThis()));
  auto result = textChanges<ui::TextField>(weak, ui::ControlTextDidChangeNotification,
                                           [](ui::TextField& f) { return f.stringValue(); })
                    ->startWith(fnd::Value(field.stringValue()));
  if (RSDebugNamesEnabled()) result->setNameWithFormat("%s -rs_textSignal", field.description().c_str());
  return result;
}

std::shared_ptr<RSSignal> rs_textSignal(ui::TextView& view) {
  auto weak = std::weak_ptr<ui::TextView>(std::static_pointer_cast<ui::TextView>(view.sharedFromThis()));
  auto result = textChanges<ui::TextView>(weak, ui::TextDidChangeNotification,
                                          [](ui::TextView& v) { return v.string(); })
                    ->startWith(fnd::Value(view.string()));
  if (RSDebugNamesEnabled()) result->setNameWithFormat("%s -rs_textSignal", view.description().c_str());
  return result;
}
