// RSStream: the abstract base of signals (push) and sequences (pull).
//
// Every concrete stream class S derives from RSStream and from
// RSStreamOperators<S>, and supplies five primitives:
//   static std::shared_ptr<S> empty();                // no values, ends at once
//   static std::shared_ptr<S> return_(const fnd::Value&);  // exactly one value
//   std::shared_ptr<S> bind(std::function<RSStreamBindBlock<S>()>);
//   std::shared_ptr<S> concat(const std::shared_ptr<S>&);
//   std::shared_ptr<S> zipWith(const std::shared_ptr<S>&);
// It may also supply
//   static std::shared_ptr<S> unexpectedValue(const fnd::Value&, const char* expected);
// the stream that a value of the wrong kind turns into (a tuple where a tuple
// is needed, a stream where a stream is needed); without it such a value is
// dropped.
//
// The generic operators below are written once in terms of the primitives.
// The bind block of bind() is made once per consumer (each subscription of a
// signal, each walk of a sequence), so the operators' counters and running
// values start afresh for each.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"
#include "reactive/RSBlockTrampoline.h"
#include "reactive/RSDebug.h"
#include "reactive/RSTuple.h"

// Given a value and a stop flag, the stream whose values are passed on, or
// null to stop taking values.
template <class S>
using RSStreamBindBlock = std::function<std::shared_ptr<S>(const fnd::Value& value, bool* stop)>;

// What an operator that works value by value makes of one value: one value
// to pass on, nothing, a stream to pass on, or the end of the taking. It
// stands for return_(value), empty(), the stream, or null in a bind block,
// and means exactly that; a stream class may deliver the first two without
// making a stream for each (see RSStreamOperators::bindSteps).
template <class S>
struct RSStreamStep {
  enum class Kind { Value, Nothing, Stream, Stop };
  Kind kind = Kind::Nothing;
  fnd::Value value;
  std::shared_ptr<S> stream;

  static RSStreamStep pass(fnd::Value value) { return RSStreamStep{Kind::Value, std::move(value), nullptr}; }
  static RSStreamStep nothing() { return RSStreamStep{Kind::Nothing, fnd::Value(), nullptr}; }
  static RSStreamStep streamOf(std::shared_ptr<S> stream) {
    return stream ? RSStreamStep{Kind::Stream, fnd::Value(), std::move(stream)} : nothing();
  }
  static RSStreamStep stop() { return RSStreamStep{Kind::Stop, fnd::Value(), nullptr}; }
};

template <class S>
using RSStreamStepBlock = std::function<RSStreamStep<S>(const fnd::Value& value, bool* stop)>;

class RSStream : public fnd::Object {
public:
  virtual std::string name() const;
  virtual void setName(std::string name);
  // Formats and stores the name only while debug names are on
  // (RSDebugNamesEnabled()); otherwise the name stays as it is.
  void setNameWithFormat(const char* format, ...) __attribute__((format(printf, 2, 3)));

protected:
  RSStream() = default;

private:
  mutable std::mutex nameMutex_;
  std::string name_;
};

// "(d1, d2, ...)" of the streams' descriptions while debug names are on.
std::string RSDescribeStreams(const std::vector<std::shared_ptr<RSStream>>& streams);

template <class S>
class RSStreamOperators {
public:
  using StreamPtr = std::shared_ptr<S>;
  using BindBlock = RSStreamBindBlock<S>;
  using Step = RSStreamStep<S>;
  using StepBlock = RSStreamStepBlock<S>;
  using Predicate = std::function<bool(const fnd::Value& value)>;
  using MapBlock = std::function<fnd::Value(const fnd::Value& value)>;
  using FlattenMapBlock = std::function<StreamPtr(const fnd::Value& value)>;
  using ReduceBlock = std::function<fnd::Value(const fnd::Value& running, const fnd::Value& next)>;
  using ReduceWithIndexBlock =
      std::function<fnd::Value(const fnd::Value& running, const fnd::Value& next, uint64_t index)>;
  using JoinBlock = std::function<StreamPtr(const StreamPtr& accumulated, const StreamPtr& next)>;

