#include "platform/ui/GraphicsContext.h"

namespace ui {

namespace {
thread_local GraphicsContext* tCurrent = nullptr;
}

GraphicsContext::GraphicsContext() : previous_(tCurrent) { tCurrent = this; }

GraphicsContext::~GraphicsContext() { tCurrent = previous_; }

GraphicsContext* GraphicsContext::current() { return tCurrent; }

}  // namespace ui
