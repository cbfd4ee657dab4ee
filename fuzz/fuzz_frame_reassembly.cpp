// Reassembly of input reports into frames, fed arbitrary bytes cut at
// arbitrary points. Checks that it never crashes, delivers only whole frames
// with a good CRC, keeps its queue bounded, and agrees with the receive rules
// applied literally (tests/support/LiteralReassembler.h, resuming where its
// last look ended). Each report's check costs what that report brought: the
// frames it delivered and the queue's size; the queue's bytes are compared at
// the end (both hold the end of the same stream: while each keeps the bytes it
// was given, equal sizes mean equal bytes).
//
// Input: a sequence of [n] [n bytes] chunks; each chunk is one report's frame
// bytes (n taken modulo 64).
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "device/codec/FrameCodec.h"
#include "support/LiteralReassembler.h"

namespace {

using Bytes = std::vector<uint8_t>;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  frame::Reassembler reassembler;
  testsupport::LiteralReassembler literal;
  literal.resume = true;
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
    frames.clear();
    literal.frames.clear();
    // Beyond its bound the reassembler drops bytes that can never start a
    // frame; below it, it keeps exactly what the literal rules keep.
    if (literal.q.size() <= frame::kQueueLimit && reassembler.size() != literal.q.size()) std::abort();
    if (literal.q.size() > frame::kQueueLimit) literal.clear();
  }
  if (reassembler.queue() != literal.q) std::abort();
  return 0;
}
