// A modal alert: a message, an optional informative text, a style and
// buttons; running it returns the pressed button's code
// (AlertFirstButtonReturn for the first). Shown through the platform
// handlers, so tests answer it without a dialog.
#pragma once

#include <string>
#include <vector>

#include "platform/ui/PlatformHandlers.h"

namespace ui {

class Alert {
public:
  void setMessageText(std::string text) { request_.messageText = std::move(text); }
  const std::string& messageText() const { return request_.messageText; }
  void setInformativeText(std::string text) { request_.informativeText = std::move(text); }
  const std::string& informativeText() const { return request_.informativeText; }
  void setAlertStyle(AlertStyle style) { request_.style = style; }
  AlertStyle alertStyle() const { return request_.style; }
  void addButtonWithTitle(std::string title) { request_.buttons.push_back(std::move(title)); }
  const std::vector<std::string>& buttons() const { return request_.buttons; }

  // Main thread. An alert without buttons gets one titled "OK". A code from
  // the handler that names no button counts as the first button.
  long runModal() const;

private:
  AlertRequest request_;
};

}  // namespace ui
