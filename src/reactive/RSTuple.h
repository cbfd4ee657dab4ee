// RSTuple: several values, nil included, carried as one value (results of
// zipping, combining and reducing). Immutable.
//
// RSOneTuple ... RSFiveTuple are the tuples of exactly one to five elements;
// they differ from the plain tuple only in pack() and in how they grow.
#pragma once

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

class RSTuple;
using RSTuplePtr = std::shared_ptr<RSTuple>;

// Stands for nil inside a tuple. Tuples hold nil directly, so the marker is nil
// itself; it remains the key under which a case for a nil key is found.
struct RSTupleNil {
  static fnd::Value tupleNil() { return fnd::Value(); }
};

class RSTuple : public fnd::Object {
public:
  // A copy of the given elements; the fixed-size classes take them unchanged,
  // whatever their number.
  explicit RSTuple(std::vector<fnd::Value> backingArray = {});

  static RSTuplePtr tupleWithObjectsFromArray(const fnd::Array& array, bool convertNullsToNils = false);
  static RSTuplePtr tupleWithObjectsFromArray(std::vector<fnd::Value> array, bool convertNullsToNils = false);
  static RSTuplePtr tupleWithObjects(std::initializer_list<fnd::Value> objects);

  size_t count() const { return backingArray_.size(); }
  // Past the end: nil.
  fnd::Value objectAtIndex(size_t index) const;
  fnd::Value operator[](size_t index) const { return objectAtIndex(index); }
  fnd::Value first() const { return objectAtIndex(0); }
  fnd::Value second() const { return objectAtIndex(1); }
  fnd::Value third() const { return objectAtIndex(2); }
  fnd::Value fourth() const { return objectAtIndex(3); }
  fnd::Value fifth() const { return objectAtIndex(4); }
  // Nil for an empty tuple.
  fnd::Value last() const;

  // The elements with every nil as Null.
  fnd::Array allObjects() const;
  const std::vector<fnd::Value>& backingArray() const { return backingArray_; }
  std::vector<fnd::Value>::const_iterator begin() const { return backingArray_.begin(); }
  std::vector<fnd::Value>::const_iterator end() const { return backingArray_.end(); }

  // A one-tuple grows into a two-tuple, ..., a four-tuple into a five-tuple;
  // a plain tuple and a five-tuple stay of their own class.
  virtual RSTuplePtr tupleByAddingObject(const fnd::Value& object) const;

  // Equal to any tuple with equal elements, whatever its class.
  bool isEqual(const fnd::Object& other) const override;
  size_t hash() const override;
  std::string description() const override;
  // The elements' description while debug names are on.
  std::string rs_description() const;

protected:
  static std::vector<fnd::Value> appended(const std::vector<fnd::Value>& items, const fnd::Value& object);

private:
  const std::vector<fnd::Value> backingArray_;
};

class RSOneTuple : public RSTuple {
public:
  RSOneTuple() : RSTuple(std::vector<fnd::Value>(1)) {}
  explicit RSOneTuple(std::vector<fnd::Value> items) : RSTuple(std::move(items)) {}
  static std::shared_ptr<RSOneTuple> pack(const fnd::Value& first);
  RSTuplePtr tupleByAddingObject(const fnd::Value& object) const override;
};

class RSTwoTuple : public RSTuple {
public:
  RSTwoTuple() : RSTuple(std::vector<fnd::Value>(2)) {}
  explicit RSTwoTuple(std::vector<fnd::Value> items) : RSTuple(std::move(items)) {}
  static std::shared_ptr<RSTwoTuple> pack(const fnd::Value& first, const fnd::Value& second);
  RSTuplePtr tupleByAddingObject(const fnd::Value& object) const override;
};

class RSThreeTuple : public RSTuple {
public:
  RSThreeTuple() : RSTuple(std::vector<fnd::Value>(3)) {}
  explicit RSThreeTuple(std::vector<fnd::Value> items) : RSTuple(std::move(items)) {}
  static std::shared_ptr<RSThreeTuple> pack(const fnd::Value& first, const fnd::Value& second, const fnd::Value& third);
  RSTuplePtr tupleByAddingObject(const fnd::Value& object) const override;
};

class RSFourTuple : public RSTuple {
public:
  RSFourTuple() : RSTuple(std::vector<fnd::Value>(4)) {}
  explicit RSFourTuple(std::vector<fnd::Value> items) : RSTuple(std::move(items)) {}
  static std::shared_ptr<RSFourTuple> pack(const fnd::Value& first, const fnd::Value& second, const fnd::Value& third,
                                           const fnd::Value& fourth);
  RSTuplePtr tupleByAddingObject(const fnd::Value& object) const override;
};

class RSFiveTuple : public RSTuple {
public:
  RSFiveTuple() : RSTuple(std::vector<fnd::Value>(5)) {}
  explicit RSFiveTuple(std::vector<fnd::Value> items) : RSTuple(std::move(items)) {}
  static std::shared_ptr<RSFiveTuple> pack(const fnd::Value& first, const fnd::Value& second, const fnd::Value& third,
                                           const fnd::Value& fourth, const fnd::Value& fifth);
  RSTuplePtr tupleByAddingObject(const fnd::Value& object) const override;
};

// Multiple assignment from one tuple: element i goes into variable i (nil for
// a missing element).
class RSTupleUnpackingTrampoline {
public:
  static RSTupleUnpackingTrampoline& trampoline();
  void setObject(const RSTuplePtr& tuple, std::initializer_list<std::reference_wrapper<fnd::Value>> variables) const;
};
