#include "platform/ui/Image.h"

#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QSvgRenderer>
#include <algorithm>
#include <cmath>
#include <map>

#include "platform/foundation/Files.h"
#include "platform/ui/GraphicsContext.h"

namespace ui {

namespace fs = std::filesystem;

namespace {

struct Registry {
  std::optional<std::vector<fs::path>> dirs;
  std::map<std::string, std::shared_ptr<Image>> named;  // nullptr: known to be missing
};

Registry& registry() {
  static Registry r;
  return r;
}

// Bitmaps are held to this many pixels a side; larger requests are drawn
// at that size and stretched.
constexpr double kMaxPixels = 4096;

int pixels(double points, double scale) {
  const double px = std::ceil(points * scale - 1e-6);
  if (!(px > 0)) return 0;  // also NaN
  return static_cast<int>(std::min(px, kMaxPixels));
}

bool acceptableName(const std::string& name) {
  return !name.empty() && name.find('/') == std::string::npos && name.find('\0') == std::string::npos &&
         name != "." && name != "..";
}

const QImage& nullImage() {
  static const QImage empty;
  return empty;
}

}  // namespace

Image::Image() = default;
Image::~Image() = default;

void Image::setSearchDirectories(std::vector<fs::path> dirs) {
  registry().dirs = std::move(dirs);
  registry().named.clear();
}

std::vector<fs::path> Image::searchDirectories() {
  if (registry().dirs) return *registry().dirs;
  return {fnd::paths::resourcesDir() / "images"};
}

void Image::clearNamedCache() { registry().named.clear(); }

std::shared_ptr<Image> Image::imageNamed(const std::string& name) {
  if (!acceptableName(name)) return nullptr;
  auto& named = registry().named;
  if (auto it = named.find(name); it != named.end()) return it->second;
  std::shared_ptr<Image> found;
  std::error_code ec;
  for (const fs::path& dir : searchDirectories()) {
    const fs::path svg = dir / (name + ".svg");
    const fs::path png = dir / (name + ".png");
    const fs::path png2x = dir / (name + "@2x.png");
    if (fs::is_regular_file(svg, ec)) found = fromFile(svg);
    if (!found && fs::is_regular_file(png, ec)) {
      found = fromFile(png);
      if (found && fs::is_regular_file(png2x, ec)) {
        if (auto hi = fromFile(png2x)) found->bitmaps_.push_back(hi->bitmaps_.front());
      }
    }
    if (!found && fs::is_regular_file(png2x, ec)) found = fromFile(png2x);
    if (found) break;
  }
  if (found) found->name_ = name;
  named[name] = found;
  return found;
}

std::shared_ptr<Image> Image::fromFile(const fs::path& path) {
  const QString file = QString::fromStdString(path.string());
  if (path.extension() == ".svg") {
    auto svg = std::make_shared<QSvgRenderer>(file);
    if (!svg->isValid()) return nullptr;
    const QSizeF natural = svg->defaultSize();
    if (natural.isEmpty()) return nullptr;
    auto img = std::shared_ptr<Image>(new Image());
    img->svg_ = std::move(svg);
    img->size_ = {natural.width(), natural.height()};
    return img;
  }
  QImageReader reader(file);
  QImage bitmap = reader.read();
  if (bitmap.isNull()) return nullptr;
  const std::string stem = path.stem().string();
  const double scale = stem.size() > 3 && stem.ends_with("@2x") ? 2.0 : 1.0;
  return fromQImage(bitmap, scale);
}

std::shared_ptr<Image> Image::fromQImage(const QImage& bitmap, double scale) {
  if (bitmap.isNull() || scale <= 0) return nullptr;
  auto img = std::shared_ptr<Image>(new Image());
  QImage copy = bitmap.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  copy.setDevicePixelRatio(1.0);
  img->size_ = {copy.width() / scale, copy.height() / scale};
  img->bitmaps_.emplace_back(scale, std::make_shared<QImage>(std::move(copy)));
  return img;
}

std::shared_ptr<Image> Image::withDrawingHandler(Size size, bool flipped, DrawingHandler handler) {
  auto img = std::shared_ptr<Image>(new Image());
  img->size_ = size;
  img->handler_ = std::move(handler);
  img->handlerFlipped_ = flipped;
  return img;
}

std::shared_ptr<Image> Image::render(Size size, const std::function<void(GraphicsContext&)>& fn, double scale) {
  const int w = pixels(size.width, scale), h = pixels(size.height, scale);
  if (w == 0 || h == 0) return nullptr;
  QImage canvas(w, h, QImage::Format_ARGB32_Premultiplied);
  canvas.fill(Qt::transparent);
  {
    QPainter p(&canvas);
    p.scale(w / size.width, h / size.height);
    GraphicsContext ctx(p, {0, 0, size.width, size.height}, false);
    if (fn) fn(ctx);
  }
  auto img = fromQImage(canvas, scale);
  img->size_ = size;
  return img;
}

void Image::setSize(Size s) {
  size_ = s;
  cache_.clear();
}

bool Image::hasCapInsets() const {
  return capInsets_.top > 0 || capInsets_.left > 0 || capInsets_.bottom > 0 || capInsets_.right > 0;
}

const QImage& Image::bitmap(double scale) const {
  const int key = static_cast<int>(std::lround(scale * 100));
  if (auto it = cache_.find(key); it != cache_.end()) return *it->second;
  const int w = pixels(size_.width, scale), h = pixels(size_.height, scale);
  if (w == 0 || h == 0) return nullImage();

  auto out = std::make_shared<QImage>();
  if (!bitmaps_.empty()) {
    // The smallest version at least as fine as asked for, else the finest.
    auto best = bitmaps_.front();
    for (const auto& rep : bitmaps_) {
      const bool repEnough = rep.first >= scale, bestEnough = best.first >= scale;
      if ((repEnough && (!bestEnough || rep.first < best.first)) || (!repEnough && !bestEnough && rep.first > best.first))
        best = rep;
    }
    *out = best.second->size() == QSize(w, h)
               ? *best.second
               : best.second->scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  } else {
    QImage canvas(w, h, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter p(&canvas);
    p.setRenderHint(QPainter::Antialiasing);
    if (svg_) {
      svg_->render(&p, QRectF(0, 0, w, h));
    } else if (handler_) {
      p.scale(w / size_.width, h / size_.height);
      GraphicsContext ctx(p, {0, 0, size_.width, size_.height}, handlerFlipped_);
      handler_({0, 0, size_.width, size_.height});
    }
    p.end();
    *out = std::move(canvas);
  }
  cache_[key] = out;
  return *out;
}

void Image::drawInRect(const Rect& dst) const {
  if (auto* ctx = GraphicsContext::current()) ctx->drawImage(*this, dst);
}

}  // namespace ui
