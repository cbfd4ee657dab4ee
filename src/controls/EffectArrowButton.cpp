#include "controls/EffectArrowButton.h"

EffectArrowButton::EffectArrowButton(ui::FromLayout, ui::Rect frame) : ui::Button(frame), fromLayout_(true) {
  setWantsLayer(true);
}

void EffectArrowButton::updateTrackingAreas() {
  ui::Button::updateTrackingAreas();
  if (!fromLayout_) return;
  keepTrackingAreaOverBounds(area_, ui::TrackingArea::MouseEnteredAndExited | ui::TrackingArea::ActiveInKeyWindow | ui::TrackingArea::ActiveInActiveApp);
}

void EffectArrowButton::report(long kind, ui::Event& e) {
  if (arrowMouseAction) arrowMouseAction(kind, e);
}

void EffectArrowButton::mouseEntered(ui::Event& e) { report(Entered, e); }
void EffectArrowButton::mouseDown(ui::Event& e) { report(Down, e); }
void EffectArrowButton::mouseUp(ui::Event& e) { report(Up, e); }
