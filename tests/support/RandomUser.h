// A user who does random things with the real mouse and keyboard of the X
// server the tests run under: clicks, double and triple clicks, right and
// middle clicks, long presses, drags, wheel turns, hovering, single keys
// with and without modifiers, and typed text with characters from many
// scripts, now and then several actions in a burst. Most of its aims go at
// what the program shows (the front surface first: an open menu's items, a
// popover, a screen over the window; then buttons, other controls, fields,
// any view), the rest anywhere in the program's windows or on the screen.
//
// It runs on a thread of its own, so that the program's thread only turns
// its event loop, as with a person at the keyboard; before each action it
// asks the program what it shows (Look, answered on the program's thread).
// The seed fixes the choices; the program's timing still decides what each
// one meets.
//
// Kept free of Qt. Coordinates are the screen's (y down).
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/XKeyboard.h"
#include "support/XPointer.h"

namespace xtest {

struct Area {
  int x = 0, y = 0, w = 0, h = 0;
  bool empty() const { return w <= 0 || h <= 0; }
};

// What the program shows, by kind of target.
struct Scene {
  Area screen;
  std::vector<Area> windows;   // its visible windows
  std::vector<Area> views;     // every visible view
  std::vector<Area> buttons;   // buttons and switches
  std::vector<Area> controls;  // what else acts on the pointer: knobs, sliders, lists and their rows
  std::vector<Area> fields;    // what takes text
  std::vector<Area> front;     // the parts of the frontmost surface, when one is open
};

class RandomUser {
public:
  // What the program shows now; nothing when it did not answer in time.
  using Look = std::function<std::optional<Scene>()>;

  enum Kind { Click, DoubleClick, TripleClick, RightClick, MiddleClick, LongPress, Drag, Wheel, Hover, Key, Text, kKinds };

  RandomUser(uint64_t seed, Look look);
  ~RandomUser();
  RandomUser(const RandomUser&) = delete;
  RandomUser& operator=(const RandomUser&) = delete;

  // Empty when the mouse and keyboard can be driven, else what is missing.
  std::string problem() const;

  void start();
  // Ends the action under way, lets go of every button and key, and stops.
  void stop();

  uint64_t actions() const { return actions_.load(); }
  // How many of each kind, as "click 120, drag 30, ...".
  std::string summary() const;
  // The last actions, oldest first, one a line, with their time from the
  // start. Safe to call from any thread, also while another thread dies:
  // gives up rather than wait for the log.
  std::string recent() const;

  // Text to type: letters, digits and signs, with characters of other
  // scripts, combining marks, joiners and emoji among them.
  static std::string randomText(std::mt19937_64& rng);

private:
  struct Point {
    int x, y;
  };
  void run();
  void act(const Scene& scene);
  Point aim(const Scene& scene);
  Point inside(const Area& a);
  Point aimAtField(const Scene& scene);
  void moveTo(Point p);
  void click(XPointer::Button button, Point p, int count, unsigned modifiers);
  void drag(Point from, Point to, XPointer::Button button);
  void note(Kind kind, const std::string& what);
  void pauseMs(int from, int to);
  int between(int from, int to);
  bool chance(int percent) { return between(0, 99) < percent; }

  Look look_;
  std::mt19937_64 rng_;
  XPointer pointer_;
  XKeyboard keyboard_;
  std::thread thread_;
  std::atomic<bool> stopping_{false};
  std::atomic<uint64_t> actions_{0};
  std::atomic<uint64_t> counts_[kKinds] = {};
  std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();

  mutable std::timed_mutex logMutex_;
  std::deque<std::string> log_;
};

}  // namespace xtest
