#include "reactive/RSTuple.h"

#include <cstdio>

#include "reactive/RSDebug.h"

RSTuple::RSTuple(std::vector<fnd::Value> backingArray) : backingArray_(std::move(backingArray)) {}

RSTuplePtr RSTuple::tupleWithObjectsFromArray(const fnd::Array& array, bool convertNullsToNils) {
  return tupleWithObjectsFromArray(array.items(), convertNullsToNils);
}

RSTuplePtr RSTuple::tupleWithObjectsFromArray(std::vector<fnd::Value> array, bool convertNullsToNils) {
  if (convertNullsToNils) {
    for (auto& v : array) {
      if (v.isNull()) v = fnd::Value();
    }
  }
  return fnd::make<RSTuple>(std::move(array));
}

RSTuplePtr RSTuple::tupleWithObjects(std::initializer_list<fnd::Value> objects) {
  return fnd::make<RSTuple>(std::vector<fnd::Value>(objects));
}

fnd::Value RSTuple::objectAtIndex(size_t index) const {
  return index < backingArray_.size() ? backingArray_[index] : fnd::Value();
}

fnd::Value RSTuple::last() const { return backingArray_.empty() ? fnd::Value() : backingArray_.back(); }

fnd::Array RSTuple::allObjects() const {
  std::vector<fnd::Value> out;
  out.reserve(backingArray_.size());
  for (const auto& v : backingArray_) out.push_back(v.isNil() ? fnd::Value::null() : v);
  return fnd::Array(std::move(out));
}

std::vector<fnd::Value> RSTuple::appended(const std::vector<fnd::Value>& items, const fnd::Value& object) {
  std::vector<fnd::Value> out;
  out.reserve(items.size() + 1);
  out = items;
  out.push_back(object);
  return out;
}

RSTuplePtr RSTuple::tupleByAddingObject(const fnd::Value& object) const {
  return fnd::make<RSTuple>(appended(backingArray_, object));
}

bool RSTuple::isEqual(const fnd::Object& other) const {
  if (this == &other) return true;
  auto tuple = dynamic_cast<const RSTuple*>(&other);
  return tuple != nullptr && tuple->backingArray_ == backingArray_;
}

size_t RSTuple::hash() const { return fnd::Value(fnd::Array(backingArray_)).hash(); }

std::string RSTuple::description() const {
  char address[32];
  std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
  return "<" + className() + ": " + address + "> " + fnd::Value(allObjects()).description();
}

std::string RSTuple::rs_description() const {
  if (!RSDebugNamesEnabled()) return "(description skipped)";
  return fnd::Value(allObjects()).description();
}

std::shared_ptr<RSOneTuple> RSOneTuple::pack(const fnd::Value& first) {
  return fnd::make<RSOneTuple>(std::vector<fnd::Value>{first});
}

RSTuplePtr RSOneTuple::tupleByAddingObject(const fnd::Value& object) const {
  return fnd::make<RSTwoTuple>(appended(backingArray(), object));
}

std::shared_ptr<RSTwoTuple> RSTwoTuple::pack(const fnd::Value& first, const fnd::Value& second) {
  return fnd::make<RSTwoTuple>(std::vector<fnd::Value>{first, second});
}

RSTuplePtr RSTwoTuple::tupleByAddingObject(const fnd::Value& object) const {
  return fnd::make<RSThreeTuple>(appended(backingArray(), object));
}

std::shared_ptr<RSThreeTuple> RSThreeTuple::pack(const fnd::Value& first, const fnd::Value& second, const fnd::Value& third) {
  return fnd::make<RSThreeTuple>(std::vector<fnd::Value>{first, second, third});
}

RSTuplePtr RSThreeTuple::tupleByAddingObject(const fnd::Value& object) const {
  return fnd::make<RSFourTuple>(appended(backingArray(), object));
}

std::shared_ptr<RSFourTuple> RSFourTuple::pack(const fnd::Value& first, const fnd::Value& second, const fnd::Value& third,
                                               const fnd::Value& fourth) {
  return fnd::make<RSFourTuple>(std::vector<fnd::Value>{first, second, third, fourth});
}

RSTuplePtr RSFourTuple::tupleByAddingObject(const fnd::Value& object) const {
  return fnd::make<RSFiveTuple>(appended(backingArray(), object));
}

std::shared_ptr<RSFiveTuple> RSFiveTuple::pack(const fnd::Value& first, const fnd::Value& second, const fnd::Value& third,
                                               const fnd::Value& fourth, const fnd::Value& fifth) {
  return fnd::make<RSFiveTuple>(std::vector<fnd::Value>{first, second, third, fourth, fifth});
}

RSTuplePtr RSFiveTuple::tupleByAddingObject(const fnd::Value& object) const {
  return fnd::make<RSFiveTuple>(appended(backingArray(), object));
}

RSTupleUnpackingTrampoline& RSTupleUnpackingTrampoline::trampoline() {
  static RSTupleUnpackingTrampoline shared;
  return shared;
}

void RSTupleUnpackingTrampoline::setObject(const RSTuplePtr& tuple,
                                           std::initializer_list<std::reference_wrapper<fnd::Value>> variables) const {
  size_t i = 0;
  for (auto variable : variables) {
    variable.get() = tuple ? tuple->objectAtIndex(i) : fnd::Value();
    ++i;
  }
}
