#include "platform/ui/TrackingArea.h"

#include "platform/ui/Responder.h"

namespace ui {

TrackingArea::TrackingArea(Rect rect, unsigned options, std::weak_ptr<Responder> owner, fnd::Value userInfo)
    : rect_(rect),
      options_(options),
      owner_(std::move(owner)),
      userInfo_(std::move(userInfo)),
      inside_(options & AssumeInside) {}

std::shared_ptr<TrackingArea> TrackingArea::make(Rect rect, unsigned options, const std::shared_ptr<Responder>& owner,
                                                 fnd::Value userInfo) {
  return std::make_shared<TrackingArea>(rect, options, owner, std::move(userInfo));
}

}  // namespace ui