  // The block's stream for every value (a null stream counts as empty).
  StreamPtr flattenMap(FlattenMapBlock block) {
    auto result = self()->bind([block] {
      return BindBlock([block](const fnd::Value& value, bool*) -> StreamPtr {
        StreamPtr stream = block(value);
        return stream ? stream : S::empty();
      });
    });
    result->setNameWithFormat("[%s] -flattenMap:", self()->name().c_str());
    return result;
  }

  // bind() with a block of steps. Where the stream class has
  // bindStepsDirectly() (signals) it delivers single values and nothing
  // without making a stream for each; otherwise each step becomes the stream
  // it stands for.
  StreamPtr bindSteps(std::function<StepBlock()> block) {
    if constexpr (requires(S& stream) { stream.bindStepsDirectly(block); }) {
      return self()->bindStepsDirectly(std::move(block));
    } else {
      return self()->bind([block] {
        return BindBlock([step = block()](const fnd::Value& value, bool* stop) -> StreamPtr {
          Step result = step(value, stop);
          switch (result.kind) {
            case Step::Kind::Value:
              return S::return_(result.value);
            case Step::Kind::Nothing:
              return S::empty();
            case Step::Kind::Stream:
              return result.stream;
            case Step::Kind::Stop:
              break;
          }
          return nullptr;
        });
      });
    }
  }

  // Every value must itself be a stream; nil counts as empty.
  StreamPtr flatten() {
    auto result = flattenMap([](const fnd::Value& value) { return streamFromValue(value); });
    result->setNameWithFormat("[%s] -flatten", self()->name().c_str());
    return result;
  }

  StreamPtr map(MapBlock block) {
    auto result = bindSteps([block] {
      return StepBlock([block](const fnd::Value& value, bool*) { return Step::pass(block(value)); });
    });
    result->setNameWithFormat("[%s] -map:", self()->name().c_str());
    return result;
  }

  StreamPtr mapReplace(const fnd::Value& object) {
    auto result = map([object](const fnd::Value&) { return object; });
    result->setNameWithFormat("[%s] -mapReplace: %s", self()->name().c_str(), RSDescription(object).c_str());
    return result;
  }

  StreamPtr filter(Predicate block) {
    auto result = bindSteps([block] {
      return StepBlock(
          [block](const fnd::Value& value, bool*) { return block(value) ? Step::pass(value) : Step::nothing(); });
    });
    result->setNameWithFormat("[%s] -filter:", self()->name().c_str());
    return result;
  }

  // Passes every value that is not equal to the argument (nil equals only nil).
  StreamPtr ignore(const fnd::Value& ignored) {
    auto result = filter([ignored](const fnd::Value& value) { return !(value == ignored); });
    result->setNameWithFormat("[%s] -ignore: %s", self()->name().c_str(), RSDescription(ignored).c_str());
    return result;
  }

  // Each value must be a tuple; the block (a callable of value parameters, or
  // an RSBlockPtr) is called with its elements.
  template <class F>
  StreamPtr reduceEach(F&& block) {
    RSBlockPtr reduce = toBlock(std::forward<F>(block));
    auto result = bindSteps([reduce] {
      return StepBlock([reduce](const fnd::Value& value, bool*) {
        auto tuple = value.asObject<RSTuple>();
        if (!tuple) return Step::streamOf(unexpected(value, "RSTuple"));
        return Step::pass(RSBlockTrampoline::invokeBlock(*reduce, *tuple));
      });
    });
    result->setNameWithFormat("[%s] -reduceEach:", self()->name().c_str());
    return result;
  }

  StreamPtr startWith(const fnd::Value& value) {
    auto result = S::return_(value)->concat(self());
    result->setNameWithFormat("[%s] -startWith: %s", self()->name().c_str(), RSDescription(value).c_str());
    return result;
  }

  StreamPtr skip(uint64_t count) {
    auto result = bindSteps([count] {
      auto skipped = std::make_shared<uint64_t>(0);
      return StepBlock([count, skipped](const fnd::Value& value, bool*) {
        if (*skipped >= count) return Step::pass(value);
        ++*skipped;
        return Step::nothing();
      });
    });
    result->setNameWithFormat("[%s] -skip: %lu", self()->name().c_str(), static_cast<unsigned long>(count));
    return result;
  }

