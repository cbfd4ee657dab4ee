// The editor's Qt application: creates the QApplication, makes its thread the
// main thread, puts the main queue on Qt's event loop, runs the loop, and
// stops the dispatch runtime (workers, timers, pending work) when quitting.
#pragma once

#include <chrono>
#include <functional>
#include <optional>

namespace ui {

// How long quitting waits for background work to finish.
inline constexpr std::chrono::seconds kQuitBound{2};

// Runs after the set-up, before the event loop. Returns nothing to run the
// loop, or an exit status to quit at once.
using StartFunction = std::function<std::optional<int>()>;

// Returns the exit status.
int runApplication(int& argc, char** argv, const StartFunction& start);

}  // namespace ui
