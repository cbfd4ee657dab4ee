// The pointer of the X server the tests run under (xvfb-run), moved and
// clicked through the server's test extension, so that the program gets the
// same events as from a user's mouse: the server stamps them, and Qt makes
// its double clicks and grabs from them as it does for real input.
//
// Kept free of Qt and of the X headers (whose macros clash with Qt's), so
// that any test may include it. Coordinates are the screen's (y down).
#pragma once

#include <string>

#include "support/XTestDisplay.h"

namespace xtest {

class XPointer {
public:
  // The wheel's notches come as presses of buttons 4 to 7.
  enum Button { Left = 1, Middle = 2, Right = 3, WheelUp = 4, WheelDown = 5, WheelLeft = 6, WheelRight = 7 };

  // Empty when the pointer can be driven, else what is missing.
  const std::string& problem() const { return display_.problem(); }

  // Each call queues one event; the server makes it `afterMs` after the one
  // before, by its own clock. flush() sends what is queued.
  void moveTo(int x, int y, unsigned afterMs = 0);
  void press(Button b, unsigned afterMs = 0);
  void release(Button b, unsigned afterMs = 0);
  void flush();

private:
  XTestDisplay display_;
};

}  // namespace xtest
