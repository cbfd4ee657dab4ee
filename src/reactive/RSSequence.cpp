#include "reactive/RSSequence.h"

#include <vector>

#include "reactive/RSArraySequence.h"
#include "reactive/RSDynamicSequence.h"
#include "reactive/RSEagerSequence.h"
#include "reactive/RSEmptySequence.h"
#include "reactive/RSIndexSetSequence.h"
#include "reactive/RSSequenceEnumerator.h"
#include "reactive/RSSignal.h"
#include "reactive/RSStringSequence.h"
#include "reactive/RSTupleSequence.h"
#include "reactive/RSUnarySequence.h"

fnd::Value RSSequence::head() const { return fnd::Value(); }

RSSequencePtr RSSequence::tail() const { return nullptr; }

RSSequencePtr RSSequence::selfSequence() const {
  return std::static_pointer_cast<RSSequence>(std::const_pointer_cast<fnd::Object>(shared_from_this()));
}

RSSequencePtr RSSequence::empty() { return RSEmptySequence::empty(); }

RSSequencePtr RSSequence::return_(const fnd::Value& value) { return RSUnarySequence::return_(value); }

RSSequencePtr RSSequence::sequenceWithHeadBlock(std::function<fnd::Value()> headBlock,
                                                std::function<RSSequencePtr()> tailBlock) {
  auto result = RSDynamicSequence::sequenceWithHeadBlock(std::move(headBlock), std::move(tailBlock));
  result->setNameWithFormat("+sequenceWithHeadBlock:tailBlock:");
  return result;
}

// ------------------------------------------------------------------------- bind

RSSequencePtr RSSequence::bind(std::function<BindBlock()> block) {
  BindBlock bindBlock = block();
  auto result = bind(bindBlock, nullptr);
  result->setNameWithFormat("[%s] -bind:", name().c_str());
  return result;
}

RSSequencePtr RSSequence::bind(const BindBlock& bindBlock, const RSSequencePtr& passthroughSequence) {
  // Shared by the three blocks of the result; guarded by its lock.
  struct State {
    RSSequencePtr valuesSequence;  // the values still to bind
    RSSequencePtr current;         // the inner sequence being read
    bool stop = false;
  };
  auto state = std::make_shared<State>();
  state->valuesSequence = selfSequence();
  state->current = passthroughSequence;

  auto result = RSDynamicSequence::sequenceWithLazyDependency(
      [state, bindBlock]() -> fnd::Value {
        while (!state->current || state->current->head().isNil()) {
          if (state->stop) return fnd::Value();
          fnd::Value value = state->valuesSequence ? state->valuesSequence->head() : fnd::Value();
          if (value.isNil()) {
            state->stop = true;
            return fnd::Value();
          }
          RSSequencePtr sequence = bindBlock(value, &state->stop);
          if (!sequence) {
            state->stop = true;
            return fnd::Value();
          }
          state->current = sequence;
          state->valuesSequence = state->valuesSequence->tail();
        }
        return fnd::Value();
      },
      [state](const fnd::Value&) { return state->current ? state->current->head() : fnd::Value(); },
      [state, bindBlock](const fnd::Value&) -> RSSequencePtr {
        RSSequencePtr rest = state->current ? state->current->tail() : nullptr;
        // A stop asked for by the bind block ends the binding, not the
        // sequence it returned with the stop: its remaining elements follow,
        // as in the eager bind.
        if (state->stop) return rest;
        RSSequencePtr values = state->valuesSequence ? state->valuesSequence : RSSequence::empty();
        return values->bind(bindBlock, rest);
      });
  result->setName(name());
  return result;
}

RSSequencePtr RSSequence::concat(const RSSequencePtr& sequence) {
  auto pair = RSArraySequence::sequenceWithArray(
      fnd::Array{fnd::Value(selfSequence()), sequence ? fnd::Value(sequence) : fnd::Value(RSSequence::empty())}, 0);
  auto result = pair->flatten();
  result->setNameWithFormat("[%s] -concat: %s", name().c_str(),
                            sequence ? sequence->description().c_str() : "(null)");
  return result;
}