  StreamPtr take(uint64_t count) {
    if (count == 0) return S::empty();
    auto result = bindSteps([count] {
      auto taken = std::make_shared<uint64_t>(0);
      return StepBlock([count, taken](const fnd::Value& value, bool* stop) {
        if (*taken >= count) return Step::stop();
        if (++*taken == count) *stop = true;
        return Step::pass(value);
      });
    });
    result->setNameWithFormat("[%s] -take: %lu", self()->name().c_str(), static_cast<unsigned long>(count));
    return result;
  }

  StreamPtr scanWithStart(const fnd::Value& start, ReduceWithIndexBlock reduce) {
    auto result = bindSteps([start, reduce] {
      struct Running {
        fnd::Value value;
        uint64_t index = 0;
      };
      auto running = std::make_shared<Running>(Running{start, 0});
      return StepBlock([reduce, running](const fnd::Value& value, bool*) {
        running->value = reduce(running->value, value, running->index++);
        return Step::pass(running->value);
      });
    });
    result->setNameWithFormat("[%s] -scanWithStart: %s reduceWithIndex:", self()->name().c_str(),
                              RSDescription(start).c_str());
    return result;
  }

  StreamPtr scanWithStart(const fnd::Value& start, ReduceBlock reduce) {
    auto result = scanWithStart(
        start, ReduceWithIndexBlock([reduce](const fnd::Value& running, const fnd::Value& next, uint64_t) {
          return reduce(running, next);
        }));
    result->setNameWithFormat("[%s] -scanWithStart: %s reduce:", self()->name().c_str(), RSDescription(start).c_str());
    return result;
  }

  // The block gets the previous value (the start value at first) and the
  // current one.
  StreamPtr combinePreviousWithStart(const fnd::Value& start, ReduceBlock reduce) {
    auto result =
        scanWithStart(fnd::Value(RSOneTuple::pack(start)),
                      ReduceBlock([reduce](const fnd::Value& running, const fnd::Value& next) {
                        auto previous = running.asObject<RSTuple>();
                        fnd::Value previousValue = previous ? previous->objectAtIndex(0) : fnd::Value();
                        return fnd::Value(RSTwoTuple::pack(next, reduce(previousValue, next)));
                      }))
            ->map([](const fnd::Value& pair) {
              auto tuple = pair.asObject<RSTuple>();
              return tuple ? tuple->objectAtIndex(1) : fnd::Value();
            });
    result->setNameWithFormat("[%s] -combinePreviousWithStart: %s reduce:", self()->name().c_str(),
                              RSDescription(start).c_str());
    return result;
  }

  // Ends, without passing it, at the first value the predicate accepts.
  StreamPtr takeUntilBlock(Predicate predicate) {
    auto result = bindSteps([predicate] {
      return StepBlock([predicate](const fnd::Value& value, bool*) {
        if (predicate(value)) return Step::stop();
        return Step::pass(value);
      });
    });
    result->setNameWithFormat("[%s] -takeUntilBlock:", self()->name().c_str());
    return result;
  }

  StreamPtr takeWhileBlock(Predicate predicate) {
    auto result = takeUntilBlock([predicate](const fnd::Value& value) { return !predicate(value); });
    result->setNameWithFormat("[%s] -takeWhileBlock:", self()->name().c_str());
    return result;
  }

  // Drops values until the predicate accepts one; that one and every later
  // value pass.
  StreamPtr skipUntilBlock(Predicate predicate) {
    auto result = bindSteps([predicate] {
      auto skipping = std::make_shared<bool>(true);
      return StepBlock([predicate, skipping](const fnd::Value& value, bool*) {
        if (*skipping) {
          if (!predicate(value)) return Step::nothing();
          *skipping = false;
        }
        return Step::pass(value);
      });
    });
    result->setNameWithFormat("[%s] -skipUntilBlock:", self()->name().c_str());
    return result;
  }

