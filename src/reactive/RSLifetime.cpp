#include "reactive/RSLifetime.h"

#include <cstdio>
#include <mutex>

#include "reactive/RSDebug.h"
#include "reactive/RSSubject.h"

namespace {

// The key of the owner's association.
const char kDeallocationKey = 0;

// What the framework associates with an owner.
class RSDeallocationRecord : public fnd::Object {
public:
  const RSCompoundDisposablePtr disposable = RSCompoundDisposable::compoundDisposable();
  RSReplaySubjectPtr willDeallocSubject;  // made on first request
};

// Under the owner's lock. Made when missing; after the end of life a fresh
// record with a disposed compound that is not kept.
std::shared_ptr<RSDeallocationRecord> recordLocked(const std::shared_ptr<fnd::LifetimeState>& state, bool create) {
  auto found = state->associated.find(&kDeallocationKey);
  if (found != state->associated.end()) return found->second.asObject<RSDeallocationRecord>();
  if (!create) return nullptr;
  auto record = fnd::make<RSDeallocationRecord>();
  if (state->ended) {
    record->disposable->dispose();
    return record;
  }
  state->associated.emplace(&kDeallocationKey, fnd::Value(record));
  RSCompoundDisposablePtr disposable = record->disposable;
  fnd::Lifetime::addHook(std::weak_ptr<fnd::LifetimeState>(state), [disposable] { disposable->dispose(); });
  return record;
}

}  // namespace

RSLifetimeRef::RSLifetimeRef(const fnd::Object* object) {
  if (!object) return;
  state_ = object->lifetime().weak().lock();
  object_ = object->weak_from_this();
}

RSLifetimeRef::RSLifetimeRef(const fnd::Lifetime& lifetime) : state_(lifetime.weak().lock()) {}

std::string RSLifetimeRef::description() const {
  if (auto o = object_.lock()) return o->description();
  if (!state_) return "(null)";
  char address[32];
  std::snprintf(address, sizeof address, "%p", identity());
  return std::string("<Lifetime: ") + address + ">";
}

RSCompoundDisposablePtr rs_deallocDisposable(const RSLifetimeRef& owner) {
  const auto& state = owner.state();
  if (!state) return nullptr;
  std::lock_guard lock(state->mutex);
  return recordLocked(state, true)->disposable;
}

std::shared_ptr<RSSignal> rs_willDeallocSignal(const RSLifetimeRef& owner) {
  const auto& state = owner.state();
  if (!state) return nullptr;
  // Formatted before locking: a description may read other objects.
  std::string name = RSDebugNamesEnabled() ? owner.description() + " -rs_willDeallocSignal" : std::string();
  // One subject per owner, even when several threads ask at once.
  std::lock_guard lock(state->mutex);
  auto record = recordLocked(state, true);
  if (!record->willDeallocSubject) {
    auto subject = RSReplaySubject::subject();
    if (!name.empty()) subject->setName(name);
    record->willDeallocSubject = subject;
    record->disposable->addDisposable(RSDisposable::disposableWithBlock([subject] { subject->sendCompleted(); }));
  }
  return record->willDeallocSubject;
}

namespace rs_detail {

void removeFromDeallocDisposable(const std::weak_ptr<fnd::LifetimeState>& owner, const RSDisposablePtr& disposable) {
  auto state = owner.lock();
  if (!state || !disposable) return;
  RSCompoundDisposablePtr compound;
  {
    std::lock_guard lock(state->mutex);
    auto record = recordLocked(state, false);
    if (!record) return;
    compound = record->disposable;
  }
  compound->removeDisposable(disposable);
}

}  // namespace rs_detail
