// The keyboard of the X server the tests run under (xvfb-run), pressed
// through the server's test extension: the program gets the key events a
// user's keyboard would give, with the server's own keymap.
//
// Text beyond what the keymap holds (accented letters, other scripts, emoji)
// is typed on spare key codes of the server (those with no symbol or only
// vendor keys), each character given one for good, as a user's own layout
// would have them: the program reads the keymap when it changes, so a key
// once given keeps its character. The keymap is put back when the keyboard
// is closed.
//
// Kept free of Qt and of the X headers. One thread at a time.
#pragma once

#include <string>
#include <vector>

#include "support/XTestDisplay.h"

namespace xtest {

// Key symbols of the X keymap, by value.
namespace keysym {
inline constexpr unsigned long BackSpace = 0xff08, Tab = 0xff09, Return = 0xff0d, Escape = 0xff1b, Delete = 0xffff,
                               Home = 0xff50, Left = 0xff51, Up = 0xff52, Right = 0xff53, Down = 0xff54,
                               PageUp = 0xff55, PageDown = 0xff56, End = 0xff57, F1 = 0xffbe, ShiftL = 0xffe1,
                               ControlL = 0xffe3, AltL = 0xffe9, Space = 0x20;
}  // namespace keysym

class XKeyboard {
public:
  enum Modifier : unsigned { None = 0, Shift = 1, Control = 2, Alt = 4 };

  // Opens the display named by $DISPLAY.
  XKeyboard();
  // Puts the keymap back.
  ~XKeyboard();
  XKeyboard(const XKeyboard&) = delete;
  XKeyboard& operator=(const XKeyboard&) = delete;

  // Empty when the keyboard can be driven, else what is missing.
  const std::string& problem() const { return display_.problem(); }

  // Presses and releases the key of `sym` with the modifiers held; false
  // when the keymap has no such key and no spare key code is left.
  bool tap(unsigned long sym, unsigned modifiers = None);
  // Presses (or releases) the modifier keys alone, as around a click.
  void hold(unsigned modifiers, bool down);
  // Gives each character of the text (UTF-8) that the keymap lacks a key of
  // its own, in one change of the keymap; false when the spare keys ran out.
  bool reserve(const std::string& utf8);
  // Types the characters, each as its own key (reserving what is missing);
  // false when a character could not be given a key.
  bool type(const std::string& utf8);
  // Waits until the server has taken everything sent.
  void flush();
  // Takes the keyboard for this connection, or lets it go. While another
  // program holds it (a window manager does, for a shortcut), Qt's pop-ups
  // get no grab: the pointer's events go to the windows under it, pop-up
  // open or not. False when it could not be taken.
  bool seize(bool take);
  // Gives the input focus to a small window of this connection's own (made
  // once, gone with the keyboard), as a window manager does on a click in
  // another program or on Alt+Tab: the program's windows lose the focus.
  // False when the window could not be shown.
  bool focusOwnWindow();

private:
  struct Key {
    unsigned code = 0;
    bool shifted = false;
  };
  bool keyOf(unsigned long sym, Key& key) const;
  void press(const Key& key, unsigned modifiers);
  std::vector<unsigned> modifierCodes(unsigned modifiers) const;

  XTestDisplay display_;
  int minCode_ = 0, maxCode_ = 0;
  int perCode_ = 0;
  // The server's keymap as found, and as changed.
  std::vector<unsigned long> original_, map_;
  std::vector<unsigned> spares_;
  // Characters given a spare key: their symbol and key code.
  std::vector<std::pair<unsigned long, unsigned>> given_;
  unsigned long window_ = 0;  // the window that takes the focus
};

// The code points of UTF-8 text (a malformed byte stands for itself).
std::vector<char32_t> codePoints(const std::string& utf8);

}  // namespace xtest
