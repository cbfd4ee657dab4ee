#pragma once
// Controllers of a view and of a window. A view controller's view is made on
// first use: from the layout registered under its layout name, or by
// loadView(); then viewDidLoad runs. A window controller's window comes the
// same way, then windowDidLoad runs.
//
// Main thread only.

#include <memory>
#include <string>

#include "platform/foundation/Object.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"

namespace ui {

class ViewController : public fnd::Object {
public:
  ViewController() = default;
  // With the name of a registered layout whose owner this controller is.
  explicit ViewController(std::string layoutName) : layoutName_(std::move(layoutName)) {}
  std::string className() const override { return "ViewController"; }

  // Made on first use.
  std::shared_ptr<View> view();
  bool isViewLoaded() const { return bool(view_); }
  void setView(std::shared_ptr<View> v) { view_ = std::move(v); }
  const std::string& layoutName() const { return layoutName_; }
  fnd::Value representedObject() const { return represented_; }
  virtual void setRepresentedObject(const fnd::Value& v) { represented_ = v; }

  // Makes the view when no layout set it: the default makes an empty one.
  virtual void loadView();
  virtual void viewDidLoad() {}
  virtual void awakeFromNib() {}

private:
  std::string layoutName_;
  std::shared_ptr<View> view_;
  fnd::Value represented_;
  bool loading_ = false;
};

class WindowController : public fnd::Object {
public:
  WindowController() = default;
  explicit WindowController(std::string layoutName) : layoutName_(std::move(layoutName)) {}
  explicit WindowController(std::shared_ptr<Window> window);
  ~WindowController() override;
  std::string className() const override { return "WindowController"; }

  std::shared_ptr<Window> window();
  void setWindow(std::shared_ptr<Window> w);
  bool isWindowLoaded() const { return bool(window_); }
  std::shared_ptr<ViewController> contentViewController() const { return content_; }
  // Puts the controller's view in the window.
  void setContentViewController(std::shared_ptr<ViewController> vc);

  virtual void loadWindow();
  virtual void windowDidLoad() {}
  virtual void awakeFromNib() {}
  void showWindow();
  void close();

private:
  std::string layoutName_;
  std::shared_ptr<Window> window_;
  std::shared_ptr<ViewController> content_;
  bool loading_ = false;
};

}  // namespace ui
