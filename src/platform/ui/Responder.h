#pragma once
// The responder chain shared by views and windows: every event handler and
// standard action passes the event on to nextResponder() unless a subclass
// handles it, so an unhandled click or key climbs from a view through its
// superviews to the window.
//
// Main thread only.

#include "platform/foundation/Object.h"
#include "platform/ui/Event.h"

namespace ui {

class Responder : public fnd::Object {
public:
  virtual Responder* nextResponder() const { return nullptr; }
  bool requiresMainThread() const override { return true; }

  virtual void mouseDown(Event& e);
  virtual void mouseUp(Event& e);
  virtual void mouseDragged(Event& e);
  virtual void mouseMoved(Event& e);
  virtual void mouseEntered(Event& e);
  virtual void mouseExited(Event& e);
  virtual void rightMouseDown(Event& e);
  virtual void rightMouseUp(Event& e);
  virtual void rightMouseDragged(Event& e);
  virtual void otherMouseDown(Event& e);
  virtual void otherMouseUp(Event& e);
  virtual void otherMouseDragged(Event& e);
  virtual void scrollWheel(Event& e);
  virtual void keyDown(Event& e);
  virtual void keyUp(Event& e);

  virtual bool acceptsFirstResponder() const { return false; }
  virtual bool becomeFirstResponder() { return true; }
  virtual bool resignFirstResponder() { return true; }

  // Turns key presses into the standard actions below (arrows, Home, End,
  // Tab, Return, Escape, Delete) or insertText for printable characters.
  virtual void interpretKeyEvents(Event& e);

  // Standard actions; each passes itself up the chain unless handled.
  virtual void moveLeft();
  virtual void moveRight();
  virtual void moveUp();
  virtual void moveDown();
  virtual void moveLeftAndModifySelection();
  virtual void moveRightAndModifySelection();
  virtual void moveUpAndModifySelection();
  virtual void moveDownAndModifySelection();
  virtual void moveToBeginningOfDocument();
  virtual void moveToEndOfDocument();
  virtual void scrollToBeginningOfDocument();
  virtual void scrollToEndOfDocument();
  virtual void selectAll();
  virtual void insertNewline();
  virtual void insertTab();
  virtual void insertBacktab();
  virtual void cancelOperation();
  virtual void deleteBackward();
  virtual void insertText(const std::string& text);

protected:
  Responder() = default;
};

}  // namespace ui
