#pragma once
// The document view of a collection view: flipped, so document coordinates
// grow downwards from the top-left corner, as every layout assumes.

#include "platform/ui/View.h"

class CLCollectionViewDocumentView : public ui::View {
public:
  using View::View;
  std::string className() const override { return "CLCollectionViewDocumentView"; }
  bool isFlipped() const override { return true; }
};
