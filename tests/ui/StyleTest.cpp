#include "platform/ui/Style.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPalette>
#include <QStyle>

namespace ui {
namespace {

QPalette desktopPalette(bool dark) {
  QPalette p;
  const QColor window = dark ? QColor(20, 20, 30) : QColor(245, 245, 245);
  const QColor text = dark ? QColor(230, 230, 230) : QColor(10, 10, 10);
  for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button, QPalette::ToolTipBase})
    p.setColor(role, window);
  for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) p.setColor(role, text);
  p.setColor(QPalette::Highlight, QColor(255, 0, 255));
  return p;
}

// Whatever the desktop hands the application first, the set-up leaves the
// same style and colours, down to a text field and a menu made afterwards.
TEST(StyleTest, FixedPaletteWinsOverTheDesktops) {
  const QPalette fixed = applicationPalette();
  for (bool dark : {false, true}) {
    QApplication::setPalette(desktopPalette(dark));
    applyApplicationStyle();
    EXPECT_EQ(QApplication::style()->name().toLower(), "fusion");
    const QPalette now = QApplication::palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
      for (int role = 0; role < QPalette::NColorRoles; ++role) {
        if (role == QPalette::NoRole) continue;
        const auto r = static_cast<QPalette::ColorRole>(role);
        EXPECT_EQ(now.color(group, r), fixed.color(group, r)) << dark << " group " << group << " role " << role;
      }
    }
    QLineEdit field;
    EXPECT_EQ(field.palette().color(QPalette::Text), QColor(Qt::white));
    EXPECT_EQ(field.palette().color(QPalette::Base), fixed.color(QPalette::Base));
    QMenu menu;
    EXPECT_EQ(menu.palette().color(QPalette::Window), fixed.color(QPalette::Window));
  }
  // Dark look: light text on dark ground, the accent for selections.
  EXPECT_LT(fixed.color(QPalette::Window).lightness(), 80);
  EXPECT_GT(fixed.color(QPalette::WindowText).lightness(), 200);
  EXPECT_EQ(fixed.color(QPalette::Highlight), QColor(138, 214, 255));
}

}  // namespace
}  // namespace ui
