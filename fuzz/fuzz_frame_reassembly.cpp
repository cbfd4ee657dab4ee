// Reassembly of input reports into frames, fed arbitrary bytes cut at
// arbitrary points. Checks that it never crashes, delivers only whole frames
// with a good CRC, keeps its queue bounded, and agrees with the receive rules
// applied literally (rescanning the whole queue on every report).
//
// Input: a sequence of [n] [n bytes] chunks; each chunk is one report's frame
// bytes (n taken modulo 64).
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <vector>

#include "device/FrameCodec.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Literal {
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  frame::Reassembler reassembler;
  Literal literal;
  std::vector<Bytes> frames;
  size_t at = 0;
  while (at < size) {
    const size_t n = std::min<size_t>(data[at] % frame::kReportSize, size - at - 1);
    const Bytes chunk(data + at + 1, data + at + 1 + n);
    at += 1 + n;
    reassembler.put(chunk, [&](std::span<const uint8_t> f) {
      if (!frame::isValid(f)) std::abort();
      frames.emplace_back(f.begin(), f.end());
    });
    if (reassembler.size() > frame::kQueueLimit + frame::kReportSize) std::abort();
    literal.put(chunk);
    if (frames != literal.frames) std::abort();
    // Beyond its bound the reassembler drops bytes that can never start a
    // frame; below it, it keeps exactly what the literal rules keep.
    if (literal.q.size() <= frame::kQueueLimit && reassembler.queue() != Bytes(literal.q.begin(), literal.q.end()))
      std::abort();
    if (literal.q.size() > frame::kQueueLimit) literal.q.clear();
  }
  return 0;
}
