// RSSequence: the pull-based sibling of the signal. An immutable, lazily
// evaluated list given by its first value (head) and the sequence of the rest
// (tail). Nil is never an element: a nil head means the sequence is empty, a
// null tail that nothing follows; classes over data that can hold nil hand
// out Null instead.
//
// A sequence is also a stream (RSStream.h): map, filter, take, flatten and the
// other generic operators work on it lazily.
//
// Range-for walks head and tail:  for (const fnd::Value& v : *sequence) ...
#pragma once

#include <cstdint>
#include <functional>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <unordered_set>

#include "reactive/RSScheduler.h"
#include "reactive/RSStream.h"
#include "reactive/RSTuple.h"

class RSSequence;
class RSSequenceEnumerator;
class RSSignal;
using RSSequencePtr = std::shared_ptr<RSSequence>;

class RSSequence : public RSStream, public RSStreamOperators<RSSequence> {
public:
  using BindBlock = RSStreamBindBlock<RSSequence>;
  using FoldRightBlock = std::function<fnd::Value(const fnd::Value& first, const RSSequencePtr& rest)>;
  using RSStreamOperators<RSSequence>::concat;

  // Nil on this base class.
  virtual fnd::Value head() const;
  virtual RSSequencePtr tail() const;

  // The shared empty sequence.
  static RSSequencePtr empty();
  // One value (which must not be nil).
  static RSSequencePtr return_(const fnd::Value& value);
  // Head and tail computed once each, on first read.
  static RSSequencePtr sequenceWithHeadBlock(std::function<fnd::Value()> headBlock,
                                             std::function<RSSequencePtr()> tailBlock);

  // Lazy: the bind block runs as elements are read.
  virtual RSSequencePtr bind(std::function<BindBlock()> block);
  // Binds the receiver's values, with the elements of the pass-through
  // sequence (null: none) first.
  virtual RSSequencePtr bind(const BindBlock& bindBlock, const RSSequencePtr& passthroughSequence);
  virtual RSSequencePtr concat(const RSSequencePtr& sequence);
  // Two-tuples of the elements at equal positions, as long as both last.
  RSSequencePtr zipWith(const RSSequencePtr& sequence);

  // Every element (this evaluates the whole sequence).
  virtual fnd::Array array() const;
  std::shared_ptr<RSSequenceEnumerator> objectEnumerator();
  // The elements, one per recursive scheduling on a background scheduler made
  // now and shared by every subscription, then completion.
  std::shared_ptr<RSSignal> signal();
  std::shared_ptr<RSSignal> signalWithScheduler(const RSSchedulerPtr& scheduler);

  fnd::Value foldLeftWithStart(const fnd::Value& start, const ReduceBlock& reduce) const;
  // reduce(head, rest): rest is a sequence whose head, read on demand, is the
  // right fold of the tail; a block that never reads it evaluates no further.
  virtual fnd::Value foldRightWithStart(const fnd::Value& start, const FoldRightBlock& reduce);
  bool any(const Predicate& predicate);
  // True for an empty sequence.
  bool all(const Predicate& predicate) const;
  // The first element that passes, or nil.
  fnd::Value objectPassingTest(const Predicate& predicate);

  virtual RSSequencePtr eagerSequence();
  virtual RSSequencePtr lazySequence();
  // Sequences never change: the receiver.
  RSSequencePtr copy();

  size_t hash() const override;
  // The same elements in the same order, ending together.
  bool isEqual(const fnd::Object& other) const override;

  class Iterator {
  public:
    using iterator_category = std::input_iterator_tag;
    using value_type = fnd::Value;
    using difference_type = std::ptrdiff_t;
    using pointer = const fnd::Value*;
    using reference = const fnd::Value&;

    Iterator() = default;
    explicit Iterator(RSSequencePtr sequence);
    const fnd::Value& operator*() const { return value_; }
    const fnd::Value* operator->() const { return &value_; }
    Iterator& operator++();
    bool operator==(const Iterator& other) const { return sequence_ == other.sequence_; }
    bool operator!=(const Iterator& other) const { return !(*this == other); }

  private:
    void load();
    RSSequencePtr sequence_;  // null at the end
    fnd::Value value_;
  };
  Iterator begin();
  Iterator end() { return Iterator(); }

protected:
  RSSequence() = default;
  RSSequencePtr selfSequence() const;
};

// Conversions of collections, strings and tuples.
RSSequencePtr rs_sequence(const fnd::Array& array);
// (key, value) two-tuples, over a copy of the dictionary, in key order.
RSSequencePtr rs_sequence(const fnd::Dictionary& dictionary);
RSSequencePtr rs_keySequence(const fnd::Dictionary& dictionary);
RSSequencePtr rs_valueSequence(const fnd::Dictionary& dictionary);
// An enumerator: a function giving the next object, nil at the end. One
// object is taken each time a new element's head is first read.
RSSequencePtr rs_sequence(std::function<fnd::Value()> nextObject);
// An index set: its indexes ascending, as integers.
RSSequencePtr rs_sequence(const std::set<uint64_t>& indexSet);
// A set, in the set's own order.
RSSequencePtr rs_sequence(const std::unordered_set<fnd::Value>& set);
// A UTF-8 string, one UTF-16 unit per element (see RSStringSequence).
RSSequencePtr rs_sequence(const std::string& string);
// A tuple's elements, nil as Null.
RSSequencePtr rs_sequence(const RSTuplePtr& tuple);
