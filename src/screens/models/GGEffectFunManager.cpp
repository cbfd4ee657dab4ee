#include "screens/models/GGEffectFunManager.h"

#include <chrono>
#include <ctime>

#include "controls/AccentColor.h"
#include "platform/foundation/Files.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Parts.h"
#include "reactive/RSKVOChannel.h"

namespace fs = std::filesystem;

namespace {

const GGEffectFunManager::ExpGroups& expGroups() {
  static const std::vector<std::pair<std::string, std::vector<std::string>>> groups{
      {"FX/COMP", {"POSITION", "Q", "RATE", "ATTACK", "RANGE", "SENS", "THRES", "PEAK", "RATIO", "LEVEL"}},
      {"DS/OD", {"VOLUME", "TONE", "GAIN"}},
      {"AMP", {"GAIN", "BASS", "MID", "TREBLE", "PRES", "MST"}},
      {"CAB", {"CENTER", "DISTANCE"}},
      {"NS GATE", {"THRES", "SENS", "ATTACK", "RELEASE"}},
      {"EQ",
       {"80HZ", "100HZ", "200HZ", "240HZ", "250HZ", "400HZ", "630HZ", "750HZ", "800HZ", "1.6KHZ", "2.2KHZ", "3.2KHZ",
        "4KHZ", "6.6KHZ"}},
      {"MOD", {"RATE", "PITCH", "RISE", "SAMPLE", "MIX", "DEPTH", "LEVEL", "F.BACK", "TONE", "Q", "RANGE", "BIT"}},
      {"DELAY", {"LEVEL", "F.BACK", "TIME", "TIME A", "THRES", "TIME B"}},
      {"REVERB", {"P.DELAY", "LEVEL", "DECAY", "TONE"}},
  };
  return groups;
}

// A 24-bit colour from the user defaults, or nothing for a missing value or one
// of another kind or range.
std::optional<uint32_t> packedColour(const fnd::Value& v) {
  if (v.kind() != fnd::Value::Kind::Int) return std::nullopt;
  const int64_t rgb = v.intValue();
  if (rgb < 0 || rgb > 0xFFFFFF) return std::nullopt;
  return static_cast<uint32_t>(rgb);
}

}  // namespace

std::shared_ptr<GGEffectFunManager> GGEffectFunManager::shareManager() {
  static const std::shared_ptr<GGEffectFunManager> instance = create({});
  return instance;
}

std::shared_ptr<GGEffectFunManager> GGEffectFunManager::create(Parts parts) {
  return fnd::make<GGEffectFunManager>(std::move(parts));
}

GGEffectFunManager::GGEffectFunManager(Parts parts)
    : mainColor(this, "mainColor", [] { return accentColor(); }),
      selectColor(this, "selectColor", [] { return accentColor(); }),
      enterColor(this, "enterColor", [this] { return makeEnterColor(); }),
      filePath(this, "filePath", [this] { return makeFilePath(); }),
      service_(fnd::partOr(std::move(parts.service), HIDServiceViewMode::shared)),
      defaults_(fnd::partOr(std::move(parts.defaults), fnd::UserDefaults::standard)),
      diaryFile_(parts.diaryFile ? *parts.diaryFile : fnd::paths::homeDir() / "diary") {}

GGEffectFunManager::~GGEffectFunManager() {
  if (fileHandle_) std::fclose(fileHandle_);
}

void GGEffectFunManager::bindHidModel() {
  auto self = std::static_pointer_cast<GGEffectFunManager>(shared_from_this());
  auto left = RSKVOChannel::initWithTarget(self, "childEffectList", fnd::Value());
  auto right = RSKVOChannel::initWithTarget(service_->presetDataModel(), "dataArr", fnd::Value());
  (*left)["followingTerminal"] = (*right)["followingTerminal"];
}

std::vector<int> GGEffectFunManager::recordWords() const { return service_->presetDataModel()->dataArr.get(); }

bool GGEffectFunManager::isDataArrayEqual() const { return isDataArrayEqual(recordWords()); }

bool GGEffectFunManager::isDataArrayEqual(const std::vector<int>& words) const {
  const std::optional<std::vector<int>> sent = tempDataArray.get();
  return sent && *sent == words;
}

int64_t GGEffectFunManager::currentEffectIndex() const {
  if (recordWords().empty()) return 0;
  const int index = service_->presetAllData()->selectedModule.get().value_or(0);
  return index >= 0 && index < dev::kModuleCount ? index : 0;
}

