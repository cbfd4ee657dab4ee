// A picture with a size in points: loaded by name from the resources' images
// folder (SVG, or PNG with an optional @2x version), made from a bitmap, or
// drawn on demand by a handler. Drawing asks for a bitmap at the device's
// scale (pixels per point); each scale is made once and kept. Cap insets
// mark the edges that keep their size when the image is stretched.
//
// Main thread.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Geometry.h"

class QImage;
class QSvgRenderer;

namespace ui {

class GraphicsContext;

class Image {
public:
  using DrawingHandler = std::function<bool(const Rect& dst)>;

  // Cached by name: the same object for the same name. Searches
  // <dir>/<name>.svg, <name>.png (with <name>@2x.png as its 2x version),
  // then <name>@2x.png alone. nullptr when there is none or it is unreadable.
  static std::shared_ptr<Image> imageNamed(const std::string& name);
  // Where imageNamed looks; by default <resources>/images.
  static void setSearchDirectories(std::vector<std::filesystem::path> dirs);
  static std::vector<std::filesystem::path> searchDirectories();
  static void clearNamedCache();

  static std::shared_ptr<Image> fromFile(const std::filesystem::path& path);
  // `scale` is the bitmap's pixels per point.
  static std::shared_ptr<Image> fromQImage(const QImage& bitmap, double scale = 1.0);
  // Drawn by `handler` into a context of this size (flipped or y-up) when a
  // bitmap at a new scale is needed.
  static std::shared_ptr<Image> withDrawingHandler(Size size, bool flipped, DrawingHandler handler);
  // Draws `fn` now into a new y-up image of `size` at `scale` pixels per point.
  static std::shared_ptr<Image> render(Size size, const std::function<void(GraphicsContext&)>& fn, double scale = 2.0);

  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;
  ~Image();

  Size size() const { return size_; }
  // Drawing at another size scales the picture; the cached bitmaps are dropped.
  void setSize(Size s);
  const EdgeInsets& capInsets() const { return capInsets_; }
  void setCapInsets(const EdgeInsets& insets) { capInsets_ = insets; }
  bool hasCapInsets() const;
  const std::string& name() const { return name_; }

  // The picture at `scale` pixels per point: size × scale pixels, rounded
  // up, with that device pixel ratio. Null for an empty image.
  const QImage& bitmap(double scale) const;

  // In the current context (see GraphicsContext::drawImage).
  void drawInRect(const Rect& dst) const;

private:
  Image();
  std::string name_;
  Size size_;
  EdgeInsets capInsets_;
  std::shared_ptr<QSvgRenderer> svg_;
  std::vector<std::pair<double, std::shared_ptr<QImage>>> bitmaps_;  // (scale, pixels) as loaded
  DrawingHandler handler_;
  bool handlerFlipped_ = false;
  mutable std::map<int, std::shared_ptr<QImage>> cache_;  // key: scale × 100
};

}  // namespace ui
