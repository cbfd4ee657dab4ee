#include "layout/collection/CLScrollView.h"

CLScrollView::CLScrollView(ui::Rect frame) : ScrollView(frame) { swapClipView(); }

CLClipView* CLScrollView::clipView() const { return dynamic_cast<CLClipView*>(contentView().get()); }

void CLScrollView::swapClipView() {
  setWantsLayer(true);
  auto document = documentView();
  const ui::Rect f = contentView() ? contentView()->frame() : ui::Rect();
  auto clip = ui::View::create<CLClipView>(f);
  setContentView(clip);
  setDocumentView(document);
}

void CLScrollView::awakeFromNib() {
  ScrollView::awakeFromNib();
  if (!clipView()) swapClipView();
}