bool GGEffectFunManager::currentEffectIsOpen() const {
  const std::vector<int> words = recordWords();
  return !words.empty() && words[0] != 0;
}

int64_t GGEffectFunManager::currentEffectTypeIndex() const {
  const std::vector<int> words = recordWords();
  return words.size() >= 2 ? words[1] : 0;
}

const GGEffectFunManager::ExpGroups& GGEffectFunManager::expParameterGroups() { return expGroups(); }

const std::vector<std::string>& GGEffectFunManager::module_Names() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> out;
    for (const auto& [module, parameters] : expGroups()) out.push_back(module);
    return out;
  }();
  return names;
}

const std::vector<std::string>& GGEffectFunManager::expParamList() {
  static const std::vector<std::string> list = [] {
    std::vector<std::string> out;
    for (const auto& [module, parameters] : expGroups()) out.insert(out.end(), parameters.begin(), parameters.end());
    return out;
  }();
  return list;
}

std::string GGEffectFunManager::expParamName(int64_t index) {
  const auto& list = expParamList();
  return index >= 0 && index < static_cast<int64_t>(list.size()) ? list[static_cast<size_t>(index)] : std::string();
}

const std::map<std::string, std::vector<std::string>>& GGEffectFunManager::function_Para() {
  static const std::map<std::string, std::vector<std::string>> groups = [] {
    std::map<std::string, std::vector<std::string>> out;
    for (auto [module, parameters] : expGroups()) {
      for (std::string& p : parameters)
        if (p == "F.BACK") p = "FEEDBACK";
      out.emplace(module, std::move(parameters));
    }
    return out;
  }();
  return groups;
}

bool GGEffectFunManager::isInNameSet(char32_t c) {
  const bool allowed = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == ' ';
  return !allowed;
}

std::string GGEffectFunManager::trimName(const std::string& text) {
  // Every allowed character is ASCII, and every byte of a multi-byte UTF-8
  // character is above 0x7F: trimming bytes trims whole characters.
  auto forbidden = [](char c) { return isInNameSet(static_cast<unsigned char>(c)); };
  size_t begin = 0, end = text.size();
  while (begin < end && forbidden(text[begin])) ++begin;
  while (end > begin && forbidden(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

fs::path GGEffectFunManager::defaultComputerPresetPath() {
  fs::path home = fnd::paths::homeDir().lexically_normal();
  if (!home.has_filename() && home.has_parent_path() && home != home.root_path()) home = home.parent_path();
  return home.parent_path() / fnd::paths::userName() / kPresetFolderName;
}

ui::Color GGEffectFunManager::makeEnterColor() const {
  const fnd::Value stored = defaults_->objectForKey(kEnterColorKey);
  std::optional<uint32_t> rgb = packedColour(stored);
  if (!rgb) {
    if (!stored.isNilOrNull())
      FND_LOG_AT("GGEffectFunManager", "%s is not a colour (%s): the default is used", kEnterColorKey,
                 stored.description().c_str());
    rgb = kDefaultEnterColor;
  }
  return ui::Color::rgb255(static_cast<int>((*rgb >> 16) & 0xFF), static_cast<int>((*rgb >> 8) & 0xFF),
                           static_cast<int>(*rgb & 0xFF));
}

std::string GGEffectFunManager::makeFilePath() const {
  std::string path = defaults_->stringForKey(kComputerPresetPathKey);
  return path.empty() ? defaultComputerPresetPath().string() : path;
}

void GGEffectFunManager::writeMessageToFile(const std::string& message) {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t seconds = system_clock::to_time_t(now);
  const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm local{};
  localtime_r(&seconds, &local);
  char stamp[40];
  const size_t n = std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
  std::snprintf(stamp + n, sizeof stamp - n, ".%03d", static_cast<int>(millis));
  const std::string line = std::string(stamp) + ":==" + message + "\n";

  std::lock_guard guard(diaryMutex_);
  if (!diaryTried_) {
    diaryTried_ = true;
    std::error_code ec;
    if (!fs::is_directory(diaryFile_, ec)) fileHandle_ = std::fopen(diaryFile_.c_str(), "ab");
    if (!fileHandle_) FND_LOG_AT("GGEffectFunManager", "no diary: %s cannot be opened", diaryFile_.c_str());
  }
  if (!fileHandle_) return;
  if (std::fwrite(line.data(), 1, line.size(), fileHandle_) != line.size() || std::fflush(fileHandle_) != 0)
    std::clearerr(fileHandle_);
}
