#pragma once
// Menus: a titled list of items (title, enabled flag, action, tag), shown as a
// context menu for a view. The delegate hears menuWillOpen before the menu
// shows (it may retitle and enable items then) and menuDidClose after it
// closes, before the chosen item's action runs.
//
// Main thread only.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Value.h"
#include "platform/ui/Geometry.h"

class QMenu;

namespace ui {

class Event;
class Menu;
class View;

class MenuItem {
public:
  using Action = std::function<void(MenuItem&)>;
  MenuItem(std::string title, Action action, std::string keyEquivalent = "");
  static std::shared_ptr<MenuItem> separatorItem();

  const std::string& title() const { return title_; }
  void setTitle(std::string t) { title_ = std::move(t); }
  bool isEnabled() const { return enabled_; }
  void setEnabled(bool e) { enabled_ = e; }
  bool isSeparatorItem() const { return separator_; }
  const Action& action() const { return action_; }
  void setAction(Action a) { action_ = std::move(a); }
  const std::string& keyEquivalent() const { return keyEquivalent_; }
  int tag() const { return tag_; }
  void setTag(int t) { tag_ = t; }
  const fnd::Value& representedObject() const { return represented_; }
  void setRepresentedObject(fnd::Value v) { represented_ = std::move(v); }
  Menu* menu() const { return menu_; }

private:
  friend class Menu;
  std::string title_;
  Action action_;
  std::string keyEquivalent_;
  bool enabled_ = true;
  bool separator_ = false;
  int tag_ = 0;
  fnd::Value represented_;
  Menu* menu_ = nullptr;
};

class MenuDelegate {
public:
  virtual ~MenuDelegate() = default;
  virtual void menuWillOpen(Menu&) {}
  virtual void menuDidClose(Menu&) {}
};

class Menu : public std::enable_shared_from_this<Menu> {
public:
  explicit Menu(std::string title = "");
  ~Menu();

  const std::string& title() const { return title_; }
  void setTitle(std::string t) { title_ = std::move(t); }
  const std::vector<std::shared_ptr<MenuItem>>& items() const { return items_; }
  size_t numberOfItems() const { return items_.size(); }
  void addItem(std::shared_ptr<MenuItem> item);
  std::shared_ptr<MenuItem> addItemWithTitle(std::string title, MenuItem::Action action,
                                             std::string keyEquivalent = "");
  void insertItem(std::shared_ptr<MenuItem> item, size_t index);
  void removeItem(const std::shared_ptr<MenuItem>& item);
  void removeAllItems();
  std::shared_ptr<MenuItem> itemAtIndex(size_t index) const;
  std::shared_ptr<MenuItem> itemWithTitle(const std::string& title) const;
  // -1 when absent.
  int indexOfItem(const MenuItem* item) const;

  // When true, items with no action are shown disabled; when false each
  // item's own flag holds.
  bool autoenablesItems() const { return autoenables_; }
  void setAutoenablesItems(bool a) { autoenables_ = a; }
  void setDelegate(std::weak_ptr<MenuDelegate> d) { delegate_ = std::move(d); }
  std::shared_ptr<MenuDelegate> delegate() const { return delegate_.lock(); }
  bool isOpen() const { return open_; }

  // Shows the menu at the event's location in `view` and waits for a choice.
  // Returns the chosen item, or null.
  static std::shared_ptr<MenuItem> popUpContextMenu(const std::shared_ptr<Menu>& menu, const Event& e, View& view);
  // The same at `location` in the view's coordinates.
  std::shared_ptr<MenuItem> popUpAt(Point location, View& view);

private:
  bool itemShownEnabled(const MenuItem& item) const;

  std::string title_;
  std::vector<std::shared_ptr<MenuItem>> items_;
  bool autoenables_ = true;
  bool open_ = false;
  std::weak_ptr<MenuDelegate> delegate_;
};

}  // namespace ui
