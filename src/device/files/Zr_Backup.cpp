#include "device/files/Zr_Backup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <system_error>

#include "platform/foundation/Files.h"
#include "platform/foundation/Log.h"

namespace fs = std::filesystem;

namespace {

// Backup temporaries that exist now. The program ends with exit() when the
// unit goes away, possibly in the middle of a backup: what is still here then
// is removed on the way out, so no half-made backup stays in the user's
// folder. Never destroyed, so the exit handler can always reach it.
struct LiveTemporaries {
  std::mutex mutex;
  std::set<std::string> paths;
};

LiveTemporaries& liveTemporaries() {
  static auto* live = new LiveTemporaries();
  static std::once_flag once;
  std::call_once(once, [] {
    std::atexit([] {
      std::lock_guard guard(liveTemporaries().mutex);
      for (const std::string& path : liveTemporaries().paths) ::unlink(path.c_str());
      liveTemporaries().paths.clear();
    });
  });
  return *live;
}

void trackTemporary(const std::string& path) {
  LiveTemporaries& live = liveTemporaries();
  std::lock_guard guard(live.mutex);
  live.paths.insert(path);
}

void untrackTemporary(const std::string& path) {
  LiveTemporaries& live = liveTemporaries();
  std::lock_guard guard(live.mutex);
  live.paths.erase(path);
}

constexpr uint8_t kMagic[8] = {'B', 'r', 'i', 's', 'c', 'o', 0, 0};
constexpr uint8_t kBackupFile[4] = {'B', 'U', 'F', 'F'};

void put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void put64(uint8_t* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
uint16_t get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t get32(const uint8_t* p) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}
uint64_t get64(const uint8_t* p) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

bool positionalWrite(int fd, const uint8_t* data, size_t size, uint64_t offset) {
  while (size > 0) {
    ssize_t n = ::pwrite(fd, data, size, static_cast<off_t>(offset));
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
    offset += static_cast<uint64_t>(n);
  }
  return true;
}

// Whether this process may remove the file at `path` to put another in its
// place: nothing there, or its folder is writable and, in a folder with the
// sticky bit, the file or the folder is this user's.
bool mayReplace(const fs::path& path) {
  struct stat file {};
  if (::lstat(path.c_str(), &file) != 0) return true;
  fs::path dir = path.parent_path();
  if (dir.empty()) dir = ".";
  if (::access(dir.c_str(), W_OK | X_OK) != 0) return false;
  struct stat folder {};
  if (::stat(dir.c_str(), &folder) != 0) return false;
  const uid_t me = ::geteuid();
  return !(folder.st_mode & S_ISVTX) || me == 0 || file.st_uid == me || folder.st_uid == me;
}

}  // namespace

// ---- Layouts ----

std::array<uint8_t, Zr_Backup::kHeaderSize> Zr_Backup::BackupData::encode() const {
  std::array<uint8_t, kHeaderSize> out{};
  std::copy(Zarvo.begin(), Zarvo.end(), out.begin());
  std::copy(productName.begin(), productName.end(), out.begin() + 8);
  std::copy(productVersion.begin(), productVersion.end(), out.begin() + 40);
  std::copy(backupfile.begin(), backupfile.end(), out.begin() + 72);
  put32(&out[76], typeSum);
  for (size_t i = 0; i < kMaxSections; ++i) put64(&out[80 + 8 * i], dataIndex[i]);
  put64(&out[kCheckSumOffset], checkSum);
  return out;
}

Zr_Backup::BackupData Zr_Backup::BackupData::decode(std::span<const uint8_t, kHeaderSize> b) {
  BackupData d;
  std::copy_n(b.begin(), 8, d.Zarvo.begin());
  std::copy_n(b.begin() + 8, 32, d.productName.begin());
  std::copy_n(b.begin() + 40, 32, d.productVersion.begin());
  std::copy_n(b.begin() + 72, 4, d.backupfile.begin());
  d.typeSum = get32(&b[76]);
  for (size_t i = 0; i < kMaxSections; ++i) d.dataIndex[i] = get64(&b[80 + 8 * i]);
  d.checkSum = get64(&b[kCheckSumOffset]);
  return d;
}

