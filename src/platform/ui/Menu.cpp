#include "platform/ui/Menu.h"

#include <QAction>
#include <QMenu>
#include <QPointer>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "platform/ui/Event.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"

namespace ui {

MenuItem::MenuItem(std::string title, Action action, std::string keyEquivalent)
    : title_(std::move(title)), action_(std::move(action)), keyEquivalent_(std::move(keyEquivalent)) {}

std::shared_ptr<MenuItem> MenuItem::separatorItem() {
  auto item = std::make_shared<MenuItem>("", nullptr);
  item->separator_ = true;
  item->enabled_ = false;
  return item;
}

Menu::Menu(std::string title) : title_(std::move(title)) {}

Menu::~Menu() {
  for (auto& i : items_) i->menu_ = nullptr;
}

void Menu::addItem(std::shared_ptr<MenuItem> item) { insertItem(std::move(item), items_.size()); }

std::shared_ptr<MenuItem> Menu::addItemWithTitle(std::string title, MenuItem::Action action,
                                                 std::string keyEquivalent) {
  auto item = std::make_shared<MenuItem>(std::move(title), std::move(action), std::move(keyEquivalent));
  addItem(item);
  return item;
}

void Menu::insertItem(std::shared_ptr<MenuItem> item, size_t index) {
  if (!item || item->menu_) return;  // an item belongs to one menu
  item->menu_ = this;
  items_.insert(items_.begin() + std::ptrdiff_t(std::min(index, items_.size())), std::move(item));
}

void Menu::removeItem(const std::shared_ptr<MenuItem>& item) {
  auto it = std::find(items_.begin(), items_.end(), item);
  if (it == items_.end()) return;
  (*it)->menu_ = nullptr;
  items_.erase(it);
}

void Menu::removeAllItems() {
  for (auto& i : items_) i->menu_ = nullptr;
  items_.clear();
}

std::shared_ptr<MenuItem> Menu::itemAtIndex(size_t index) const {
  return index < items_.size() ? items_[index] : nullptr;
}

std::shared_ptr<MenuItem> Menu::itemWithTitle(const std::string& title) const {
  for (auto& i : items_)
    if (i->title() == title) return i;
  return nullptr;
}

int Menu::indexOfItem(const MenuItem* item) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i].get() == item) return int(i);
  return -1;
}

bool Menu::itemShownEnabled(const MenuItem& item) const {
  if (item.isSeparatorItem()) return false;
  if (autoenables_) return bool(item.action());
  return item.isEnabled();
}

std::shared_ptr<MenuItem> Menu::popUpContextMenu(const std::shared_ptr<Menu>& menu, const Event& e, View& view) {
  if (!menu) return nullptr;
  return menu->popUpAt(e.locationInView(view), view);
}

std::shared_ptr<MenuItem> Menu::popUpAt(Point location, View& view) {
  if (open_) return nullptr;
  auto self = shared_from_this();
  auto viewKeep = view.sharedFromThis();
  // The window the menu opens over; it may close while the menu runs its loop.
  Window* const openedOver = view.window();
  const std::weak_ptr<Window> openedIn = openedOver ? openedOver->weakFromThis() : std::weak_ptr<Window>();
  open_ = true;
  if (auto d = delegate()) d->menuWillOpen(*this);

  // Owned here, and gone if its parent widget goes during the loop.
  const QPointer<QMenu> qmenu = new QMenu(view.widget());
  qmenu->setObjectName(QString::fromStdString(title_));
  std::vector<std::shared_ptr<MenuItem>> shown = items_;  // the delegate may have changed them
  std::vector<QAction*> actions;
  for (auto& item : shown) {
    QAction* a = item->isSeparatorItem() ? qmenu->addSeparator() : qmenu->addAction(QString::fromStdString(item->title()));
    a->setEnabled(itemShownEnabled(*item));
    actions.push_back(a);
  }
  // The location's place on screen: views are y-up, widgets y-down.
  const Point inWindow = view.convertPointToView(location, nullptr);
  QWidget* top = view.widget()->window();
  const QPoint global = top->mapToGlobal(QPoint(int(std::lround(inWindow.x)), int(std::lround(top->height() - inWindow.y))));
  QAction* chosen = qmenu->exec(global);

  std::shared_ptr<MenuItem> choice;
  if (qmenu) {
    for (size_t i = 0; i < actions.size(); ++i)
      if (actions[i] == chosen) choice = shown[i];
    delete qmenu.data();
  }
  // A choice made over a window that went meanwhile (or that the view left)
  // is not acted on.
  if (openedOver && (openedIn.expired() || view.window() != openedOver)) choice = nullptr;
  open_ = false;
  if (auto d = delegate()) d->menuDidClose(*this);
  if (choice && choice->action() && indexOfItem(choice.get()) >= 0) choice->action()(*choice);
  return choice;
}

}  // namespace ui
