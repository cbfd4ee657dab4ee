#include "platform/ui/FilePanel.h"

#include <algorithm>
#include <cctype>

namespace ui {

namespace fs = std::filesystem;

namespace {

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

std::string withoutDot(const std::string& type) { return !type.empty() && type[0] == '.' ? type.substr(1) : type; }

}  // namespace

bool hasAllowedExtension(const fs::path& path, const std::vector<std::string>& types) {
  if (types.empty()) return true;
  const std::string ext = lower(path.extension().string());
  if (ext.size() < 2) return false;
  return std::any_of(types.begin(), types.end(),
                     [&](const std::string& t) { return lower(withoutDot(t)) == ext.substr(1); });
}

long OpenPanel::runModal() {
  urls_.clear();
  const auto& handler = platformHandlers().runOpenPanel;
  auto chosen = handler ? handler(request_) : realPlatform::runOpenPanel(request_);
  if (!chosen) return ModalResponseCancel;
  std::error_code ec;
  for (const fs::path& p : *chosen) {
    const bool isDir = fs::is_directory(p, ec);
    if (isDir ? !request_.canChooseDirectories
              : !request_.canChooseFiles || !hasAllowedExtension(p, request_.allowedFileTypes))
      continue;
    urls_.push_back(p);
    if (!request_.allowsMultipleSelection) break;
  }
  return urls_.empty() ? ModalResponseCancel : ModalResponseOK;
}

long SavePanel::runModal() {
  url_.clear();
  const auto& handler = platformHandlers().runSavePanel;
  auto chosen = handler ? handler(request_) : realPlatform::runSavePanel(request_);
  if (!chosen || chosen->empty() || !chosen->has_filename()) return ModalResponseCancel;
  fs::path p = *chosen;
  if (!request_.allowsOtherFileTypes && !request_.allowedFileTypes.empty() &&
      !hasAllowedExtension(p, request_.allowedFileTypes))
    p += "." + withoutDot(request_.allowedFileTypes.front());
  url_ = std::move(p);
  return ModalResponseOK;
}

}  // namespace ui
