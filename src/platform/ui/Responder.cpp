#include "platform/ui/Responder.h"

namespace ui {

#define UI_FORWARD_EVENT(name)                              \
  void Responder::name(Event& e) {                          \
    if (Responder* next = nextResponder()) next->name(e);   \
  }
UI_FORWARD_EVENT(mouseDown)
UI_FORWARD_EVENT(mouseUp)
UI_FORWARD_EVENT(mouseDragged)
UI_FORWARD_EVENT(mouseMoved)
UI_FORWARD_EVENT(mouseEntered)
UI_FORWARD_EVENT(mouseExited)
UI_FORWARD_EVENT(rightMouseUp)
UI_FORWARD_EVENT(rightMouseDragged)
UI_FORWARD_EVENT(otherMouseDown)
UI_FORWARD_EVENT(otherMouseUp)
UI_FORWARD_EVENT(otherMouseDragged)
UI_FORWARD_EVENT(scrollWheel)
UI_FORWARD_EVENT(keyUp)
#undef UI_FORWARD_EVENT

void Responder::rightMouseDown(Event& e) {
  if (Responder* next = nextResponder()) next->rightMouseDown(e);
}

void Responder::keyDown(Event& e) {
  if (Responder* next = nextResponder()) next->keyDown(e);
}

#define UI_FORWARD_ACTION(name)                          \
  void Responder::name() {                               \
    if (Responder* next = nextResponder()) next->name(); \
  }
UI_FORWARD_ACTION(moveLeft)
UI_FORWARD_ACTION(moveRight)
UI_FORWARD_ACTION(moveUp)
UI_FORWARD_ACTION(moveDown)
UI_FORWARD_ACTION(moveLeftAndModifySelection)
UI_FORWARD_ACTION(moveRightAndModifySelection)
UI_FORWARD_ACTION(moveUpAndModifySelection)
UI_FORWARD_ACTION(moveDownAndModifySelection)
UI_FORWARD_ACTION(moveToBeginningOfDocument)
UI_FORWARD_ACTION(moveToEndOfDocument)
UI_FORWARD_ACTION(scrollToBeginningOfDocument)
UI_FORWARD_ACTION(scrollToEndOfDocument)
UI_FORWARD_ACTION(selectAll)
UI_FORWARD_ACTION(insertNewline)
UI_FORWARD_ACTION(insertTab)
UI_FORWARD_ACTION(insertBacktab)
UI_FORWARD_ACTION(cancelOperation)
UI_FORWARD_ACTION(deleteBackward)
#undef UI_FORWARD_ACTION

void Responder::insertText(const std::string& text) {
  if (Responder* next = nextResponder()) next->insertText(text);
}

void Responder::interpretKeyEvents(Event& e) {
  const bool shift = e.modifierFlags() & ShiftKeyMask;
  const bool command = e.modifierFlags() & CommandKeyMask;
  switch (e.keyCode()) {
    case kKeyCodeLeft: shift ? moveLeftAndModifySelection() : moveLeft(); return;
    case kKeyCodeRight: shift ? moveRightAndModifySelection() : moveRight(); return;
    case kKeyCodeUp: shift ? moveUpAndModifySelection() : moveUp(); return;
    case kKeyCodeDown: shift ? moveDownAndModifySelection() : moveDown(); return;
    case kKeyCodeHome: command ? moveToBeginningOfDocument() : scrollToBeginningOfDocument(); return;
    case kKeyCodeEnd: command ? moveToEndOfDocument() : scrollToEndOfDocument(); return;
    case kKeyCodeTab: shift ? insertBacktab() : insertTab(); return;
    case kKeyCodeReturn: insertNewline(); return;
    case kKeyCodeEscape: cancelOperation(); return;
    case kKeyCodeDelete: deleteBackward(); return;
    default: break;
  }
  if (command && (e.characters() == "a" || e.characters() == "A")) {
    selectAll();
    return;
  }
  if (!e.characters().empty() && static_cast<unsigned char>(e.characters()[0]) >= 0x20) {
    insertText(e.characters());
  }
}

}  // namespace ui
