#pragma once
// CLCollectionViewCell: the view of one item of a collection view. A background
// view lies under everything else and fills the cell; a content view is made
// on first use; the cell knows whether it is selected and hovered, and sends
// every mouse event to its collection view, which turns them into delegate
// messages and selection changes. Application cells subclass it and restyle
// in setSelected; setSelected(value, true) cross-fades that restyle.
//
// A cell is made by the collection view's dequeue (or kept by a data source),
// configured each time it is shown, hidden and pooled when it scrolls out;
// prepareForReuse runs on each dequeue.
//
// Main thread only.

#include <any>
#include <memory>
#include <optional>
#include <string>

#include "layout/collection/CLCollectionViewCellBackgroundView.h"
#include "layout/collection/CLIndexPath.h"
#include "platform/ui/View.h"

class CLCollectionView;

class CLCollectionViewCell : public ui::View {
public:
  static constexpr double kDefaultCrossfadeDuration = 0.25;
  // Entered and exited, moved, always active, over the visible rectangle.
  static constexpr unsigned kTrackingOptions = 0x283;

  CLCollectionViewCell() : CLCollectionViewCell(ui::Rect()) {}
  explicit CLCollectionViewCell(ui::Rect frame);
  std::string className() const override { return "CLCollectionViewCell"; }
  std::string description() const override;

  std::shared_ptr<CLCollectionView> collectionView() const { return collectionView_.lock(); }
  void setCollectionView(const std::shared_ptr<CLCollectionView>& cv);
  const CLOptionalIndexPath& indexPath() const { return indexPath_; }
  void setIndexPath(CLOptionalIndexPath p) { indexPath_ = p; }
  const std::string& reuseIdentifier() const { return reuseIdentifier_; }
  void setReuseIdentifier(std::string id) { reuseIdentifier_ = std::move(id); }

  bool isSelected() const { return selected_; }
  virtual void setSelected(bool selected) { selected_ = selected; }
  void setSelected(bool selected, bool animated);
  bool isHovered() const { return hovered_; }
  virtual void setHovered(bool hovered) { hovered_ = hovered; }
  double crossfadeDuration() const { return crossfadeDuration_; }
  void setCrossfadeDuration(double d) { crossfadeDuration_ = d; }

  // Made on first read.
  const std::shared_ptr<ui::View>& contentView();
  void setContentView(std::shared_ptr<ui::View> view);
  const std::shared_ptr<CLCollectionViewCellBackgroundView>& backgroundView() const { return backgroundView_; }
  std::optional<ui::Color> backgroundColor() const { return backgroundView_->color(); }
  void setBackgroundColor(std::optional<ui::Color> c) { backgroundView_->setColor(c); }
  std::shared_ptr<ui::Image> backgroundImage() const { return backgroundView_->image(); }
  void setBackgroundImage(std::shared_ptr<ui::Image> image) { backgroundView_->setImage(std::move(image)); }

  // The item the cell represents, when the collection view's delegate
  // supplies object values; empty otherwise.
  const std::any& objectValue() const { return objectValue_; }
  void setObjectValue(std::any v) { objectValue_ = std::move(v); }

  virtual void prepareForReuse();
  // Around each frame change made by the collection view.
  virtual void willLayoutWithFrame(const ui::Rect& frame);
  virtual void didLayoutWithFrame(const ui::Rect& frame);

  const std::shared_ptr<ui::TrackingArea>& trackingArea() const { return trackingArea_; }
  void updateTrackingAreas() override;

  void mouseDown(ui::Event& e) override;
  void mouseUp(ui::Event& e) override;
  void mouseMoved(ui::Event& e) override;
  void mouseEntered(ui::Event& e) override;
  void mouseExited(ui::Event& e) override;
  void mouseDragged(ui::Event& e) override;
  void rightMouseDown(ui::Event& e) override;
  void rightMouseUp(ui::Event& e) override;

protected:
  virtual void configureContentView(const std::shared_ptr<ui::View>& view);

private:
  std::weak_ptr<CLCollectionView> collectionView_;
  CLOptionalIndexPath indexPath_;
  std::string reuseIdentifier_;
  bool selected_ = false;
  bool hovered_ = false;
  double crossfadeDuration_ = kDefaultCrossfadeDuration;
  std::shared_ptr<ui::View> contentView_;
  std::shared_ptr<CLCollectionViewCellBackgroundView> backgroundView_;
  std::any objectValue_;
  std::shared_ptr<ui::TrackingArea> trackingArea_;
};