RSSequencePtr RSSequence::zipWith(const RSSequencePtr& sequence) {
  RSSequencePtr self = selfSequence();
  auto result = RSDynamicSequence::sequenceWithHeadBlock(
      [self, sequence]() -> fnd::Value {
        if (!sequence) return fnd::Value();
        fnd::Value left = self->head();
        fnd::Value right = sequence->head();
        if (left.isNil() || right.isNil()) return fnd::Value();
        return fnd::Value(RSTwoTuple::pack(left, right));
      },
      [self, sequence]() -> RSSequencePtr {
        if (!sequence) return nullptr;
        RSSequencePtr left = self->tail();
        RSSequencePtr right = sequence->tail();
        RSSequencePtr emptySequence = RSSequence::empty();
        if (!left || !right || left == emptySequence || right == emptySequence) return nullptr;
        return left->zipWith(right);
      });
  result->setNameWithFormat("[%s] -zipWith: %s", name().c_str(),
                            sequence ? sequence->description().c_str() : "(null)");
  return result;
}

// ------------------------------------------------------------------ conversions

fnd::Array RSSequence::array() const {
  std::vector<fnd::Value> values;
  for (const fnd::Value& value : *selfSequence()) values.push_back(value);
  return fnd::Array(std::move(values));
}

std::shared_ptr<RSSequenceEnumerator> RSSequence::objectEnumerator() {
  return fnd::make<RSSequenceEnumerator>(selfSequence());
}

std::shared_ptr<RSSignal> RSSequence::signal() {
  auto result = signalWithScheduler(RSScheduler::scheduler());
  result->setNameWithFormat("[%s] -signal", name().c_str());
  return result;
}

std::shared_ptr<RSSignal> RSSequence::signalWithScheduler(const RSSchedulerPtr& scheduler) {
  RSSequencePtr self = selfSequence();
  auto result = RSSignal::createSignal([self, scheduler](const RSSubscriberPtr& subscriber) -> RSDisposablePtr {
    // Runs are one after the other, never at once.
    auto remaining = std::make_shared<RSSequencePtr>(self);
    return scheduler->scheduleRecursiveBlock(subscriber, [remaining, subscriber](const std::function<void()>& reschedule) {
      fnd::Value value = *remaining ? (*remaining)->head() : fnd::Value();
      if (value.isNil()) {
        subscriber->sendCompleted();
        return;
      }
      subscriber->sendNext(value);
      *remaining = (*remaining)->tail();
      reschedule();
    });
  });
  result->setNameWithFormat("[%s] -signalWithScheduler: %s", name().c_str(),
                            scheduler ? scheduler->description().c_str() : "(null)");
  return result;
}

// ------------------------------------------------------------------------ folds

fnd::Value RSSequence::foldLeftWithStart(const fnd::Value& start, const ReduceBlock& reduce) const {
  fnd::Value running = start;
  for (const fnd::Value& value : *selfSequence()) running = reduce(running, value);
  return running;
}

fnd::Value RSSequence::foldRightWithStart(const fnd::Value& start, const FoldRightBlock& reduce) {
  fnd::Value first = head();
  if (first.isNil()) return start;
  RSSequencePtr rest = tail();
  auto restFold = RSDynamicSequence::sequenceWithHeadBlock(
      [rest, start, reduce]() { return rest ? rest->foldRightWithStart(start, reduce) : start; }, nullptr);
  return reduce(first, restFold);
}

bool RSSequence::any(const Predicate& predicate) { return !objectPassingTest(predicate).isNil(); }

bool RSSequence::all(const Predicate& predicate) const {
  fnd::Value result = foldLeftWithStart(fnd::Value(true), [&predicate](const fnd::Value& running, const fnd::Value& next) {
    // After the first failure the predicate is not asked again.
    return fnd::Value(running.boolValue() && predicate(next) ? 1 : 0);
  });
  return result.boolValue();
}

