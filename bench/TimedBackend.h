// A HID backend around another (the simulated unit's) that stamps the moment
// the last output report was written (the write call returned) and, while
// asked, keeps the reports written: what the latency benchmarks time the
// program's writes by.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/hid/Backend.h"

namespace bench {

class TimedBackend final : public hid::Backend {
public:
  using Clock = std::chrono::steady_clock;

  explicit TimedBackend(std::shared_ptr<hid::Backend> inner) : inner_(std::move(inner)) {}
  std::string name() const override { return inner_->name(); }
  bool init() override { return inner_->init(); }
  std::vector<hid::DeviceInfo> enumerate(uint16_t v, uint16_t p, uint16_t r) override {
    return inner_->enumerate(v, p, r);
  }
  hid::OpenResult open(const hid::DeviceInfo& info) override {
    hid::OpenResult result = inner_->open(info);
    if (result.device) result.device = std::make_shared<Device>(result.device, log_);
    return result;
  }
  Clock::time_point lastWritten() const { return Clock::time_point(Clock::duration(log_->written.load())); }
  // Keeps the reports written from now until take().
  void record() {
    std::lock_guard guard(log_->mutex);
    log_->kept.clear();
    log_->recording = true;
  }
  std::vector<hid::Report> take() {
    std::lock_guard guard(log_->mutex);
    log_->recording = false;
    return std::move(log_->kept);
  }

private:
  struct Log {
    std::atomic<Clock::rep> written{0};
    std::mutex mutex;
    bool recording = false;
    std::vector<hid::Report> kept;
  };
  class Device final : public hid::Device {
  public:
    Device(std::shared_ptr<hid::Device> inner, std::shared_ptr<Log> log)
        : inner_(std::move(inner)), log_(std::move(log)) {}
    const hid::DeviceInfo& info() const override { return inner_->info(); }
    bool write(const hid::Report& report) override {
      const bool ok = inner_->write(report);
      log_->written.store(Clock::now().time_since_epoch().count());
      std::lock_guard guard(log_->mutex);
      if (log_->recording) log_->kept.push_back(report);
      return ok;
    }
    int read(hid::Report& out, std::chrono::milliseconds timeout) override { return inner_->read(out, timeout); }

  private:
    std::shared_ptr<hid::Device> inner_;
    std::shared_ptr<Log> log_;
  };
  std::shared_ptr<hid::Backend> inner_;
  std::shared_ptr<Log> log_ = std::make_shared<Log>();
};

}  // namespace bench
