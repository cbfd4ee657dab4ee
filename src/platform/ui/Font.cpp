#include "platform/ui/Font.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

#include "platform/foundation/Log.h"

namespace ui {

namespace {

struct Alias {
  std::string_view name;
  std::vector<std::string> families;
};

const std::vector<Alias>& aliasTable() {
  static const std::vector<Alias> table = {
      {"Arial", {"Arial", "Liberation Sans"}},
      {"ArialMT", {"Arial", "Liberation Sans"}},
      {"SourceHanSansCN-Regular", {"Source Han Sans CN", "Noto Sans CJK SC"}},
  };
  return table;
}

// The installed family with this name, in its own spelling; a case-blind
// match, never a fontconfig substitute.
std::optional<std::string> installedFamily(const std::string& family) {
  const QString wanted = QString::fromStdString(family);
  for (const QString& f : QFontDatabase::families()) {
    if (f.compare(wanted, Qt::CaseInsensitive) == 0) return f.toStdString();
  }
  return std::nullopt;
}

// The family set by setSystemFontFamily, or empty for the chosen one.
std::string& setFamily() {
  static std::string family;
  return family;
}

// The chosen family as installed, looked up once the font database can be
// asked (it needs the application object).
const std::string& chosenFamily() {
  static std::optional<std::string> resolved;
  static const std::string unresolved = Font::kSystemFontFamily;
  if (resolved) return *resolved;
  if (!QCoreApplication::instance()) return unresolved;
  if (auto found = installedFamily(Font::kSystemFontFamily)) {
    resolved = *found;
  } else {
    fnd::log("The system font %s is not installed (Debian package fonts-roboto-unhinted): texts use sans-serif and "
             "some may not fit their frames",
             Font::kSystemFontFamily);
    resolved = "sans-serif";
  }
  return *resolved;
}

int pixelSize(double size) {
  if (!(size >= 1)) return 1;  // also NaN
  return static_cast<int>(std::lround(std::min(size, 4096.0)));
}

// The vertical metrics of a font, measured once per family, pixel size and
// weight: labels ask for their line height at every layout and draw.
struct Metrics {
  double ascent = 0, descent = 0, leading = 0;
};

const Metrics& metricsOf(const Font& font) {
  thread_local std::map<std::tuple<std::string, int, bool>, Metrics> cache;
  auto key = std::make_tuple(font.familyName(), pixelSize(font.pointSize()), font.isBold());
  auto it = cache.find(key);
  if (it == cache.end()) {
    const QFontMetricsF fm(font.toQFont());
    it = cache.emplace(std::move(key), Metrics{fm.ascent(), fm.descent(), std::max(0.0, fm.leading())}).first;
  }
  return it->second;
}

// Names already looked up, with the family found (or none).
std::map<std::string, std::optional<std::string>, std::less<>>& resolved() {
  static std::map<std::string, std::optional<std::string>, std::less<>> cache;
  return cache;
}

}  // namespace

Font::Font(std::string name, std::string family, double size, bool bold)
    : name_(std::move(name)), family_(std::move(family)), size_(size), bold_(bold) {}

std::string Font::systemFontFamily() { return setFamily().empty() ? chosenFamily() : setFamily(); }

Font Font::systemFontOfSize(double size) {
  const std::string family = systemFontFamily();
  return Font(family, family, size, false);
}

Font Font::boldSystemFontOfSize(double size) {
  const std::string family = systemFontFamily();
  return Font(family, family, size, true);
}

std::vector<std::string> Font::candidateFamilies(std::string_view name) {
  for (const Alias& a : aliasTable()) {
    if (a.name == name) return a.families;
  }
  return {std::string(name)};
}

std::optional<Font> Font::fontWithName(std::string_view name, double size) {
  if (name.empty()) return std::nullopt;
  auto& cache = resolved();
  auto it = cache.find(name);
  if (it == cache.end()) {
    std::optional<std::string> found;
    for (const std::string& candidate : candidateFamilies(name)) {
      if ((found = installedFamily(candidate))) break;
    }
    it = cache.emplace(std::string(name), std::move(found)).first;
  }
  if (!it->second) return std::nullopt;
  return Font(std::string(name), *it->second, size, false);
}

void Font::setSystemFontFamily(std::string family) { setFamily() = std::move(family); }

Font Font::withSize(double size) const { return Font(name_, family_, size, bold_); }

QFont Font::toQFont() const {
  QFont f(QString::fromStdString(family_));
  // Characters the family lacks (CJK in a Latin face) come from a sans face.
  f.setStyleHint(QFont::SansSerif);
  f.setPixelSize(pixelSize(size_));
  f.setBold(bold_);
  return f;
}

double Font::ascender() const { return metricsOf(*this).ascent; }

double Font::descender() const { return -metricsOf(*this).descent; }

double Font::leading() const { return metricsOf(*this).leading; }

double Font::lineHeight() const {
  const Metrics& m = metricsOf(*this);
  return m.ascent + m.descent + m.leading;
}

double Font::widthOfString(std::string_view text) const {
  return QFontMetricsF(toQFont()).horizontalAdvance(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

}  // namespace ui
