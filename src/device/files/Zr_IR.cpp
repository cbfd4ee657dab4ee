#include "device/files/Zr_IR.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <new>
#include <optional>
#include <system_error>

#include "device/files/NameChecks.h"
#include "platform/foundation/Files.h"
#include "platform/foundation/Log.h"

namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;

// Sizes inside the chunks, counted from the chunk's id.
constexpr size_t kFmtFieldsEnd = 24;      // id, size, tag, channels, rate, byte rate, align, bits
constexpr size_t kFmtSubFormatAt = 32;    // first two bytes of an extensible format's GUID
constexpr size_t kDataSamplesAt = 8;

// 1.0 and -1.0 are not 24-bit values; they become the nearest float to
// 0.999999 (0.99999899), as the unit's own tools do.
constexpr float kFullScale = 0.999999f;
constexpr float kToPoint = 8388608.0f;         // 2^23
constexpr float kFromPoint = 1.1920929e-7f;    // 2^-23

uint16_t u16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t u32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

// A signed value as a 24-bit two's-complement point.
uint32_t toPoint(int32_t p) {
  return p >= 0 ? static_cast<uint32_t>(p) & 0xFFFFFFu : (static_cast<uint32_t>(p) & 0x7FFFFFu) | 0x800000u;
}

float pointToFloat(uint32_t word) {
  int32_t v = static_cast<int32_t>(word & 0xFFFFFFu);
  if (v & 0x800000) v -= 0x1000000;
  return static_cast<float>(v) * kFromPoint;
}

// The first position from 0 to size - 5 where the four bytes occur.
std::optional<size_t> search(const std::vector<uint8_t>& b, const char* id) {
  if (b.size() < 5) return std::nullopt;
  for (size_t i = 0; i + 5 <= b.size(); ++i)
    if (std::memcmp(&b[i], id, 4) == 0) return i;
  return std::nullopt;
}

// Resampling steps: the input position advances by 1 + step per point.
struct RateInfo {
  uint32_t rate;
  uint32_t framesPerBlock;  // frames converted per 512-point block
  size_t resampleInput;     // converted words the resampler reads
  float step;
};
constexpr RateInfo kRates[] = {
    {44100, 512, 0, 0.0f},
    {48000, 560, 1120, 0.088f},
    {88200, 1025, 2050, 1.0f},
    {96000, 1120, 2240, 1.177f},
};

const RateInfo* rateInfo(uint32_t rate) {
  for (const RateInfo& r : kRates)
    if (r.rate == rate) return &r;
  return nullptr;
}

}  // namespace

std::string Zr_IR::errorDescription(int code) {
  if (code == kErrorName)
    return "Error: " + std::to_string(code) +
           ".\nWrong file name format!\u00A0\u2028Please check compatibility of file name.";
  return " error: " + std::to_string(code) +
         ". \nIR import failed!\nPlease restart the software and try again.\n"
         "If problem reoccurs, please check compatibility of IR file.\u00A0\u00A0";
}

bool Zr_IR::isSupportedRate(uint32_t rate) { return rateInfo(rate) != nullptr; }

uint32_t Zr_IR::framesPerBlock(uint32_t rate) {
  const RateInfo* r = rateInfo(rate);
  return r ? r->framesPerBlock : 0;
}

uint32_t Zr_IR::floatToPoint(float f) {
  if (std::isnan(f)) f = 0.0f;
  if (f >= 1.0f) f = kFullScale;
  if (f <= -1.0f) f = -kFullScale;
  return toPoint(static_cast<int32_t>(f * kToPoint));
}

bool Zr_IR::fail(fnd::ErrorPtr* error, int code) {
  IsFileOpenSuccess = false;
  if (error) *error = fnd::Error::withDescription(kErrorDomain, code, errorDescription(code));
  return false;
}

void Zr_IR::OpenFilePath(const std::string& path, fnd::ErrorPtr* error) {
  const std::string baseName = deletingPathExtension(std::filesystem::path(path).filename().string());
  // The name is judged before anything is read.
  for (unsigned char c : baseName)
    if (c < 32 || c > 126) return (void)fail(error, kErrorName);
  std::string why;
  fnd::files::ReadFailure failure = fnd::files::ReadFailure::none;
  auto bytes = fnd::files::readAtMost(path, kMaxFileSize, &why, &failure);
  if (!bytes) {
    fnd::log("IR file cannot be read: %s", why.c_str());
    const bool noRoom = failure == fnd::files::ReadFailure::tooLarge || failure == fnd::files::ReadFailure::noMemory;
    return (void)fail(error, noRoom ? kErrorNoMemory : kErrorUnreadable);
  }
  OpenData(*bytes, baseName, error);
}

