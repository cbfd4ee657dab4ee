// User defaults: small settings kept as JSON in the user's config folder.
// Every change is written at once, atomically, so a crash or a full disk
// never leaves a half-written file in place of the last good one.
// Observable: each key notifies its key-value observers when set.
// Strings keep their bytes across a restart even when they are not UTF-8 (a
// folder's path may be any bytes). A file that is there but cannot be read
// (not JSON, not a dictionary, too large, an I/O error) loads as empty and is
// kept beside it, as "<file>.unreadable" (or "-2", "-3", ... when that name
// is taken), before the first change writes a new one; nothing is written
// while it cannot be kept.
#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

#include "platform/foundation/Object.h"

namespace fnd {

class UserDefaults : public Object {
public:
  // The file $XDG_CONFIG_HOME/qv450-edit/defaults.json.
  static std::shared_ptr<UserDefaults> standard();
  // Defaults kept in the given file (tests, or another location).
  static std::shared_ptr<UserDefaults> withFile(std::filesystem::path file);

  explicit UserDefaults(std::filesystem::path file);

  Value objectForKey(std::string_view key) const;
  std::string stringForKey(std::string_view key) const;  // "" when missing
  int64_t integerForKey(std::string_view key) const;     // 0 when missing
  bool boolForKey(std::string_view key) const;
  // nil removes the key. Returns false when the file could not be written
  // (the value is kept in memory all the same), and when the value could not
  // be read back from the file as it is (nested deeper than a JSON file is
  // read): then nothing changes.
  bool setObjectForKey(std::string_view key, const Value& v);
  bool removeObjectForKey(std::string_view key) { return setObjectForKey(key, Value()); }
  // Reads the file again, dropping what is in memory.
  void reload();
  const std::filesystem::path& file() const { return file_; }

protected:
  Value valueForUndefinedKey(std::string_view key) const override;
  bool setValueForUndefinedKey(std::string_view key, const Value& v) override;

private:
  // Under mutex_.
  bool save(const Dictionary& values);
  bool moveAside();
  std::filesystem::path file_;
  mutable std::mutex mutex_;
  Dictionary values_;
  // The file on disk could not be read: keep it before writing.
  bool keepAside_ = false;
};

}  // namespace fnd
