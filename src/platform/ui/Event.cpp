#include "platform/ui/Event.h"

#include <QGuiApplication>

#include "platform/ui/View.h"

namespace ui {

Event::Event(EventType type, Point locationInWindow, Window* window)
    : type_(type), location_(locationInWindow), window_(window) {}

bool Event::isMouseDown() const {
  return type_ == EventType::LeftMouseDown || type_ == EventType::RightMouseDown ||
         type_ == EventType::OtherMouseDown;
}

bool Event::isMouseUp() const {
  return type_ == EventType::LeftMouseUp || type_ == EventType::RightMouseUp ||
         type_ == EventType::OtherMouseUp;
}

bool Event::isDragged() const {
  return type_ == EventType::LeftMouseDragged || type_ == EventType::RightMouseDragged ||
         type_ == EventType::OtherMouseDragged;
}

Point Event::locationInView(const View& view) const {
  return view.convertPointFromView(location_, nullptr);
}

unsigned Event::pressedMouseButtons() {
  const Qt::MouseButtons b = QGuiApplication::mouseButtons();
  unsigned out = 0;
  if (b & Qt::LeftButton) out |= 1;
  if (b & Qt::RightButton) out |= 2;
  if (b & Qt::MiddleButton) out |= 4;
  return out;
}

}  // namespace ui
