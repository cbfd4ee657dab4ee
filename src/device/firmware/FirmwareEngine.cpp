#include "device/firmware/FirmwareEngine.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "platform/foundation/Log.h"

namespace boot = dev::boot;

namespace {

constexpr size_t kLength = 2;   // offset of the length field
constexpr size_t kType = 4;     // the type byte sits in the command position
constexpr size_t kPayload = 5;  // first byte after the type

}  // namespace

FirmwareEngine::FirmwareEngine(Link link) : link_(std::move(link)) {
  packet_[0] = frame::kHead0;
  packet_[1] = frame::kHead1;
}

void FirmwareEngine::setLink(Link link) {
  std::lock_guard guard(stateMutex_);
  link_ = std::move(link);
}

void FirmwareEngine::setImagePath(std::string path) {
  std::lock_guard guard(stateMutex_);
  imagePath_ = std::move(path);
}

std::string FirmwareEngine::imagePath() const {
  std::lock_guard guard(stateMutex_);
  return imagePath_;
}

std::string FirmwareEngine::errorText() const {
  std::lock_guard guard(stateMutex_);
  return errorText_;
}

void FirmwareEngine::cancel() {
  {
    std::lock_guard guard(flagMutex_);
    cancelled_ = true;
  }
  flagChanged_.notify_all();
}

void FirmwareEngine::reset() {
  if (running_.load()) return;
  {
    std::lock_guard guard(flagMutex_);
    cancelled_ = false;
  }
  {
    std::lock_guard guard(stateMutex_);
    errorText_.clear();
  }
  percentage_.store(0);
  status_.store(StatusIdle);
}

bool FirmwareEngine::cancelled() const {
  std::lock_guard guard(flagMutex_);
  return cancelled_;
}

bool FirmwareEngine::waitFlag(const std::function<bool()>& flag, std::chrono::microseconds bound) {
  std::unique_lock lock(flagMutex_);
  flagChanged_.wait_for(lock, bound, [&] { return cancelled_ || flag(); });
  return !cancelled_ && flag();
}

int FirmwareEngine::fail(Status status, std::string text) {
  fnd::log("firmware update failed (status %d): %s", static_cast<int>(status), text.c_str());
  {
    std::lock_guard guard(stateMutex_);
    errorText_ = std::move(text);
  }
  status_.store(status);
  return 0;
}

int FirmwareEngine::endCancelled() {
  fnd::log("firmware update cancelled");
  status_.store(StatusCancelled);
  return 0;
}

int FirmwareEngine::failUnlessCancelled(Status status, std::string text) {
  return cancelled() ? endCancelled() : fail(status, std::move(text));
}

void FirmwareEngine::sleepFor(std::chrono::microseconds duration) {
  std::unique_lock lock(flagMutex_);
  flagChanged_.wait_for(lock, duration, [&] { return cancelled_; });
}

void FirmwareEngine::updateSleepMs(unsigned milliseconds) { sleepFor(std::chrono::milliseconds(milliseconds)); }

void FirmwareEngine::updateSleepUs(unsigned microseconds) { sleepFor(std::chrono::microseconds(microseconds)); }

bool FirmwareEngine::updateLoadImage() {
  blocksSent_ = 0;
  std::string error;
  image_ = FirmwareImage::load(imagePath(), &error);
  std::lock_guard flags(flagMutex_);
  ackTypes_.clear();
  sectionAck_.clear();
  if (!image_) {
    percentBase_ = 0;
    std::lock_guard guard(stateMutex_);
    errorText_ = error;
    return false;
  }
  // Every reply type is known before the first packet goes out.
  percentBase_ = image_->percentBase();
  announceType_ = image_->announceReplyType();
  for (const auto& section : image_->sections()) ackTypes_.push_back(section.ackType);
  sectionAck_.assign(ackTypes_.size(), false);
  return true;
}

size_t FirmwareEngine::updateReadSectionHeader(size_t n, uint8_t* dest) const {
  if (!image_ || dest == nullptr) return 0;
  auto head = image_->head(n);
  std::copy(head.begin(), head.end(), dest);
  return head.size();
}

