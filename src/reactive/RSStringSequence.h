// RSStringSequence: a string one UTF-16 unit at a time (each head a string of
// one unit; half of a surrogate pair is written as its own three UTF-8 bytes).
// array() groups the units into composed characters instead: a character and
// the combining marks, variation selectors and joined parts that follow it
// form one element.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "reactive/RSSequence.h"

class RSStringSequence : public RSSequence {
public:
  // The empty sequence when the offset is at (or past) the end.
  static RSSequencePtr sequenceWithString(const std::string& string, uint64_t offset);

  fnd::Value head() const override;
  RSSequencePtr tail() const override;
  fnd::Array array() const override;
  std::string description() const override;

  // The whole string, and the UTF-16 index of the head.
  std::string string() const;
  uint64_t offset() const { return offset_; }

  RSStringSequence(std::shared_ptr<const std::u16string> units, uint64_t offset)
      : units_(std::move(units)), offset_(offset) {}

private:
  const std::shared_ptr<const std::u16string> units_;
  const uint64_t offset_;
};