std::string Zr_Backup::SubHeadData::name() const {
  auto end = std::find(dataName.begin(), dataName.end(), 0);
  return std::string(dataName.begin(), end);
}

std::array<uint8_t, Zr_Backup::kSectionHeadSize> Zr_Backup::SubHeadData::encode() const {
  std::array<uint8_t, kSectionHeadSize> out{};
  std::copy(dataName.begin(), dataName.end(), out.begin());
  put16(&out[32], sendCMD);
  put16(&out[34], sendCMDFlag);
  put16(&out[36], callbackCMD);
  put16(&out[38], callbackCMDFlag);
  put32(&out[40], dataNumber);
  put32(&out[44], dataLength);
  out[48] = dataType;
  return out;
}

Zr_Backup::SubHeadData Zr_Backup::SubHeadData::decode(std::span<const uint8_t, kSectionHeadSize> b) {
  SubHeadData d;
  std::copy_n(b.begin(), 32, d.dataName.begin());
  d.sendCMD = get16(&b[32]);
  d.sendCMDFlag = get16(&b[34]);
  d.callbackCMD = get16(&b[36]);
  d.callbackCMDFlag = get16(&b[38]);
  d.dataNumber = get32(&b[40]);
  d.dataLength = get32(&b[44]);
  d.dataType = b[48];
  return d;
}

uint64_t Zr_Backup::byteSum(std::span<const uint8_t> bytes) {
  uint64_t sum = 0;
  for (uint8_t b : bytes) sum += b;
  return sum;
}

// ---- Writing ----

std::shared_ptr<Zr_Backup> Zr_Backup::initWithBackupDevice(const char* device, const uint8_t* version, int versionLen) {
  return initWithBackupDevice(device, version, versionLen, Options{});
}

std::shared_ptr<Zr_Backup> Zr_Backup::initWithBackupDevice(const char* device, const uint8_t* version, int versionLen,
                                                           Options options) {
  std::shared_ptr<Zr_Backup> b(new Zr_Backup);
  b->setIdentity(device, version, versionLen);
  b->writer_ = options.writer ? std::move(options.writer) : Writer(positionalWrite);

  fs::path dir;
  if (!options.destination.empty()) {
    dir = options.destination.parent_path();
    if (dir.empty()) dir = ".";
  } else {
    dir = options.documentsDir.empty() ? fnd::paths::documentsDir() : options.documentsDir;
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) {
      fnd::log("cannot create the documents folder %s: %s", dir.c_str(), ec.message().c_str());
      return nullptr;
    }
  }
  if (!b->createTemporary(dir)) return nullptr;
  const auto header = b->backupdata_.encode();
  if (!b->append(header.data(), header.size())) return nullptr;  // the destructor removes the file
  b->tempCheckSum_ = 0;
  return b;
}

std::shared_ptr<Zr_Backup> Zr_Backup::forReading(const char* device, const uint8_t* version, int versionLen) {
  std::shared_ptr<Zr_Backup> b(new Zr_Backup);
  b->setIdentity(device, version, versionLen);
  return b;
}

void Zr_Backup::setIdentity(const char* device, const uint8_t* version, int versionLen) {
  BackupData& h = backupdata_;
  std::copy(std::begin(kMagic), std::end(kMagic), h.Zarvo.begin());
  if (device) {
    const size_t n = strnlen(device, h.productName.size());
    std::copy_n(reinterpret_cast<const uint8_t*>(device), n, h.productName.begin());
  }
  if (version && versionLen > 0)
    std::copy_n(version, std::min<size_t>(static_cast<size_t>(versionLen), h.productVersion.size()),
                h.productVersion.begin());
  std::copy(std::begin(kBackupFile), std::end(kBackupFile), h.backupfile.begin());
}

// A new file of a name no other file in `dir` has; whatever is there already
// is left alone.
bool Zr_Backup::createTemporary(const fs::path& dir) {
  std::string name = (dir / (std::string(kTempFilePrefix) + "XXXXXX" + kTempFileSuffix)).string();
  const int fd = ::mkostemps(name.data(), static_cast<int>(std::strlen(kTempFileSuffix)), O_CLOEXEC);
  if (fd < 0) {
    fnd::log("文件打开失败 %s: %s", name.c_str(), std::strerror(errno));
    return false;
  }
  // An ordinary document once it is in place.
  if (::fchmod(fd, 0644) != 0) fnd::log("backup: cannot set the mode of %s: %s", name.c_str(), std::strerror(errno));
  fileHandle_ = fd;
  filePath_ = name;
  trackTemporary(name);
  return true;
}

