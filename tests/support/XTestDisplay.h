// The connection to the X server the tests run under (xvfb-run), named by
// $DISPLAY and kept only when the server has the test extension, which the
// real pointer and keyboard are driven through.
//
// Kept free of the X headers: the display is handed out as the type the
// caller names (`as<Display>()`), so that tests including Qt may include it.
#pragma once

#include <string>

namespace xtest {

class XTestDisplay {
public:
  XTestDisplay();
  ~XTestDisplay();
  XTestDisplay(const XTestDisplay&) = delete;
  XTestDisplay& operator=(const XTestDisplay&) = delete;

  explicit operator bool() const { return display_ != nullptr; }
  // Null when there is no usable display.
  template <class Display>
  Display* as() const {
    return static_cast<Display*>(display_);
  }
  // Empty when the display can be driven, else what is missing.
  const std::string& problem() const { return problem_; }

private:
  void* display_ = nullptr;
  std::string problem_;
};

}  // namespace xtest
