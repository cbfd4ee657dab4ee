// Evaluates a udev rules file against a device in sysfs, the way udev would
// for an "add" event, for the keys a rule for a USB unit uses:
//   match:  ACTION, SUBSYSTEM, KERNEL, DRIVER, ATTR{name}, and the parent keys
//           SUBSYSTEMS, KERNELS, DRIVERS, ATTRS{name} (all of a rule's parent
//           keys must match on one device of the chain, the device included);
//           operators == and !=, values with shell-style patterns and '|'.
//   assign: recorded as written (MODE="0660", TAG+="uaccess", ...).
// A match key outside this set is an error, so a rule this checker does not
// understand fails the check instead of passing it unread.
#pragma once

#include <string>
#include <vector>

namespace vmtest {

struct UdevKey {
  std::string name;   // "ATTRS", "SUBSYSTEM", "MODE", ...
  std::string attr;   // the name in braces, if any
  std::string op;     // ==, !=, =, +=, -=, :=
  std::string value;

  bool isMatch() const { return op == "==" || op == "!="; }
};

struct UdevRule {
  int line = 0;
  std::vector<UdevKey> keys;

  // The value of the first assignment to `name` (e.g. "MODE"), or "".
  std::string assigned(const std::string& name) const;
  // True when some assignment adds `value` to `name` (e.g. TAG+="uaccess").
  bool adds(const std::string& name, const std::string& value) const;
};

class UdevRules {
public:
  // Parses the rules; false with the reason (and line) in `error`.
  bool parse(const std::string& text, std::string& error);
  bool load(const std::string& path, std::string& error);

  const std::vector<UdevRule>& rules() const { return rules_; }

  // The rules that match the device whose sysfs folder is `syspath`, in file
  // order. Sets `error` (and returns what matched so far) on a key it cannot
  // evaluate.
  std::vector<UdevRule> matching(const std::string& syspath, std::string& error) const;

private:
  std::vector<UdevRule> rules_;
};

// Whether `value` matches a udev pattern: alternatives separated by '|',
// each a shell glob (*, ?, [...]).
bool udevPatternMatches(const std::string& pattern, const std::string& value);

}  // namespace vmtest
