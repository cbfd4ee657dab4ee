// The receive rules applied literally, looking at the whole queue again from
// its start on every report: the reference the frame reassembler is checked
// against (it must deliver the same frames and keep the same bytes, though it
// skips headers it has already judged). Used by the frame codec tests and,
// with `resume` set, the fuzz target.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "device/codec/FrameCodec.h"

namespace testsupport {

struct LiteralReassembler {
  using Bytes = std::vector<uint8_t>;

  std::vector<Bytes> frames;
  Bytes q;
  // With `resume`, a look that ended with nothing left to do is not made
  // again: the next one starts where it ended, as one from the start would
  // meet the same bytes and verdicts up to there. The fuzz target's queues of
  // 20 KiB cost their length squared otherwise; the codec tests, of short
  // queues, keep to the rules word for word, which checks the reassembler's
  // own skipping.
  bool resume = false;
  size_t lookedAt = 0;    // (with resume) bytes at the queue's start with nothing to do
  bool headSeen = false;    // (with resume) a head byte among them

  size_t next(size_t from) const {
    if (from >= q.size()) return q.size();
    const void* head = std::memchr(q.data() + from, frame::kHead0, q.size() - from);
    return head ? static_cast<size_t>(static_cast<const uint8_t*>(head) - q.data()) : q.size();
  }

  void cut(size_t n) {
    q.erase(q.begin(), q.begin() + static_cast<std::ptrdiff_t>(n));
    lookedAt = 0;
    headSeen = false;
  }
  void clear() { cut(q.size()); }

  void put(const Bytes& bytes) {
    q.insert(q.end(), bytes.begin(), bytes.end());
    size_t p = next(resume ? lookedAt : 0);
    if (p == q.size() && !(resume && headSeen)) return clear();
    while (p != q.size()) {
      headSeen = true;
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
      if (frame::isValid(std::span<const uint8_t>(q).subspan(p, e - p))) {
        frames.emplace_back(q.begin() + static_cast<std::ptrdiff_t>(p), q.begin() + static_cast<std::ptrdiff_t>(e));
        cut(e);
        p = next(0);
      } else {
        p = next(p + 1);
      }
    }
    lookedAt = q.size();
  }
};

}  // namespace testsupport