fnd::Value RSSequence::objectPassingTest(const Predicate& predicate) { return filter(predicate)->head(); }

RSSequencePtr RSSequence::eagerSequence() { return RSEagerSequence::sequenceWithArray(array(), 0); }

RSSequencePtr RSSequence::lazySequence() { return selfSequence(); }

RSSequencePtr RSSequence::copy() { return selfSequence(); }

size_t RSSequence::hash() const { return head().hash(); }

bool RSSequence::isEqual(const fnd::Object& other) const {
  if (this == &other) return true;
  auto* sequence = dynamic_cast<const RSSequence*>(&other);
  if (!sequence) return false;
  Iterator mine(selfSequence());
  Iterator theirs(sequence->selfSequence());
  Iterator end;
  while (mine != end && theirs != end) {
    if (!(*theirs == *mine)) return false;
    ++mine;
    ++theirs;
  }
  return mine == end && theirs == end;
}

// --------------------------------------------------------------------- iterator

RSSequence::Iterator::Iterator(RSSequencePtr sequence) : sequence_(std::move(sequence)) { load(); }

void RSSequence::Iterator::load() {
  if (!sequence_) return;
  value_ = sequence_->head();
  if (value_.isNil()) sequence_ = nullptr;
}

RSSequence::Iterator& RSSequence::Iterator::operator++() {
  if (!sequence_) return *this;
  sequence_ = sequence_->tail();
  value_ = fnd::Value();
  load();
  return *this;
}

RSSequence::Iterator RSSequence::begin() { return Iterator(selfSequence()); }

// ------------------------------------------------------------------ conversions

RSSequencePtr rs_sequence(const fnd::Array& array) { return RSArraySequence::sequenceWithArray(array, 0); }

RSSequencePtr rs_sequence(const fnd::Dictionary& dictionary) {
  fnd::Dictionary copy = dictionary;
  return rs_keySequence(copy)->map([copy](const fnd::Value& key) {
    return fnd::Value(RSTwoTuple::pack(key, copy[key.asString()]));
  });
}

RSSequencePtr rs_keySequence(const fnd::Dictionary& dictionary) {
  std::vector<fnd::Value> keys;
  for (const auto& entry : dictionary) keys.emplace_back(entry.first);
  return rs_sequence(fnd::Array(std::move(keys)));
}

RSSequencePtr rs_valueSequence(const fnd::Dictionary& dictionary) {
  std::vector<fnd::Value> values;
  for (const auto& entry : dictionary) values.push_back(entry.second);
  return rs_sequence(fnd::Array(std::move(values)));
}

namespace {

// Every node shares the one enumerator function (it may keep state).
RSSequencePtr sequenceOfEnumerator(const std::shared_ptr<std::function<fnd::Value()>>& next) {
  return RSSequence::sequenceWithHeadBlock([next] { return *next ? (*next)() : fnd::Value(); },
                                           [next] { return sequenceOfEnumerator(next); });
}

}  // namespace

RSSequencePtr rs_sequence(std::function<fnd::Value()> nextObject) {
  return sequenceOfEnumerator(std::make_shared<std::function<fnd::Value()>>(std::move(nextObject)));
}

RSSequencePtr rs_sequence(const std::set<uint64_t>& indexSet) { return RSIndexSetSequence::sequenceWithIndexSet(indexSet); }

RSSequencePtr rs_sequence(const std::unordered_set<fnd::Value>& set) {
  return rs_sequence(fnd::Array(std::vector<fnd::Value>(set.begin(), set.end())));
}

RSSequencePtr rs_sequence(const std::string& string) { return RSStringSequence::sequenceWithString(string, 0); }

RSSequencePtr rs_sequence(const RSTuplePtr& tuple) { return RSTupleSequence::sequenceWithTupleBackingArray(tuple, 0); }
