#include "layout/collection/CLCollectionViewCell.h"

#include "layout/collection/CLCollectionView.h"
#include "platform/foundation/Log.h"
#include "platform/ui/TrackingArea.h"

CLCollectionViewCell::CLCollectionViewCell(ui::Rect frame) : View(frame) {
  setWantsLayer(true);
  backgroundView_ = View::create<CLCollectionViewCellBackgroundView>(bounds());
  backgroundView_->setAutoresizingMask(ui::ViewWidthSizable | ui::ViewHeightSizable);
  addSubview(backgroundView_, ui::WindowOrderingMode::Below, nullptr);
}

std::string CLCollectionViewCell::description() const {
  const ui::Rect f = frame();
  return fnd::format("<%s: %p; frame = {{%g, %g}, {%g, %g}}; layer = <Layer: %p>>", className().c_str(),
                     static_cast<const void*>(this), f.origin.x, f.origin.y, f.size.width, f.size.height,
                     static_cast<const void*>(&layer()));
}

void CLCollectionViewCell::setCollectionView(const std::shared_ptr<CLCollectionView>& cv) {
  collectionView_ = cv;
  backgroundView_->setCollectionView(cv);
}

void CLCollectionViewCell::setSelected(bool selected, bool animated) {
  if (animated && selected != selected_) backgroundView_->addFadeTransition(crossfadeDuration_);
  setSelected(selected);
}

const std::shared_ptr<ui::View>& CLCollectionViewCell::contentView() {
  if (!contentView_) {
    contentView_ = View::create<ui::View>(bounds());
    configureContentView(contentView_);
  }
  return contentView_;
}

void CLCollectionViewCell::setContentView(std::shared_ptr<ui::View> view) {
  if (contentView_) contentView_->removeFromSuperview();
  contentView_ = std::move(view);
  if (contentView_) configureContentView(contentView_);
}

void CLCollectionViewCell::configureContentView(const std::shared_ptr<ui::View>& view) {
  view->setAutoresizingMask(ui::ViewWidthSizable | ui::ViewHeightSizable);
  view->setWantsLayer(true);
  addSubview(view);
}

void CLCollectionViewCell::prepareForReuse() { backgroundView_->removeAllAnimations(); }

void CLCollectionViewCell::willLayoutWithFrame(const ui::Rect&) {}

void CLCollectionViewCell::didLayoutWithFrame(const ui::Rect&) {}

void CLCollectionViewCell::updateTrackingAreas() {
  View::updateTrackingAreas();
  if (trackingArea_) {
    removeTrackingArea(trackingArea_);
    trackingArea_.reset();
  }
  trackingArea_ = ui::TrackingArea::make(bounds(), kTrackingOptions, sharedFromThis());
  addTrackingArea(trackingArea_);
}

// The collection view is held for the call: a delegate may reload it (and
// drop this cell) from inside.
void CLCollectionViewCell::mouseDown(ui::Event& e) {
  if (auto cv = collectionView()) cv->mouseDownInCollectionViewCell(*this, e);
}

void CLCollectionViewCell::mouseUp(ui::Event& e) {
  auto keep = sharedFromThis();
  if (auto cv = collectionView()) {
    cv->mouseUpInCollectionViewCell(*this, e);
    if (e.clickCount() == 2) cv->doubleClickInCollectionViewCell(*this, e);
  }
}

void CLCollectionViewCell::mouseMoved(ui::Event& e) {
  View::mouseMoved(e);
  if (auto cv = collectionView()) cv->mouseMovedInCollectionViewCell(*this, e);
}

void CLCollectionViewCell::mouseEntered(ui::Event& e) {
  View::mouseEntered(e);
  if (auto cv = collectionView()) cv->mouseEnteredInCollectionViewCell(*this, e);
}

void CLCollectionViewCell::mouseExited(ui::Event& e) {
  View::mouseExited(e);
  if (auto cv = collectionView()) cv->mouseExitedInCollectionViewCell(*this, e);
}

void CLCollectionViewCell::mouseDragged(ui::Event& e) {
  View::mouseDragged(e);
  if (auto cv = collectionView()) cv->mouseDraggedInCollectionViewCell(*this, e);
}

void CLCollectionViewCell::rightMouseDown(ui::Event& e) {
  View::rightMouseDown(e);
  if (auto cv = collectionView()) cv->rightClickInCollectionViewCell(*this, e);
}

void CLCollectionViewCell::rightMouseUp(ui::Event&) {}
