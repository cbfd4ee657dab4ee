// The device service's IR and NR transfers: a user IR or NR file into one of
// the unit's ten user slots of each kind, clearing a slot, re-sending a slot
// from a backup, and asking the unit for its slots' data.
//
// A transfer is frame 0 [00, slot, isInteral, isImport], frame 1 [01, name],
// then the data frames, each sent when the unit has acknowledged the frame
// before it with the same command and that frame's number. IR frames 2 to 4
// carry bits 16-23, 8-15 and 0-7 of 512 24-bit samples; NR frames 2 to 5 bits
// 24-31 down to 0-7 of 512 words; from a backup each data frame carries the
// next 512 stored bytes as they are. A clear is frame 0 alone. When the last
// frame is acknowledged the slot's label in the catalogue is rewritten and the
// transfer's block gets 1.
//
// One transfer at a time. Its block is its own (a preset write's confirmation
// never ends it), an acknowledgement of any frame but the one waiting is
// ignored, and a unit that stops acknowledging ends the transfer with 1002
// after TransferTiming::acknowledgement.
#include <algorithm>
#include <cstring>
#include <filesystem>

#include "device/service/HIDServiceViewMode.h"
#include "device/files/NameChecks.h"
#include "device/files/Zr_IR.h"
#include "device/files/Zr_NR.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Log.h"

namespace host = dev::host_cmd;

namespace {

constexpr size_t kDataFrameSize = 512;
constexpr size_t kSentWords = 512;
constexpr size_t kNameBytes = 16;

// The frame after which the unit holds the whole slot.
int lastFrame(uint8_t cmd) { return cmd == host::kIRTransfer ? 4 : 5; }

bool isTransferCommand(int cmd) { return cmd == host::kIRTransfer || cmd == host::kNRTransfer; }

const char* kindName(uint8_t cmd) { return cmd == host::kIRTransfer ? "IR" : "NR"; }

bool isWholePrintableAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= ' ' && c <= '~'; });
}

std::string importName(const HIDServiceViewMode::ImportFile_Para& para) {
  const auto end = std::find(para.name.begin(), para.name.begin() + kNameBytes, 0);
  return std::string(para.name.begin(), end);
}

// Calls a result block now, on this thread, when there is one.
void report(const HIDServiceViewMode::ImportBlock& block, long result) {
  if (block) block(result);
}

}  // namespace

void HIDServiceViewMode::sendFileToDevice(dev::TransferKind type, const std::string& path, int index,
                                          ImportBlock result) {
  using Kind = dev::TransferKind;
  switch (type) {
    case Kind::ImportIR:
    case Kind::ImportNR:
      importFile(type == Kind::ImportIR, path, index, std::move(result));
      return;
    case Kind::ResendIR:
    case Kind::ResendNR:
      beginTransfer(type == Kind::ResendIR ? host::kIRTransfer : host::kNRTransfer, nullptr, std::move(result));
      return;
    case Kind::ClearIR:
    case Kind::ClearNR: {
      const bool ir = type == Kind::ClearIR;
      const int slot = index - (ir ? EffectCatalogue::kFirstIRType : EffectCatalogue::kFirstNRType);
      if (slot < 0 || slot >= dev::kUserSlotCount) {
        FND_LOG_AT("HIDServiceViewMode", "list index %d is no user %s slot: nothing cleared", index, ir ? "IR" : "NR");
        report(result, kTransferFailed);
        return;
      }
      ImportFile_Para para;
      para.firstPara.index = static_cast<uint8_t>(slot);
      std::memcpy(para.name.data(), "Empty", 5);
      beginTransfer(ir ? host::kIRTransfer : host::kNRTransfer, &para, std::move(result));
      return;
    }
    default:
      FND_LOG_AT("HIDServiceViewMode", "transfer type %d does nothing", static_cast<int>(type));
      return;
  }
}

