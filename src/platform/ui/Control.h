#pragma once
// ui::Control: a view that turns the user's input into an action sent to a
// target, and draws itself through a cell.
//
//  - Target and action: the action is a function of the sender. It runs when
//    the target is alive, or when no target was ever set; a target that has
//    gone makes sendAction() do nothing. The action's name tells actions
//    apart (a binding checks whether it already owns the control's action).
//  - Enabled is the control's own flag (key "enabled", observable): the
//    widget stays enabled, so a disabled control still gets its events. The
//    default mouse handlers of a disabled control pass presses, drags and
//    releases on to the next responder; subclasses that override them decide
//    for themselves.
//  - Values: string, double, float and integer readings of one value, kept
//    by the cell as text unless a subclass keeps a number.
//  - Not flipped by default.
//
// Main thread only (checked at the entry points: MainThreadCheck.h).

#include <functional>
#include <memory>
#include <string>

#include "platform/ui/Cell.h"
#include "platform/ui/View.h"

namespace ui {

class Control : public View {
public:
  using ActionFn = std::function<void(Control& sender)>;

  Control();
  explicit Control(Rect frame);
  ~Control() override;

  std::string className() const override { return "Control"; }

  // ---- target and action
  std::shared_ptr<fnd::Object> target() const { return target_.lock(); }
  bool hasTarget() const { return targetSet_; }
  // A null target clears it.
  void setTarget(const std::shared_ptr<fnd::Object>& target);
  const ActionFn& action() const { return action_; }
  const std::string& actionName() const { return actionName_; }
  void setAction(ActionFn fn, std::string name = "");
  // True when the action ran.
  virtual bool sendAction();
  bool isContinuous() const { return continuous_; }
  void setContinuous(bool c) { continuous_ = c; }

  // ---- state
  bool isEnabled() const { return enabled_; }
  virtual void setEnabled(bool enabled);
  const std::shared_ptr<Cell>& cell() const { return cell_; }
  void setCell(std::shared_ptr<Cell> cell);

  // ---- values
  virtual std::string stringValue() const;
  virtual void setStringValue(const std::string& s);
  virtual double doubleValue() const;
  virtual void setDoubleValue(double v);
  float floatValue() const { return float(doubleValue()); }
  virtual void setFloatValue(float v) { setDoubleValue(v); }
  long integerValue() const;
  void setIntegerValue(long v) { setDoubleValue(double(v)); }

  Font font() const;
  void setFont(const Font& f);
  TextAlignment alignment() const;
  void setAlignment(TextAlignment a);

  // ---- events: a disabled control passes these on.
  void mouseDown(Event& e) override;
  void mouseDragged(Event& e) override;
  void mouseUp(Event& e) override;

  void drawRect(GraphicsContext& ctx, const Rect& dirty) override;

  // Numbers as text: the shortest text that reads back as the same double
  // ("100", "0.5"); and the leading number of a text, 0 when there is none
  // (blanks, a sign, digits, one point and an exponent; the rest is ignored).
  static std::string shortestText(double v);
  static double leadingNumber(const std::string& s);

protected:
  fnd::Value valueForUndefinedKey(std::string_view key) const override;
  bool setValueForUndefinedKey(std::string_view key, const fnd::Value& v) override;
  // Called by setFont so that sized controls can update.
  virtual void fontDidChange() {}

private:
  std::weak_ptr<fnd::Object> target_;
  bool targetSet_ = false;
  ActionFn action_;
  std::string actionName_;
  bool continuous_ = false;
  bool enabled_ = true;
  std::shared_ptr<Cell> cell_;
};

}  // namespace ui
