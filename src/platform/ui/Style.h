// The application's one look: the Fusion style and a fixed dark palette in
// the colours of the screens, so that text fields, menus and popovers look
// the same whatever the desktop's light or dark theme says.
#pragma once

class QPalette;

namespace ui {

// The fixed palette (every role, every colour group).
QPalette applicationPalette();
// Sets the style and the palette on the running QApplication. Call once
// after it is created; later desktop theme changes do not override them.
void applyApplicationStyle();

}  // namespace ui