Zr_Backup::~Zr_Backup() { discardTemporary(); }

void Zr_Backup::discardTemporary() {
  if (fileHandle_ >= 0) {
    ::close(fileHandle_);
    fileHandle_ = -1;
  }
  if (!filePath_.empty()) {
    ::unlink(filePath_.c_str());
    untrackTemporary(filePath_);
    filePath_.clear();
  }
}

bool Zr_Backup::writeAt(const uint8_t* data, size_t size, uint64_t offset) {
  if (writeFailed_ || fileHandle_ < 0) return false;
  if (!writer_(fileHandle_, data, size, offset)) {
    fnd::log("backup: cannot write %zu bytes at %llu of %s: %s", size, static_cast<unsigned long long>(offset),
             filePath_.c_str(), std::strerror(errno));
    writeFailed_ = true;
    return false;
  }
  return true;
}

bool Zr_Backup::append(const uint8_t* data, size_t size) {
  if (!writeAt(data, size, fileLength_)) return false;
  fileLength_ += size;
  tempCheckSum_ += byteSum({data, size});
  return true;
}

bool Zr_Backup::setDataHeadForDataName(const char* name, int dataType, int dataLength, int dataNumber, int16_t sendCMD,
                                       int16_t sendCMDFlag, int16_t revicedCMD, int16_t revicedCMDFlag) {
  if (backupdata_.typeSum >= kMaxSections) {
    fnd::log("backup: no room for section %u", backupdata_.typeSum);
    writeFailed_ = true;
    return false;
  }
  SubHeadData head;
  if (name) std::copy_n(reinterpret_cast<const uint8_t*>(name), strnlen(name, head.dataName.size()), head.dataName.begin());
  head.sendCMD = static_cast<uint16_t>(sendCMD);
  head.sendCMDFlag = static_cast<uint16_t>(sendCMDFlag);
  head.callbackCMD = static_cast<uint16_t>(revicedCMD);
  head.callbackCMDFlag = static_cast<uint16_t>(revicedCMDFlag);
  head.dataNumber = static_cast<uint32_t>(dataNumber);
  head.dataLength = static_cast<uint32_t>(dataLength);
  head.dataType = static_cast<uint8_t>(dataType);
  backupdata_.dataIndex[backupdata_.typeSum] = fileLength_;
  backupdata_.typeSum += 1;
  subHeadData_ = head;
  const auto bytes = head.encode();
  return append(bytes.data(), bytes.size());
}

bool Zr_Backup::addData(const uint8_t* data, int datalen, int dataIndex) {
  if (datalen < 0 || (datalen > 0 && !data)) {
    writeFailed_ = true;
    return false;
  }
  uint8_t head[kRecordHeadSize] = {};
  put16(&head[32], static_cast<uint16_t>(dataIndex));
  if (!append(head, sizeof head)) return false;
  return append(data, static_cast<size_t>(datalen));
}

bool Zr_Backup::exportBackupFileForPath(const std::string& path) {
  if (fileHandle_ < 0 || writeFailed_) {
    fnd::log("backup not written to %s: an earlier write failed", path.c_str());
    discardTemporary();
    return false;
  }
  auto header = backupdata_.encode();
  backupdata_.checkSum = tempCheckSum_ + byteSum({header.data(), kCheckSumOffset});
  header = backupdata_.encode();
  bool ok = writeAt(header.data(), header.size(), 0);
  if (ok && ::fsync(fileHandle_) != 0) {
    fnd::log("backup: cannot flush %s: %s", filePath_.c_str(), std::strerror(errno));
    ok = false;
  }
  if (::close(fileHandle_) != 0) ok = false;
  fileHandle_ = -1;
  if (ok && !mayReplace(path)) {
    fnd::log("没有删除权限");
    ok = false;
  }
  std::string why;
  if (ok && !fnd::files::moveReplacing(filePath_, path, &why)) {
    fnd::log("删除失败 %s", why.c_str());
    ok = false;
  }
  if (ok) {
    untrackTemporary(filePath_);
    filePath_.clear();  // moved: nothing left to remove
    return true;
  }
  discardTemporary();
  return false;
}