void Zr_IR::OpenData(std::span<const uint8_t> bytes, std::string_view baseName, fnd::ErrorPtr* error) {
  IsFileOpenSuccess = false;
  for (unsigned char c : baseName)
    if (c < 32 || c > 126) return (void)fail(error, kErrorName);
  if (bytes.size() > kMaxFileSize) return (void)fail(error, kErrorNoMemory);
  try {
    pFileBuff.assign(bytes.begin(), bytes.end());
  } catch (const std::bad_alloc&) {
    return (void)fail(error, kErrorNoMemory);
  }
  FileSize = static_cast<uint32_t>(pFileBuff.size());

  if (pFileBuff.size() >= 7 && std::memcmp(pFileBuff.data(), "ZarvoIR", 7) == 0) {
    if (pFileBuff.size() < kOwnFileSize) return (void)fail(error, kErrorNoData);
    isInteralIR = 1;
    pIRData = kOwnHeaderSize;
    IsFileOpenSuccess = true;
    return;
  }
  isInteralIR = 0;
  if (!findWave(error)) return;
  IsFileOpenSuccess = true;
}

bool Zr_IR::findWave(fnd::ErrorPtr* error) {
  const std::vector<uint8_t>& b = pFileBuff;
  // The byte search decides which error a file gets.
  auto fmtFound = search(b, "fmt ");
  if (!fmtFound) return fail(error, kErrorNoFormat);
  auto dataFound = search(b, "data");
  if (!dataFound) return fail(error, kErrorNoData);
  if (b.size() < 12 || std::memcmp(&b[0], "RIFF", 4) != 0 || std::memcmp(&b[8], "WAVE", 4) != 0)
    return fail(error, kErrorNotWave);

  // The chunks themselves are found by walking them, so that the ids inside
  // another chunk's text or samples are not taken for them; a file whose
  // chunk sizes do not lead there falls back to the first occurrence.
  std::optional<size_t> fmtWalked, dataWalked;
  for (size_t at = 12; at + 8 <= b.size() && !(fmtWalked && dataWalked);) {
    const uint32_t size = u32(&b[at + 4]);
    if (!fmtWalked && std::memcmp(&b[at], "fmt ", 4) == 0) fmtWalked = at;
    if (!dataWalked && std::memcmp(&b[at], "data", 4) == 0) dataWalked = at;
    const uint64_t next = static_cast<uint64_t>(at) + 8 + size + (size & 1u);
    if (next > b.size()) break;
    at = static_cast<size_t>(next);
  }
  fmtChunk = fmtWalked.value_or(*fmtFound);
  dataChunk = dataWalked.value_or(*dataFound);

  if (fmtChunk + kFmtFieldsEnd > b.size()) return fail(error, kErrorNoFormat);
  if (dataChunk + kDataSamplesAt > b.size()) return fail(error, kErrorNoData);

  formatTag = u16(&b[fmtChunk + 8]);
  channels = u16(&b[fmtChunk + 10]);
  sampleRate = u32(&b[fmtChunk + 12]);
  bitsPerSample = u16(&b[fmtChunk + 22]);
  uint16_t subFormat = formatTag;
  if (formatTag == kFormatExtensible && fmtChunk + kFmtSubFormatAt + 2 <= b.size())
    subFormat = u16(&b[fmtChunk + kFmtSubFormatAt]);
  // 32-bit samples are floats unless the file says they are integers.
  integerSamples32 = subFormat == kFormatPcm;

  // What cannot be converted is refused here, with a code, rather than by a
  // silent NO later.
  const bool mono_or_stereo = channels == 1 || channels == 2;
  const bool knownBits = bitsPerSample == 8 || bitsPerSample == 16 || bitsPerSample == 24 || bitsPerSample == 32;
  if (channels == 0 || bitsPerSample < 8 || !isSupportedRate(sampleRate) || (mono_or_stereo && !knownBits)) {
    fnd::log("IR file: %u channels, %u bits, %u Hz cannot be converted", channels, bitsPerSample, sampleRate);
    return fail(error, kErrorNotWave);
  }

  pIRData = dataChunk + kDataSamplesAt;
  const uint64_t declared = u32(&b[dataChunk + 4]);
  const uint64_t available = std::min<uint64_t>(declared, b.size() - pIRData);
  const uint64_t frameBytes = static_cast<uint64_t>(channels) * (bitsPerSample / 8u);
  PointSize = static_cast<uint32_t>(available / frameBytes);
  return true;
}

