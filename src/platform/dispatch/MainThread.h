// Which thread is the main thread (the one running the GUI loop, or the test
// thread that pumps the manual driver).
#pragma once

namespace dispatch {

// Marks the calling thread as the main thread. Called once by main() before
// the event loop starts, and by the test harnesses.
void setMainThread();
// True on the thread that called setMainThread(); false everywhere before it.
bool isMainThread();

}  // namespace dispatch
