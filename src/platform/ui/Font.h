// A font in pixel sizes (one point is one pixel). The system font is Roboto
// (Debian's fonts-roboto-unhinted), chosen because the screens' frames hold
// their texts in it: it is narrow enough for the widest texts (the loading
// pop-up's "LOADING...(100%)" in 146 points at 18, a bordered "OK" in 18 at
// 13) where the wide faces fontconfig may pick for "sans-serif" elide them.
// Without Roboto installed the system font falls back to fontconfig's
// "sans-serif" (logged once). Names the layouts ask for go through an alias
// table to families Debian ships:
// "Arial" to Liberation Sans (same metrics), "SourceHanSansCN-Regular" to
// Noto Sans CJK SC (same design). A name that finds no installed family gives
// no font, and callers fall back to the system font of that size.
//
// Main thread (font database look-ups).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QFont;

namespace ui {

class Font {
public:
  static Font systemFontOfSize(double size);
  static Font boldSystemFontOfSize(double size);
  static std::optional<Font> fontWithName(std::string_view name, double size);
  // The families tried for `name`, in order: the alias table's entries, or
  // the name itself.
  static std::vector<std::string> candidateFamilies(std::string_view name);
  // The family the system font is, by choice.
  static constexpr const char* kSystemFontFamily = "Roboto";
  // The family of the system font: kSystemFontFamily when installed, else
  // "sans-serif"; another family may be set, and empty restores the choice.
  static void setSystemFontFamily(std::string family);
  static std::string systemFontFamily();

  // The name asked for ("Arial"), or the system family.
  const std::string& fontName() const { return name_; }
  // The family actually used ("Liberation Sans").
  const std::string& familyName() const { return family_; }
  double pointSize() const { return size_; }
  bool isBold() const { return bold_; }
  Font withSize(double size) const;

  // Distance from the baseline to the top of the tallest glyphs (positive)
  // and to the bottom of the lowest (negative), and the distance between the
  // baselines of two lines.
  double ascender() const;
  double descender() const;
  double leading() const;
  double lineHeight() const;
  // The advance of a single line of `text`.
  double widthOfString(std::string_view text) const;

  QFont toQFont() const;

  friend bool operator==(const Font& a, const Font& b) {
    return a.family_ == b.family_ && a.size_ == b.size_ && a.bold_ == b.bold_;
  }

private:
  Font(std::string name, std::string family, double size, bool bold);
  std::string name_;
  std::string family_;
  double size_ = 12;
  bool bold_ = false;
};

}  // namespace ui
