#include "support/XPointer.h"

#ifdef QV450_HAVE_XTEST
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#endif

namespace xtest {

#ifdef QV450_HAVE_XTEST

namespace {
Display* dpy(void* d) { return static_cast<Display*>(d); }
}  // namespace

XPointer::XPointer() {
  Display* d = XOpenDisplay(nullptr);
  if (!d) {
    problem_ = "no X display (run the test under xvfb-run)";
    return;
  }
  int event = 0, error = 0, major = 0, minor = 0;
  if (!XTestQueryExtension(d, &event, &error, &major, &minor)) {
    problem_ = "the X server has no test extension";
    XCloseDisplay(d);
    return;
  }
  display_ = d;
}

XPointer::~XPointer() {
  if (display_) XCloseDisplay(dpy(display_));
}

void XPointer::moveTo(int x, int y, unsigned afterMs) {
  if (display_) XTestFakeMotionEvent(dpy(display_), -1, x, y, afterMs);
}

void XPointer::press(Button b, unsigned afterMs) {
  if (display_) XTestFakeButtonEvent(dpy(display_), static_cast<unsigned>(b), True, afterMs);
}

void XPointer::release(Button b, unsigned afterMs) {
  if (display_) XTestFakeButtonEvent(dpy(display_), static_cast<unsigned>(b), False, afterMs);
}

void XPointer::flush() {
  if (display_) XSync(dpy(display_), False);
}

#else

XPointer::XPointer() : problem_("built without the X test extension (libxtst-dev; scripts/install-deps.sh)") {}
XPointer::~XPointer() = default;
void XPointer::moveTo(int, int, unsigned) {}
void XPointer::press(Button, unsigned) {}
void XPointer::release(Button, unsigned) {}
void XPointer::flush() {}

#endif

}  // namespace xtest
