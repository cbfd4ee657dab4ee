#pragma once
// The document view of a collection view: flipped, so document coordinates
// grow downwards from the top-left corner, as every layout assumes. Its
// collection view is the superview of its clip view.

#include "platform/ui/View.h"

class CLCollectionViewDocumentView : public ui::View {
public:
  using View::View;
  std::string className() const override { return "CLCollectionViewDocumentView"; }
  bool isFlipped() const override { return true; }
  // A wheel's line is a row of items: the first item's height (0 with none:
  // the scroll view's own line).
  double lineScrollHeight() const override;
};