size_t FirmwareEngine::updateReadSectionData(size_t n, std::vector<uint8_t>& dest) const {
  if (!image_) return 0;
  auto data = image_->data(n);
  dest.assign(data.begin(), data.end());
  return data.size();
}

bool FirmwareEngine::updateSendPacket() {
  size_t size = frame::seal(packet_);
  if (size == 0 || cancelled()) return false;
  Link link;
  {
    std::lock_guard guard(stateMutex_);
    link = link_;
  }
  return link.sendReports && link.sendReports(std::span<const uint8_t>(packet_.data(), size));
}

void FirmwareEngine::buildShortPacket(uint8_t type) {
  packet_[kLength] = 2;
  packet_[kLength + 1] = 0;
  packet_[kType] = type;
  packet_[kPayload] = 0;
}

bool FirmwareEngine::sendBlock(uint8_t type, uint16_t number, const uint8_t* data, size_t section,
                               std::chrono::microseconds bound) {
  packet_[kLength] = boot::kBlockPacketLength & 0xFF;
  packet_[kLength + 1] = boot::kBlockPacketLength >> 8;
  packet_[kType] = type;
  packet_[kPayload] = static_cast<uint8_t>(number >> 8);  // block number, high byte first
  packet_[kPayload + 1] = static_cast<uint8_t>(number & 0xFF);
  std::memcpy(&packet_[kPayload + 2], data, boot::kBlockSize);

  ++blocksSent_;
  size_t percent = percentBase_ == 0 ? 100 : std::min<size_t>(blocksSent_ * 100 / percentBase_, 100);
  percentage_.store(percent < 2 ? 2 : static_cast<int>(percent));

  {
    std::lock_guard guard(flagMutex_);
    if (section < sectionAck_.size()) sectionAck_[section] = false;
  }
  if (!updateSendPacket()) {
    blockFailure_ = StatusBlockSendFailed;
    blockFailureText_ = fnd::format("block %u of section %zu could not be sent", number, section + 1);
    return false;
  }
  if (!waitFlag([&] { return section < sectionAck_.size() && sectionAck_[section]; }, bound)) {
    blockFailure_ = StatusNoAnswer;
    blockFailureText_ = fnd::format("the unit did not acknowledge block %u of section %zu", number, section + 1);
    return false;
  }
  return true;
}

bool FirmwareEngine::updateSendSectionBlocks(const uint8_t* data, uint16_t firstBlock, size_t length, uint8_t type,
                                             size_t section) {
  for (size_t b = 0; b < length / boot::kBlockSize; ++b) {
    auto number = static_cast<uint16_t>(firstBlock + b);
    if (!sendBlock(type, number, data + b * boot::kBlockSize, section, blockAckTimeout)) return false;
  }
  return true;
}

bool FirmwareEngine::updateSendBlockRange(uint16_t firstBlock, uint16_t endBlock, size_t offset, int maxWaits,
                                          uint8_t type, size_t section) {
  if (!image_ || endBlock < firstBlock) return false;
  const size_t count = endBlock - firstBlock;
  const auto& bytes = image_->bytes();
  if (offset > bytes.size() || count > (bytes.size() - offset) / boot::kBlockSize) {
    fnd::log("firmware: blocks %u to %u from offset %zu lie outside the image (%zu bytes)", firstBlock, endBlock,
             offset, bytes.size());
    return false;
  }
  if (count == 0) return true;
  if (maxWaits <= 0) {
    // No wait allowed: the first block goes out, and the range fails there.
    sendBlock(type, firstBlock, bytes.data() + offset, section, {});
    return false;
  }
  const auto bound = waitStep * maxWaits;
  for (size_t b = 0; b < count; ++b) {
    if (!sendBlock(type, static_cast<uint16_t>(firstBlock + b), bytes.data() + offset + b * boot::kBlockSize, section,
                   bound))
      return false;
  }
  return true;
}

