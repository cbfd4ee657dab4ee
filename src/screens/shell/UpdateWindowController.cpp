#include "screens/shell/UpdateWindowController.h"

#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/TextField.h"
#include "platform/ui/Window.h"

UpdateWindowController::UpdateWindowController() : RootWindowConroller(kLayout) {}

void UpdateWindowController::loadWindow() {
  auto window = ui::Window::create(ui::Rect(0, 0, kWidth, kHeight), ui::Window::Titled | ui::Window::Closable);
  auto content = ui::View::create(ui::Rect(0, 0, kWidth, kHeight));
  content->setWantsLayer(true);
  content->layer().setBackgroundColor(ui::Color::rgb255(40, 40, 40));
  auto label = ui::TextField::labelWithString(kNotYetText);
  label->setTextColor(ui::Color::whiteColor());
  label->setFont(ui::Font::systemFontOfSize(16));
  label->setAlignment(ui::TextAlignment::Center);
  label->setFrame(ui::Rect(20, kHeight / 2 - 30, kWidth - 40, 60));
  content->addSubview(label);
  window->setContentView(content);
  setWindow(window);
}
