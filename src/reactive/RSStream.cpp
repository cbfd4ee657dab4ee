#include "reactive/RSStream.h"

#include <cstdarg>
#include <cstdio>

std::string RSStream::name() const {
  std::lock_guard lock(nameMutex_);
  return name_;
}

void RSStream::setName(std::string name) {
  std::string previous;  // released after unlocking
  std::lock_guard lock(nameMutex_);
  previous.swap(name_);
  name_ = std::move(name);
}

void RSStream::setNameWithFormat(const char* format, ...) {
  if (!RSDebugNamesEnabled()) return;
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text;
  if (length > 0) {
    text.resize(static_cast<size_t>(length) + 1);
    std::vsnprintf(text.data(), text.size(), format, args);
    text.resize(static_cast<size_t>(length));
  }
  va_end(args);
  setName(std::move(text));
}

std::string RSDescribeStreams(const std::vector<std::shared_ptr<RSStream>>& streams) {
  if (!RSDebugNamesEnabled()) return std::string();
  std::string out = "(";
  bool first = true;
  for (const auto& stream : streams) {
    out += first ? "" : ", ";
    out += stream ? stream->description() : std::string("(null)");
    first = false;
  }
  return out + ")";
}
