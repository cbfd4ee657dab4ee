#include "support/XPointer.h"

#ifdef QV450_HAVE_XTEST
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#endif

namespace xtest {

#ifdef QV450_HAVE_XTEST

void XPointer::moveTo(int x, int y, unsigned afterMs) {
  if (display_) XTestFakeMotionEvent(display_.as<Display>(), -1, x, y, afterMs);
}

void XPointer::press(Button b, unsigned afterMs) {
  if (display_) XTestFakeButtonEvent(display_.as<Display>(), static_cast<unsigned>(b), True, afterMs);
}

void XPointer::release(Button b, unsigned afterMs) {
  if (display_) XTestFakeButtonEvent(display_.as<Display>(), static_cast<unsigned>(b), False, afterMs);
}

void XPointer::flush() {
  if (display_) XSync(display_.as<Display>(), False);
}

#else

void XPointer::moveTo(int, int, unsigned) {}
void XPointer::press(Button, unsigned) {}
void XPointer::release(Button, unsigned) {}
void XPointer::flush() {}

#endif

}  // namespace xtest
