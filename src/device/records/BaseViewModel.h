// Base of the device service and of the screens' view models: two callbacks
// whose argument each subclass chooses.
#pragma once

#include <functional>

#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

class BaseViewModel : public fnd::Object {
public:
  using Block = std::function<void(const fnd::Value&)>;

  BaseViewModel() = default;

  // Stores both callbacks. Sent to an object that is already initialised, as a
  // second step after making it.
  void initWithBlock(Block success, Block fail);

  // Copies of the callbacks (empty when unset); call them outside any lock.
  Block successBlock() const;
  Block failBlock() const;
  // Whether each callback is set, without copying it.
  bool hasSuccessBlock() const;
  bool hasFailBlock() const;
  void setSuccessBlock(Block block);
  void setFailBlock(Block block);

  std::string className() const override { return "BaseViewModel"; }

private:
  Block successBlock_;
  Block failBlock_;
};
