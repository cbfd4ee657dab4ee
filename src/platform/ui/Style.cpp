#include "platform/ui/Style.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

namespace ui {

namespace {

const QColor kAccent(138, 214, 255);
const QColor kDisabledText(120, 120, 120);

}  // namespace

QPalette applicationPalette() {
  QPalette p;
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    p.setColor(group, QPalette::Window, QColor(40, 40, 40));
    p.setColor(group, QPalette::WindowText, Qt::white);
    p.setColor(group, QPalette::Base, QColor(30, 30, 30));
    p.setColor(group, QPalette::AlternateBase, QColor(45, 45, 45));
    p.setColor(group, QPalette::ToolTipBase, QColor(75, 75, 75));
    p.setColor(group, QPalette::ToolTipText, Qt::white);
    p.setColor(group, QPalette::PlaceholderText, QColor(140, 140, 140));
    p.setColor(group, QPalette::Text, Qt::white);
    p.setColor(group, QPalette::Button, QColor(60, 60, 60));
    p.setColor(group, QPalette::ButtonText, Qt::white);
    p.setColor(group, QPalette::BrightText, QColor(255, 90, 90));
    p.setColor(group, QPalette::Light, QColor(99, 100, 100));
    p.setColor(group, QPalette::Midlight, QColor(75, 75, 75));
    p.setColor(group, QPalette::Mid, QColor(50, 50, 50));
    p.setColor(group, QPalette::Dark, QColor(25, 25, 25));
    p.setColor(group, QPalette::Shadow, Qt::black);
    p.setColor(group, QPalette::Highlight, kAccent);
    p.setColor(group, QPalette::HighlightedText, Qt::black);
    p.setColor(group, QPalette::Link, kAccent);
    p.setColor(group, QPalette::LinkVisited, QColor(100, 130, 250));
  }
  for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::HighlightedText})
    p.setColor(QPalette::Disabled, role, kDisabledText);
  p.setColor(QPalette::Disabled, QPalette::Highlight, QColor(80, 80, 80));
  return p;
}

void applyApplicationStyle() {
  // The style first: setting a style installs its own standard palette.
  if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) QApplication::setStyle(fusion);
  QApplication::setPalette(applicationPalette());
}

}  // namespace ui
