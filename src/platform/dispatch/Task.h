// The basic vocabulary of the dispatch layer: a unit of work, the clock that
// deadlines are measured on, and the priorities of the global queues.
#pragma once

#include <chrono>
#include <functional>

namespace dispatch {

using Task = std::function<void()>;
using Clock = std::chrono::steady_clock;

enum class Priority { High, Default, Low, Background };

inline constexpr int kPriorityCount = 4;

}  // namespace dispatch
