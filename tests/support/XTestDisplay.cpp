#include "support/XTestDisplay.h"

#ifdef QV450_HAVE_XTEST
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#endif

namespace xtest {

#ifdef QV450_HAVE_XTEST

XTestDisplay::XTestDisplay() {
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

XTestDisplay::~XTestDisplay() {
  if (display_) XCloseDisplay(as<Display>());
}

#else

XTestDisplay::XTestDisplay() : problem_("built without the X test extension (libxtst-dev; scripts/install-deps.sh)") {}
XTestDisplay::~XTestDisplay() = default;

#endif

}  // namespace xtest
