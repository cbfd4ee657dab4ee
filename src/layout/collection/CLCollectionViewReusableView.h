#pragma once
// CLCollectionViewReusableView: a supplementary view (header, footer) of a
// collection view, pooled by kind and reuse identifier like cells are.

#include <string>

#include "platform/ui/View.h"

class CLCollectionViewReusableView : public ui::View {
public:
  CLCollectionViewReusableView() : CLCollectionViewReusableView(ui::Rect()) {}
  explicit CLCollectionViewReusableView(ui::Rect frame) : View(frame) { setWantsLayer(true); }
  std::string className() const override { return "CLCollectionViewReusableView"; }

  const std::string& reuseIdentifier() const { return reuseIdentifier_; }
  void setReuseIdentifier(std::string id) { reuseIdentifier_ = std::move(id); }
  const std::string& kind() const { return kind_; }
  void setKind(std::string kind) { kind_ = std::move(kind); }

private:
  std::string reuseIdentifier_;
  std::string kind_;
};
