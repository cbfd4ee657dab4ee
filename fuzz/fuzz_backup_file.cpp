// The backup reader over arbitrary file contents. Inputs whose first byte is
// odd get this product's identity and a matching checksum, so that the
// section and record checks behind them are reached. A file that is
// accepted is walked the way a restore walks it; every record handed out
// must have its section's length.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <system_error>
#include <vector>

#include "device/files/Zr_Backup.h"
#include "platform/foundation/Log.h"

namespace {

const uint8_t kVersion[21] = {'V', '1', '.', '0', '.', '0', 0, 'V', '1', '.', '0', '.', '0', 0,
                              'V', '1', '.', '0', '.', '0', 0};

// The readers' documents folder. Made before the first reader, so it goes
// after the last one, when the process ends.
struct ScratchFolder {
  std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("qv450-fuzz-backup-" + std::to_string(getpid()));
  ~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

std::shared_ptr<Zr_Backup> newReader() {
  static const ScratchFolder scratch;
  auto r = Zr_Backup::initWithBackupDevice("Brisco_QV450", kVersion, 21, {scratch.dir, nullptr});
  if (!r) std::abort();
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Refusals are logged; millions of them are only noise here.
  static const bool quiet = (fnd::setLogSink([](const std::string&) {}), true);
  (void)quiet;
  static std::shared_ptr<Zr_Backup> pristine = newReader();
  std::vector<uint8_t> file(data, data + size);
  if (size >= Zr_Backup::kHeaderSize && (data[0] & 1)) {
    const auto own = pristine->backupdata().encode();
    std::copy(own.begin(), own.begin() + Zr_Backup::kIdentitySize, file.begin());
    uint64_t sum = Zr_Backup::byteSum(std::span(file).first(Zr_Backup::kCheckSumOffset)) +
                   Zr_Backup::byteSum(std::span(file).subspan(Zr_Backup::kHeaderSize));
    for (int i = 0; i < 8; ++i) file[Zr_Backup::kCheckSumOffset + static_cast<size_t>(i)] = static_cast<uint8_t>(sum >> (8 * i));
  }
  static std::shared_ptr<Zr_Backup> reader = newReader();
  // A reader that accepted a file describes that file; start from a fresh one.
  if (reader->backupdata().typeSum != 0) reader = newReader();
  if (!reader->readData(file)) return 0;
  const uint32_t sections = reader->backupdata().typeSum;
  if (sections > Zr_Backup::kMaxSections) std::abort();
  for (uint32_t s = 0; s < sections; ++s) {
    if (!reader->getSubHeadData(static_cast<int>(s))) std::abort();
    const uint32_t records = reader->subHeadData().dataNumber;
    const uint32_t length = reader->subHeadData().dataLength;
    for (uint32_t k = 0; k < records && k < 4096; ++k) {
      if (!reader->getData(static_cast<int>(s), static_cast<int>(k))) std::abort();
      if (reader->typeData().dataStart.size() != length) std::abort();
    }
    if (reader->getData(static_cast<int>(s), static_cast<int>(records))) std::abort();
  }
  return 0;
}