// ImportIR and ImportNR, on the caller's thread: the name, then the file, then the
// transfer; nothing is sent unless all three are right.
void HIDServiceViewMode::importFile(bool ir, const std::string& path, int index, ImportBlock result) {
  const int slot = index - (ir ? EffectCatalogue::kFirstIRType : EffectCatalogue::kFirstNRType);
  if (slot < 0 || slot >= dev::kUserSlotCount) {
    FND_LOG_AT("HIDServiceViewMode", "list index %d is no user %s slot: nothing imported", index, ir ? "IR" : "NR");
    report(result, kTransferFailed);
    return;
  }
  // The name goes to the unit's name field byte for byte: the whole of it
  // must be printable, not only the part the name rule looks at.
  const std::string name = deletingPathExtension(std::filesystem::path(path).filename().string());
  if (!checkIR_NRName(name) || !isWholePrintableAscii(name)) {
    FND_LOG_AT("HIDServiceViewMode", "%s file name refused: %s", ir ? "IR" : "NR", name.c_str());
    report(result, kTransferBadName);
    return;
  }

  auto para = std::make_unique<ImportFile_Para>();
  para->firstPara = {static_cast<uint8_t>(slot), 1, 1, 0};
  std::copy_n(name.begin(), std::min(name.size(), kNameBytes), para->name.begin());
  fnd::ErrorPtr error;
  if (ir) {
    auto reader = std::make_unique<Zr_IR>();
    reader->OpenFilePath(path, &error);
    // A file whose samples cannot be brought to 512 points (an unsupported
    // rate, say) is refused like any other unreadable file.
    if (!error && !reader->GetIRDataBuffer(1))
      error = fnd::Error::withDescription(Zr_IR::kErrorDomain, Zr_IR::kErrorNotWave, "IR samples not converted");
    if (!error) std::copy_n(reader->irdatabuff.begin(), kSentWords, para->data.begin());
  } else {
    auto reader = std::make_unique<Zr_NR>();
    reader->OpenFilePath(path, &error);
    if (!error) std::copy_n(reader->databuff.begin(), kSentWords, para->data.begin());
  }
  if (error) {
    FND_LOG_AT("HIDServiceViewMode", "%s file refused (%lld): %s", ir ? "IR" : "NR", static_cast<long long>(error->code()),
               path.c_str());
    report(result, kTransferFailed);
    return;
  }
  beginTransfer(ir ? host::kIRTransfer : host::kNRTransfer, para.get(), std::move(result));
}

// Starts a transfer of `para` (null: the transfer record as it stands).
void HIDServiceViewMode::beginTransfer(uint8_t cmd, const ImportFile_Para* para, ImportBlock result) {
  {
    Locked locked(*this);
    if (transferCmd_ == 0) {
      if (para) importStruct_ = *para;
      transferCmd_ = cmd;
      transferFrame_ = -1;
      transferBlock_ = std::move(result);
      sendIR_NRData(0, cmd);
      armTransferBound();
      return;
    }
  }
  FND_LOG_AT("HIDServiceViewMode", "an %s transfer was refused: another one is running", kindName(cmd));
  report(result, kTransferFailed);
}

void HIDServiceViewMode::sendIR_NRData(int m, int cmd) {
  if (!isTransferCommand(cmd)) return;
  const auto code = static_cast<uint8_t>(cmd);
  Locked locked(*this);
  const ImportFile_Para& para = importStruct_;
  std::vector<uint8_t> payload{static_cast<uint8_t>(m)};
  if (m == 0) {
    payload.insert(payload.end(), {para.firstPara.index, para.firstPara.isInteral, para.firstPara.isImport});
  } else if (m == 1) {
    payload.insert(payload.end(), para.name.begin(), para.name.begin() + kNameBytes);
  } else if (m >= 2 && m <= lastFrame(code)) {
    payload.resize(1 + kDataFrameSize);
    if (para.firstPara.isBack) {
      // Raw bytes of the backup, as the unit exported them.
      const auto* bytes = reinterpret_cast<const uint8_t*>(para.data.data());
      std::memcpy(&payload[1], bytes + static_cast<size_t>(m - 2) * kDataFrameSize, kDataFrameSize);
    } else {
      const int shift = 8 * ((code == host::kIRTransfer ? 4 : 5) - m);
      for (size_t j = 0; j < kSentWords; ++j) payload[1 + j] = static_cast<uint8_t>((para.data[j] >> shift) & 0xFF);
    }
  } else {
    return;
  }
  FND_LOG_AT("HIDServiceViewMode", "%s frame %d sent", kindName(code), m);
  send(code, payload);
  if (transferCmd_ == code) transferFrame_ = m;
}