uint32_t Zr_IR::samplePoint(size_t at) const {
  const uint8_t* p = &pFileBuff[at];
  switch (bitsPerSample) {
    case 8: return toPoint((static_cast<int32_t>(p[0]) - 128) * 65536);
    case 16: return toPoint(static_cast<int16_t>(u16(p)) * 256);
    case 24: return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16);
    default: break;
  }
  if (integerSamples32) return static_cast<uint32_t>(p[1]) | (static_cast<uint32_t>(p[2]) << 8) | (static_cast<uint32_t>(p[3]) << 16);
  float f;
  const uint32_t raw = u32(p);
  std::memcpy(&f, &raw, sizeof f);
  return floatToPoint(f);
}

bool Zr_IR::GetIRDataBuffer(uint32_t n) {
  if (!IsFileOpenSuccess) return false;
  if (isInteralIR) {
    for (size_t k = 0; k < kPointCount; ++k) {
      const uint8_t* p = &pFileBuff[pIRData + 3 * k];
      irdatabuff[k] = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16);
    }
    return true;
  }
  n = std::min(n, kMaxBlocks);
  std::fill_n(IRPointBuffer.begin(), static_cast<size_t>(n) * 1120, 0u);
  const RateInfo* rate = rateInfo(sampleRate);
  if (!rate) return false;
  const size_t frames = std::min<size_t>(PointSize, static_cast<size_t>(n) * rate->framesPerBlock);
  if (channels == 1 || channels == 2) {
    if (bitsPerSample != 8 && bitsPerSample != 16 && bitsPerSample != 24 && bitsPerSample != 32) return false;
    const size_t frameBytes = static_cast<size_t>(channels) * (bitsPerSample / 8u);
    for (size_t i = 0; i < frames; ++i) IRPointBuffer[i] = samplePoint(pIRData + i * frameBytes);
  }
  // Any other channel count leaves the points silent.
  if (rate->rate == 44100) {
    std::copy_n(IRPointBuffer.begin(), static_cast<size_t>(n) * kBlockPoints, irdatabuff.begin());
    return true;
  }
  resample();
  return true;
}

// A product rounded to single precision on its own. Without this a compiler
// allowed to contract (FMA, as with -march=x86-64-v3) fuses the product into
// the following sum with one rounding instead of two, and points come out
// one step off. Going through memory forces the rounding whatever the flags.
static float roundedProduct(float a, float b) {
  volatile float product = a * b;
  return product;
}

// Straight-line interpolation to 1024 points at 44.1 kHz with a fixed step
// per rate, in single precision, without filtering: the unit's own tools
// resample this way, and its stored IRs match them point for point. Each step
// rounds to single precision by itself (see roundedProduct).
void Zr_IR::resample() {
  const RateInfo* rate = rateInfo(sampleRate);
  std::array<float, 2240> in{};
  const size_t count = std::min(rate->resampleInput, in.size());
  for (size_t i = 0; i < count; ++i) in[i] = pointToFloat(IRPointBuffer[i]);
  auto at = [&](size_t i) { return i < count ? in[i] : 0.0f; };

  std::array<float, kResampledPoints> out{};
  out[0] = in[0];
  size_t j = 1;
  float t = 0.0f;
  for (size_t k = 1; k < kResampledPoints; ++k) {
    t = t + rate->step;
    while (t >= 1.0f) {
      t = t - 1.0f;
      j = j + 1;
    }
    const float rise = at(j + 1) - at(j);
    const float part = roundedProduct(rise, t);
    out[k] = at(j) + part;
    j = j + 1;
  }
  for (size_t k = 0; k < kResampledPoints; ++k) irdatabuff[k] = floatToPoint(out[k]);
}
