#include "reactive/RSSelectorSignal.h"

#include <map>
#include <mutex>

#include "reactive/RSDebug.h"

namespace {

// The key of the owner's association.
const char kSelectorSubjectsKey = 0;

// The subjects of an owner's observed methods, one per name; guarded by the
// owner's lock.
class RSSelectorSubjects : public fnd::Object {
public:
  std::map<std::string, RSSubjectPtr, std::less<>> subjects;
};

std::shared_ptr<RSSelectorSubjects> subjectsLocked(fnd::LifetimeState& state, bool create) {
  auto found = state.associated.find(&kSelectorSubjectsKey);
  if (found != state.associated.end()) return found->second.asObject<RSSelectorSubjects>();
  if (!create || state.ended) return nullptr;
  auto table = fnd::make<RSSelectorSubjects>();
  state.associated.emplace(&kSelectorSubjectsKey, fnd::Value(table));
  return table;
}

}  // namespace

RSSignalPtr rs_signalForSelector(const RSLifetimeRef& owner, std::string_view selector) {
  const auto& state = owner.state();
  if (!state) return nullptr;
  RSSubjectPtr subject;
  {
    std::lock_guard lock(state->mutex);
    auto table = subjectsLocked(*state, true);
    if (table) {
      auto found = table->subjects.find(selector);
      if (found != table->subjects.end()) return found->second;
    }
    subject = RSSubject::subject();
    if (RSDebugNamesEnabled()) {
      subject->setNameWithFormat("%s -rs_signalForSelector: %.*s", owner.description().c_str(),
                                 static_cast<int>(selector.size()), selector.data());
    }
    if (table) table->subjects.emplace(std::string(selector), subject);
  }
  // Completes at the end of the owner's life, or at once when it has ended.
  rs_deallocDisposable(owner)->addDisposable(
      RSDisposable::disposableWithBlock([subject] { subject->sendCompleted(); }));
  return subject;
}

RSSubjectPtr rs_detail::selectorSubject(const fnd::Lifetime& owner, std::string_view selector) {
  auto state = owner.weak().lock();
  if (!state) return nullptr;
  std::lock_guard lock(state->mutex);
  auto table = subjectsLocked(*state, false);
  if (!table) return nullptr;
  auto found = table->subjects.find(selector);
  return found == table->subjects.end() ? nullptr : found->second;
}
