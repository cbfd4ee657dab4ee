#include "reactive/RSLift.h"

#include <string>

RSSignalPtr rs_detail::liftWithSignalOfArguments(const RSLifetimeRef& receiver, LiftedCall call,
                                                 const RSSignalPtr& arguments) {
  auto lifted = std::make_shared<LiftedCall>(std::move(call));
  return arguments->takeUntil(rs_willDeallocSignal(receiver))
      ->flattenMap([lifted](const fnd::Value& value) -> RSSignalPtr {
        auto tuple = value.asObject<RSTuple>();
        if (!tuple) return RSSignal::unexpectedValue(value, "RSTuple");
        fnd::Value result;
        // A receiver that has gone sends nothing; the cut above ends the
        // result with it.
        if (!(*lifted)(*tuple, result)) return RSSignal::empty();
        return RSSignal::return_(result);
      })
      ->replayLast();
}

void rs_detail::nameLifted(const RSSignalPtr& result, const RSLifetimeRef& receiver, std::string_view selector,
                           const char* form, const std::string& arguments) {
  if (!RSDebugNamesEnabled()) return;
  result->setNameWithFormat("%s -rs_liftSelector: %.*s %s: %s", receiver.description().c_str(),
                            static_cast<int>(selector.size()), selector.data(), form, arguments.c_str());
}
