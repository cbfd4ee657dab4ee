#include "UdevRules.h"

#include <fnmatch.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cctype>
#include <fstream>
#include <sstream>

namespace vmtest {

namespace {

std::string trimRight(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.pop_back();
  return s;
}

std::string readFile(const std::string& path, bool& ok) {
  std::ifstream in(path);
  ok = static_cast<bool>(in);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string baseName(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string linkTarget(const std::string& path) {
  char buf[PATH_MAX];
  const ssize_t n = readlink(path.c_str(), buf, sizeof buf - 1);
  if (n <= 0) return {};
  buf[n] = '\0';
  return buf;
}

// One device of the chain: its sysfs folder.
struct SysDevice {
  std::string path;
  std::string kernel() const { return baseName(path); }
  std::string subsystem() const { return baseName(linkTarget(path + "/subsystem")); }
  std::string driver() const { return baseName(linkTarget(path + "/driver")); }
  bool attr(const std::string& name, std::string& value) const {
    bool ok = false;
    value = trimRight(readFile(path + "/" + name, ok));
    return ok;
  }
};

// The device and its parents up to /sys/devices; folders without a uevent
// file (class folders such as ".../hidraw") are not devices.
std::vector<SysDevice> chain(const std::string& syspath) {
  std::vector<SysDevice> out;
  char real[PATH_MAX];
  if (realpath(syspath.c_str(), real) == nullptr) return out;
  std::string p = real;
  while (p.size() > std::string("/sys/devices").size() && p.rfind("/sys/devices/", 0) == 0) {
    if (access((p + "/uevent").c_str(), F_OK) == 0) out.push_back({p});
    p = p.substr(0, p.rfind('/'));
  }
  return out;
}

// Result of one key against one device: matched, not matched, or not a key
// this checker understands.
enum class KeyResult { Yes, No, Unknown };

KeyResult test(const UdevKey& key, bool found, const std::string& actual) {
  const bool m = found && udevPatternMatches(key.value, actual);
  return (key.op == "==") == m ? KeyResult::Yes : KeyResult::No;
}

bool isParentKey(const std::string& name) {
  return name == "ATTRS" || name == "SUBSYSTEMS" || name == "KERNELS" || name == "DRIVERS";
}

KeyResult evaluate(const UdevKey& key, const SysDevice& dev) {
  const std::string& n = key.name;
  if (n == "ACTION") return test(key, true, "add");
  if (n == "SUBSYSTEM" || n == "SUBSYSTEMS") return test(key, true, dev.subsystem());
  if (n == "KERNEL" || n == "KERNELS") return test(key, true, dev.kernel());
  if (n == "DRIVER" || n == "DRIVERS") return test(key, true, dev.driver());
  if (n == "ATTR" || n == "ATTRS") {
    std::string v;
    const bool found = dev.attr(key.attr, v);
    return test(key, found, v);
  }
  return KeyResult::Unknown;
}

}  // namespace

bool udevPatternMatches(const std::string& pattern, const std::string& value) {
  size_t start = 0;
  while (true) {
    const size_t bar = pattern.find('|', start);
    const std::string alt = pattern.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
    if (fnmatch(alt.c_str(), value.c_str(), 0) == 0) return true;
    if (bar == std::string::npos) return false;
    start = bar + 1;
  }
}

std::string UdevRule::assigned(const std::string& name) const {
  for (const auto& k : keys)
    if (k.name == name && (k.op == "=" || k.op == ":=")) return k.value;
  return {};
}

bool UdevRule::adds(const std::string& name, const std::string& value) const {
  for (const auto& k : keys)
    if (k.name == name && (k.op == "+=" || k.op == "=" || k.op == ":=") && k.value == value) return true;
  return false;
}

bool UdevRules::load(const std::string& path, std::string& error) {
  bool ok = false;
  const std::string text = readFile(path, ok);
  if (!ok) {
    error = "cannot read " + path;
    return false;
  }
  return parse(text, error);
}

bool UdevRules::parse(const std::string& text, std::string& error) {
  rules_.clear();
  std::istringstream in(text);
  std::string raw;
  std::string line;
  int number = 0;
  int firstLine = 0;
  while (std::getline(in, raw)) {
    ++number;
    if (line.empty()) firstLine = number;
    if (!raw.empty() && raw.back() == '\\') {  // continued on the next line
      line += raw.substr(0, raw.size() - 1);
      continue;
    }
    line += raw;
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') {
      line.clear();
      continue;
    }
    UdevRule rule;
    rule.line = firstLine;
    size_t i = first;
    while (i < line.size()) {
      while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == ',')) ++i;
      if (i >= line.size()) break;
      UdevKey key;
      while (i < line.size() && (std::isalnum(static_cast<unsigned char>(line[i])) || line[i] == '_')) key.name += line[i++];
      if (i < line.size() && line[i] == '{') {
        const size_t close = line.find('}', i);
        if (close == std::string::npos) {
          error = "line " + std::to_string(firstLine) + ": unclosed '{'";
          return false;
        }
        key.attr = line.substr(i + 1, close - i - 1);
        i = close + 1;
      }
      for (const char* op : {"==", "!=", "+=", "-=", ":=", "="}) {
        if (line.compare(i, std::char_traits<char>::length(op), op) == 0) {
          key.op = op;
          i += key.op.size();
          break;
        }
      }
      if (key.name.empty() || key.op.empty() || i >= line.size() || line[i] != '"') {
        error = "line " + std::to_string(firstLine) + ": cannot read the key at column " + std::to_string(i + 1);
        return false;
      }
      const size_t close = line.find('"', i + 1);
      if (close == std::string::npos) {
        error = "line " + std::to_string(firstLine) + ": unclosed '\"'";
        return false;
      }
      key.value = line.substr(i + 1, close - i - 1);
      i = close + 1;
      rule.keys.push_back(std::move(key));
    }
    rules_.push_back(std::move(rule));
    line.clear();
  }
  return true;
}

std::vector<UdevRule> UdevRules::matching(const std::string& syspath, std::string& error) const {
  std::vector<UdevRule> out;
  const std::vector<SysDevice> devices = chain(syspath);
  if (devices.empty()) {
    error = "no device at " + syspath;
    return out;
  }
  for (const UdevRule& rule : rules_) {
    bool matches = true;
    bool hasParentKeys = false;
    for (const UdevKey& key : rule.keys) {
      if (!key.isMatch()) continue;
      if (isParentKey(key.name)) {
        hasParentKeys = true;
        continue;
      }
      const KeyResult r = evaluate(key, devices.front());
      if (r == KeyResult::Unknown) {
        error = "line " + std::to_string(rule.line) + ": cannot evaluate " + key.name;
        return out;
      }
      matches = matches && r == KeyResult::Yes;
    }
    if (matches && hasParentKeys) {
      bool someParent = false;
      for (const SysDevice& dev : devices) {
        bool all = true;
        for (const UdevKey& key : rule.keys)
          if (key.isMatch() && isParentKey(key.name)) all = all && evaluate(key, dev) == KeyResult::Yes;
        if (all) {
          someParent = true;
          break;
        }
      }
      matches = someParent;
    }
    if (matches) out.push_back(rule);
  }
  return out;
}

}  // namespace vmtest