void FirmwareEngine::updateHandleReply(std::span<const uint8_t> frame) {
  const size_t length = frame.size();
  if (length < frame::kOverhead + 1) return;
  const uint8_t type = frame[kType];
  // The first payload byte, when the frame has a payload.
  const bool success = length >= frame::kOverhead + 2 && frame[kPayload] == boot::kReplySuccess;
  {
    std::lock_guard guard(flagMutex_);
    if (type == boot::kReplyHello) {
      helloAck_ = true;
    } else if (type == announceType_ && !ackTypes_.empty()) {
      if (success) announceAck_ = true;
    } else if (success) {
      for (size_t i = 0; i < ackTypes_.size(); ++i)
        if (ackTypes_[i] == type) sectionAck_[i] = true;
    }
  }
  flagChanged_.notify_all();
}

int FirmwareEngine::updateRunFirmware() {
  if (running_.exchange(true)) return 0;
  struct Done {  // however the run ends, the image goes
    FirmwareEngine* e;
    ~Done() {
      e->image_.reset();
      e->running_.store(false);
    }
  } done{this};

  {
    std::lock_guard guard(flagMutex_);
    helloAck_ = announceAck_ = false;
    ackTypes_.clear();
    sectionAck_.clear();
  }
  {
    std::lock_guard guard(stateMutex_);
    errorText_.clear();
  }
  percentage_.store(0);
  Link link;
  {
    std::lock_guard guard(stateMutex_);
    link = link_;
  }
  if (!link.deviceOpen || !link.deviceOpen()) return fail(StatusAnnounceSendFailed, "no unit is connected");
  status_.store(StatusRunning);

  if (!updateLoadImage()) return fail(StatusImageFailed, errorText());
  const FirmwareImage& image = *image_;
  if (cancelled()) return endCancelled();

  buildShortPacket(boot::kPacketStart);
  updateSendPacket();  // no answer is awaited, and a failure shows with packet 00

  {
    std::lock_guard guard(flagMutex_);
    helloAck_ = false;
  }
  buildShortPacket(boot::kPacketHello);
  if (!updateSendPacket()) return failUnlessCancelled(StatusAnnounceSendFailed, "packet 00 could not be sent");
  if (!waitFlag([&] { return helloAck_; }, waitStep * helloWaitSteps))
    return failUnlessCancelled(StatusNoAnswer, "the unit did not answer packet 00");

  // Packet 02: its value byte; the three bytes after it are left as the
  // previous packet left them.
  packet_[kLength] = 5;
  packet_[kLength + 1] = 0;
  packet_[kType] = boot::kPacketAnnounce;
  packet_[kPayload] = static_cast<uint8_t>(image.announceValue() & 0xFF);
  if (!updateSendPacket()) return failUnlessCancelled(StatusAnnounceSendFailed, "packet 02 could not be sent");
  const uint32_t limit = image.announceWaitLimit();
  const auto started = std::chrono::steady_clock::now();
  bool answered = waitFlag([&] { return announceAck_; }, waitStep * limit);
  auto steps = (std::chrono::steady_clock::now() - started) / waitStep;
  fnd::log("%u ---%lld--- %d", limit, static_cast<long long>(steps), answered ? 1 : 0);
  if (!answered) return failUnlessCancelled(StatusNoAnswer, "the unit did not accept packet 02");

  for (size_t i = 0; i < image.sectionCount(); ++i) {
    fnd::log("----------------------------");
    const FirmwareImage::Section& s = image.sections()[i];
    auto data = image.data(i + 1);
    if (!updateSendSectionBlocks(data.data(), s.firstBlock, s.dataLength, s.blockType, i))
      return failUnlessCancelled(blockFailure_, blockFailureText_);
  }

  buildShortPacket(boot::kPacketFinish);
  updateSendPacket();  // the unit restarts: no answer is awaited
  status_.store(StatusFinished);
  updateSleepMs(static_cast<unsigned>(finishPause.count()));
  return 1;
}
