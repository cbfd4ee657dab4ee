// The receive rules applied literally, rescanning the whole queue on every
// report: the reference the frame reassembler is checked against (it must
// deliver the same frames and keep the same bytes, though it skips headers it
// has already judged). Used by the frame codec tests and the fuzz target.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "device/codec/FrameCodec.h"

namespace testsupport {

struct LiteralReassembler {
  using Bytes = std::vector<uint8_t>;

  std::vector<Bytes> frames;
  std::deque<uint8_t> q;

  size_t next(size_t from) const {
    for (size_t i = from; i < q.size(); ++i)
      if (q[i] == frame::kHead0) return i;
    return q.size();
  }

  void cut(size_t n) { q.erase(q.begin(), q.begin() + static_cast<std::ptrdiff_t>(n)); }

  void put(const Bytes& bytes) {
    q.insert(q.end(), bytes.begin(), bytes.end());
    size_t p = next(0);
    if (p == q.size()) {
      q.clear();
      return;
    }
    while (p != q.size()) {
      if (p == q.size() - 1) return cut(p);
      if (q[p + 1] != frame::kHead1) {
        p = next(p + 1);
        continue;
      }
      if (q.size() - p < 4) return cut(p);
      const size_t length = q[p + 2] | (q[p + 3] << 8);
      if (length == 0 || length > frame::kMaxLength) {
        p = next(p + 1);
        continue;
      }
      const size_t e = p + length + frame::kOverhead;
      if (q.size() < e) return cut(p);
      Bytes f(q.begin() + static_cast<std::ptrdiff_t>(p), q.begin() + static_cast<std::ptrdiff_t>(e));
      if (frame::isValid(f)) {
        cut(e);
        frames.push_back(std::move(f));
        p = next(0);
      } else {
        p = next(p + 1);
      }
    }
  }
};

}  // namespace testsupport