// ---- Reading ----

bool Zr_Backup::readFile(const std::string& path) {
  std::string why;
  auto bytes = fnd::files::readAtMost(path, kMaxFileSize, &why);
  if (!bytes) {
    fnd::log("backup file %s refused: %s", path.c_str(), why.c_str());
    return false;
  }
  return readData(*bytes);
}

bool Zr_Backup::readData(std::span<const uint8_t> bytes) {
  if (bytes.size() < kHeaderSize || bytes.size() > kMaxFileSize) {
    fnd::log("backup file of %zu bytes: no backup is that size", bytes.size());
    return false;
  }
  const auto own = backupdata_.encode();
  if (!std::equal(own.begin(), own.begin() + kIdentitySize, bytes.begin())) {
    fnd::log("backup file of another product or version");
    return false;
  }
  const uint64_t sum = byteSum(bytes.first(kCheckSumOffset)) + byteSum(bytes.subspan(kHeaderSize));
  const BackupData header = BackupData::decode(bytes.first<kHeaderSize>());
  if (sum != header.checkSum) {
    fnd::log("backup file checksum does not match");
    return false;
  }
  if (!checkLayout(header, bytes)) return false;
  backupdata_ = header;
  readBytes_.assign(bytes.begin(), bytes.end());
  return true;
}

bool Zr_Backup::checkLayout(const BackupData& header, std::span<const uint8_t> bytes) const {
  if (header.typeSum > kMaxSections) {
    fnd::log("backup file names %u sections", header.typeSum);
    return false;
  }
  const uint64_t size = bytes.size();
  for (uint32_t s = 0; s < header.typeSum; ++s) {
    const uint64_t at = header.dataIndex[s];
    if (at < kHeaderSize || at > size || size - at < kSectionHeadSize) {
      fnd::log("backup file section %u lies outside the file", s);
      return false;
    }
    const SubHeadData head = SubHeadData::decode(bytes.subspan(static_cast<size_t>(at)).first<kSectionHeadSize>());
    const uint64_t room = size - at - kSectionHeadSize;
    const uint64_t recordSize = static_cast<uint64_t>(head.dataLength) + kRecordHeadSize;
    if (head.dataNumber > 0 && recordSize > room / head.dataNumber) {
      fnd::log("backup file section %u: %u records of %u bytes do not fit", s, head.dataNumber, head.dataLength);
      return false;
    }
  }
  return true;
}

std::span<const uint8_t> Zr_Backup::sectionHeadBytes(int index) const {
  if (index < 0 || static_cast<uint32_t>(index) >= backupdata_.typeSum || readBytes_.empty()) return {};
  return std::span<const uint8_t>(readBytes_).subspan(static_cast<size_t>(backupdata_.dataIndex[static_cast<size_t>(index)]),
                                                     kSectionHeadSize);
}

bool Zr_Backup::getSubHeadData(int index) {
  auto bytes = sectionHeadBytes(index);
  if (bytes.empty()) return false;
  subHeadData_ = SubHeadData::decode(bytes.first<kSectionHeadSize>());
  return true;
}

bool Zr_Backup::getData(int section, int record) {
  auto headBytes = sectionHeadBytes(section);
  if (headBytes.empty()) return false;
  // The section's own head gives the record size, so a record is never read
  // with another section's length.
  const SubHeadData head = SubHeadData::decode(headBytes.first<kSectionHeadSize>());
  if (record < 0 || static_cast<uint32_t>(record) >= head.dataNumber) return false;
  const uint64_t at = backupdata_.dataIndex[static_cast<size_t>(section)] + kSectionHeadSize +
                      static_cast<uint64_t>(record) * (static_cast<uint64_t>(head.dataLength) + kRecordHeadSize);
  const uint8_t* p = readBytes_.data() + at;
  typeData_.index = static_cast<int16_t>(get16(p + 32));
  typeData_.dataStart.assign(p + kRecordHeadSize, p + kRecordHeadSize + head.dataLength);
  return true;
}