// 0xB5 / 0xB7 [m] (HID thread, under the lock): the unit took frame m.
void HIDServiceViewMode::transferAcknowledged(uint8_t code, std::span<const uint8_t> payload) {
  const int m = payload[0];
  if (transferCmd_ != code) {
    FND_LOG_AT("HIDServiceViewMode", "acknowledgement 0x%02X of frame %d: no such transfer running", code, m);
    return;
  }
  if (m != transferFrame_) {
    FND_LOG_AT("HIDServiceViewMode", "acknowledgement 0x%02X of frame %d while frame %d waits: ignored", code, m,
               transferFrame_);
    return;
  }
  const bool clear = importStruct_.firstPara.isImport == 0;
  if (!clear && m < lastFrame(code)) {
    sendIR_NRData(m + 1, code);
    armTransferBound();
    return;
  }
  const auto kind = code == host::kIRTransfer ? EffectCatalogue::UserSlot::IR : EffectCatalogue::UserSlot::NR;
  const int slot = importStruct_.firstPara.index;
  if (clear)
    catalogue_->clearUserSlotLabel(kind, slot);
  else
    catalogue_->setUserSlotLabel(kind, slot, importName(importStruct_));
  FND_LOG_AT("HIDServiceViewMode", "%s slot %d %s", kindName(code), slot, clear ? "cleared" : "written");
  finishTransfer(kTransferDone);
}

// Under the lock: ends the running transfer; its block runs once the lock is
// released.
void HIDServiceViewMode::finishTransfer(long result) {
  ImportBlock block = std::move(transferBlock_);
  transferBlock_ = nullptr;
  transferCmd_ = 0;
  transferFrame_ = -1;
  ++transferBound_;
  if (block) afterUnlock([block = std::move(block), result] { block(result); });
}

// Under the lock: the running transfer fails unless the unit acknowledges its
// frame within the bound. Each new frame arms a new bound; older ones lapse.
void HIDServiceViewMode::armTransferBound() {
  const uint64_t armed = ++transferBound_;
  std::weak_ptr<HIDServiceViewMode> weak = std::static_pointer_cast<HIDServiceViewMode>(shared_from_this());
  dispatch::Queue::global()->after(transferTiming_.acknowledgement, [weak, armed] {
    auto self = weak.lock();
    if (!self) return;
    Locked locked(*self);
    if (self->transferCmd_ == 0 || self->transferBound_ != armed) return;
    FND_LOG_AT("HIDServiceViewMode", "%s frame %d not acknowledged in time: transfer failed",
               kindName(self->transferCmd_), self->transferFrame_);
    self->finishTransfer(kTransferFailed);
  });
}

void HIDServiceViewMode::revicedIRNRData(int kind) {
  if (kind != 0 && kind != 1) {
    FND_LOG_AT("HIDServiceViewMode", "no slot export of kind %d", kind);
    return;
  }
  Locked locked(*this);
  send(static_cast<uint8_t>(host::kExportIR + kind), {0x00});
}

HIDServiceViewMode::ImportFile_Para HIDServiceViewMode::importStruct() const { return lockedCopy(importStruct_); }

bool HIDServiceViewMode::setImportStruct(const ImportFile_Para& para) {
  std::lock_guard guard(mutex_);
  if (transferCmd_ != 0) {
    FND_LOG_AT("HIDServiceViewMode", "transfer record not replaced: a transfer is running");
    return false;
  }
  importStruct_ = para;
  return true;
}

bool HIDServiceViewMode::isTransferring() const {
  std::lock_guard guard(mutex_);
  return transferCmd_ != 0;
}

HIDServiceViewMode::TransferTiming HIDServiceViewMode::transferTiming() const { return lockedCopy(transferTiming_); }

void HIDServiceViewMode::setTransferTiming(const TransferTiming& timing) { lockedAssign(transferTiming_, timing); }