  StreamPtr skipWhileBlock(Predicate predicate) {
    auto result = skipUntilBlock([predicate](const fnd::Value& value) { return !predicate(value); });
    result->setNameWithFormat("[%s] -skipWhileBlock:", self()->name().c_str());
    return result;
  }

  // The first value always passes (nil included); a value equal to the one
  // before it is dropped.
  StreamPtr distinctUntilChanged() {
    auto result = bindSteps([] {
      struct Last {
        fnd::Value value;
        bool initial = true;
      };
      auto last = std::make_shared<Last>();
      return StepBlock([last](const fnd::Value& value, bool*) {
        if (!last->initial && value == last->value) return Step::nothing();
        last->initial = false;
        last->value = value;
        return Step::pass(value);
      });
    });
    result->setNameWithFormat("[%s] -distinctUntilChanged", self()->name().c_str());
    return result;
  }

  // Folds the streams with the block, starting from the first stream's values
  // as one-tuples; each result value is one flat tuple of the streams' values
  // in order.
  static StreamPtr join(const std::vector<StreamPtr>& streams, JoinBlock block) {
    if (streams.empty()) return S::empty();
    StreamPtr current;
    for (const auto& stream : streams) {
      if (!current) {
        current = stream->map([](const fnd::Value& value) { return fnd::Value(RSOneTuple::pack(value)); });
        continue;
      }
      current = block(current, stream);
    }
    return current->map([](const fnd::Value& nested) { return fnd::Value(flattenNestedTuples(nested)); });
  }

  static StreamPtr zip(const std::vector<StreamPtr>& streams) {
    auto result = join(streams, [](const StreamPtr& left, const StreamPtr& right) { return left->zipWith(right); });
    result->setNameWithFormat("+zip: %s", describe(streams).c_str());
    return result;
  }

  // With a reduce block (callable or RSBlockPtr; null for none) each tuple is
  // reduced.
  template <class F>
  static StreamPtr zip(const std::vector<StreamPtr>& streams, F&& reduce) {
    StreamPtr result = zip(streams);
    if (RSBlockPtr block = toBlock(std::forward<F>(reduce))) result = result->reduceEach(block);
    result->setNameWithFormat("+zip: %s reduce:", describe(streams).c_str());
    return result;
  }

  static StreamPtr concat(const std::vector<StreamPtr>& streams) {
    StreamPtr result = S::empty();
    for (const auto& stream : streams) result = result->concat(stream);
    result->setNameWithFormat("+concat: %s", describe(streams).c_str());
    return result;
  }

protected:
  StreamPtr self() { return std::static_pointer_cast<S>(static_cast<S*>(this)->shared_from_this()); }

  // The stream a value stands for: null for nil, the stream itself, or the
  // class's stream for a value of the wrong kind.
  static StreamPtr streamFromValue(const fnd::Value& value) {
    if (value.isNil()) return nullptr;
    if (auto stream = value.asObject<S>()) return stream;
    return unexpected(value, "stream");
  }

  static StreamPtr unexpected(const fnd::Value& value, const char* expected) {
    if constexpr (requires { S::unexpectedValue(value, expected); }) {
      return S::unexpectedValue(value, expected);
    } else {
      return S::empty();
    }
  }

  template <class F>
  static RSBlockPtr toBlock(F&& block) {
    if constexpr (std::is_convertible_v<F, RSBlockPtr>) {
      return RSBlockPtr(std::forward<F>(block));
    } else {
      return RSBlock::block(std::forward<F>(block));
    }
  }

  static std::string describe(const std::vector<StreamPtr>& streams) {
    if (!RSDebugNamesEnabled()) return std::string();
    return RSDescribeStreams(std::vector<std::shared_ptr<RSStream>>(streams.begin(), streams.end()));
  }

  // (((a), b), c) -> (a, b, c)
  static RSTuplePtr flattenNestedTuples(const fnd::Value& nested) {
    std::vector<fnd::Value> values;
    auto level = nested.asObject<RSTuple>();
    while (level) {
      values.insert(values.begin(), level->last());
      if (level->count() < 2) break;
      level = level->first().asObject<RSTuple>();
    }
    return RSTuple::tupleWithObjectsFromArray(std::move(values));
  }
};
