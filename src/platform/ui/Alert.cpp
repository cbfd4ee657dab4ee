#include "platform/ui/Alert.h"

namespace ui {

long Alert::runModal() const {
  AlertRequest request = request_;
  if (request.buttons.empty()) request.buttons.push_back("OK");
  const auto& handler = platformHandlers().runAlert;
  const long code = handler ? handler(request) : realPlatform::runAlert(request);
  const long last = AlertFirstButtonReturn + static_cast<long>(request.buttons.size()) - 1;
  return code >= AlertFirstButtonReturn && code <= last ? code : AlertFirstButtonReturn;
}

}  // namespace ui
