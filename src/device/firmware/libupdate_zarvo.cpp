#include "device/firmware/libupdate_zarvo.h"

#include <pthread.h>

#include "platform/foundation/Files.h"
#include "platform/foundation/Log.h"

// What the progress timer and the end of the worker look at. Ticks run one at
// a time on the progress queue; cancelUpdate meets them under `mutex`.
struct libupdate_zarvo::Watch {
  std::shared_ptr<FirmwareEngine> engine;
  std::shared_ptr<dispatch::Queue> queue;
  std::weak_ptr<dispatch::TimerSource> timer;
  ValueBlock progress;
  ValueBlock error;
  // The worker has returned. The end is reported only then, so that whoever
  // hears of it may start the next update at once.
  std::atomic<bool> workerDone{false};

  std::mutex mutex;
  std::condition_variable callEnded;
  int lastPercent = 0;
  // The end was reported, or the update was cancelled: nothing more is called.
  bool over = false;
  // A progress or error callback is running, on this thread.
  bool calling = false;
  std::thread::id callingThread;
};

struct libupdate_zarvo::WorkerState {
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
};

std::filesystem::path libupdate_zarvo::bundledFirmwarePath() { return fnd::paths::resourcePath(kFirmwareImageName); }

std::shared_ptr<libupdate_zarvo> libupdate_zarvo::getInstance() {
  // Made on first use and ended (HID thread and worker stopped) at exit.
  static const std::shared_ptr<libupdate_zarvo> instance = create();
  return instance;
}

std::shared_ptr<libupdate_zarvo> libupdate_zarvo::initWithDeviceName(const std::string& name,
                                                                      const std::string& version, uint16_t Pid,
                                                                      uint16_t vid, uint16_t ver) {
  auto instance = getInstance();
  instance->setPid(Pid, vid, ver);
  instance->setDeviceName(name, version);
  return instance;
}

std::shared_ptr<libupdate_zarvo> libupdate_zarvo::create(std::shared_ptr<hid::Backend> backend) {
  std::shared_ptr<libupdate_zarvo> instance(new libupdate_zarvo(std::move(backend)));
  instance->init();
  return instance;
}

libupdate_zarvo::libupdate_zarvo(std::shared_ptr<hid::Backend> backend)
    : backend_(std::move(backend)), engine_(std::make_shared<FirmwareEngine>()) {}

void libupdate_zarvo::init() {
  hidclass_ = std::make_shared<HIDClass>(backend_);
  hidclass_->setDelegate(weak_from_this());
  // Frames of a unit outside application mode are the boot loader's answers.
  std::weak_ptr<FirmwareEngine> engine = engine_;
  hidclass_->setUpdateHandleReply([engine](std::span<const uint8_t> frame) {
    if (auto e = engine.lock()) e->updateHandleReply(frame);
  });
  std::weak_ptr<HIDClass> transport = hidclass_;
  engine_->setLink({[transport] {
                      auto t = transport.lock();
                      return t && t->hid_current_device() != nullptr;
                    },
                    [transport](std::span<const uint8_t> bytes) {
                      auto t = transport.lock();
                      return t && t->hid_send_reports(bytes) == 1;
                    }});
}

libupdate_zarvo::~libupdate_zarvo() {
  cancelUpdate();
  hidclass_.reset();
}

libupdate_zarvo::Timing libupdate_zarvo::timing() const {
  std::lock_guard guard(mutex_);
  return timing_;
}

void libupdate_zarvo::setTiming(const Timing& timing) {
  std::lock_guard guard(mutex_);
  timing_ = timing;
}

void libupdate_zarvo::setPid(uint16_t pid, uint16_t vid, uint16_t ver) {
  hidclass_->setPid(pid);
  hidclass_->setVid(vid);
  hidclass_->setVer(ver);
}

void libupdate_zarvo::setDeviceName(const std::string& name, const std::string& version) {
  hidclass_->setDeviceName(name);
  hidclass_->setDeviceVersion(version);
}

int libupdate_zarvo::connectDeviceWithCMD(const uint8_t* cmd, size_t len) {
  if (hidclass_->OpenDevice(cmd, len)) return 1;
  if (hidclass_->hid_device_mode() == HIDClass::kModeVersionLow) return 0;
  fnd::log("查找设备失败!");
  return -1;
}

void libupdate_zarvo::runApp(const Block& app, const Block& bootloader, const Block& versionlow, const Block& error) {
  const Block* chosen;
  switch (hidclass_->hid_device_mode()) {
    case HIDClass::kModeApplication:
      chosen = &app;
      break;
    case HIDClass::kModeBootLoader:
      chosen = &bootloader;
      break;
    case HIDClass::kModeVersionLow:
      chosen = &versionlow;
      break;
    default:
      chosen = &error;
      break;
  }
  if (*chosen) (*chosen)();
}

void libupdate_zarvo::sendCMD(uint32_t cmd, const uint8_t* data, uint16_t datalen) {
  hidclass_->sendCMD(cmd, data, datalen);
}

// --- firmware update ---

bool libupdate_zarvo::isUpdating() const {
  std::shared_ptr<WorkerState> state;
  {
    std::lock_guard guard(mutex_);
    state = workerState_;
  }
  if (!state) return false;
  std::lock_guard guard(state->mutex);
  return !state->done;
}

std::string libupdate_zarvo::updateErrorText() const { return engine_->errorText(); }

void libupdate_zarvo::beginUpdate(const std::string& path, ValueBlock progressValue, ValueBlock error) {
  std::lock_guard begin(beginMutex_);
  if (isUpdating()) {
    fnd::log("A firmware update is already running; the second one is refused");
    return;
  }
  const Timing t = timing();
  joinWorker(t.quit);  // the previous, finished worker
  engine_->reset();
  engine_->setImagePath(path);

  auto watch = std::make_shared<Watch>();
  watch->engine = engine_;
  watch->queue = dispatch::Queue::createSerial("com.hid.update.progress");
  watch->progress = std::move(progressValue);
  watch->error = std::move(error);
  auto timer = std::make_shared<dispatch::TimerSource>(watch->queue);
  watch->timer = timer;
  timer->setTimer(t.progressFirstTick, t.progressInterval, {});
  timer->setEventHandler([watch] { tick(watch); });

  auto state = std::make_shared<WorkerState>();
  {
    std::lock_guard guard(mutex_);
    time_ = timer;
    watch_ = watch;
    workerState_ = state;
    worker_ = std::thread([engine = engine_, watch, state] {
      pthread_setname_np(pthread_self(), "com.hid.update");
      engine->updateRunFirmware();
      {
        std::lock_guard guard(state->mutex);
        state->done = true;
        state->finished.notify_all();
      }
      watch->workerDone = true;
      // The end is reported at once, not at the next tick.
      watch->queue->async([watch] { tick(watch); });
    });
  }
  timer->resume();
}

void libupdate_zarvo::tick(const std::shared_ptr<Watch>& watch) {
  ValueBlock call;
  int value = 0;
  bool ended = false;
  {
    std::lock_guard guard(watch->mutex);
    if (watch->over) return;
    const int status = watch->engine->status();
    const int percent = watch->engine->percentage();
    if (FirmwareEngine::isFinal(status)) {
      if (!watch->workerDone) return;  // the worker's own tick reports it
      watch->over = true;
      ended = true;
      if (status == FirmwareEngine::StatusFinished) {
        call = watch->progress;
        value = 100;
      } else if (status != FirmwareEngine::StatusCancelled) {  // a cancelled run is not a failure
        call = watch->error;
        value = status;
      }
    } else if (percent != watch->lastPercent && percent < 100) {
      // 100 is reported once the closing packet is out.
      watch->lastPercent = percent;
      call = watch->progress;
      value = percent;
    }
    // Decided under the lock that cancelUpdate takes: once it has marked the
    // update over, no callback starts.
    if (call) {
      watch->calling = true;
      watch->callingThread = std::this_thread::get_id();
    }
  }
  if (ended)
    if (auto timer = watch->timer.lock()) timer->cancel();
  if (!call) return;
  call(value);
  {
    std::lock_guard guard(watch->mutex);
    watch->calling = false;
  }
  watch->callEnded.notify_all();
}

void libupdate_zarvo::cancelUpdate() {
  std::shared_ptr<Watch> watch;
  std::shared_ptr<dispatch::TimerSource> timer;
  {
    std::lock_guard guard(mutex_);
    watch = watch_;
    timer = time_;
  }
  const auto bound = timing().quit;
  if (watch) {
    std::unique_lock lock(watch->mutex);
    watch->over = true;
    // A callback that started before this call ends before it returns, unless
    // it is the one calling (it may cancel from inside).
    if (watch->calling && watch->callingThread != std::this_thread::get_id() &&
        !watch->callEnded.wait_for(lock, bound, [&] { return !watch->calling; }))
      fnd::log("A firmware update callback still runs %lld ms after the cancel", static_cast<long long>(bound.count()));
  }
  if (timer) timer->cancel();
  engine_->cancel();
  joinWorker(bound);
}

void libupdate_zarvo::joinWorker(std::chrono::milliseconds bound) {
  std::thread worker;
  std::shared_ptr<WorkerState> state;
  {
    std::lock_guard guard(mutex_);
    if (!worker_.joinable()) return;
    worker = std::move(worker_);
    state = workerState_;
  }
  bool done;
  {
    std::unique_lock lock(state->mutex);
    done = state->finished.wait_for(lock, bound, [&] { return state->done; });
  }
  if (done) {
    worker.join();
  } else {
    // It holds only shared state of its own and ends at its next wait.
    fnd::log("The firmware worker did not stop in time; it is left to end by itself");
    worker.detach();
  }
}

// --- delegate ---

std::shared_ptr<ZarvoHIDDelegate> libupdate_zarvo::hidDelegate() const {
  std::lock_guard guard(mutex_);
  return hidDelegate_.lock();
}

void libupdate_zarvo::setHidDelegate(std::weak_ptr<ZarvoHIDDelegate> delegate) {
  std::lock_guard guard(mutex_);
  hidDelegate_ = std::move(delegate);
}

std::shared_ptr<dispatch::TimerSource> libupdate_zarvo::time() const {
  std::lock_guard guard(mutex_);
  return time_;
}

void libupdate_zarvo::callBackData(std::span<const uint8_t> frame) {
  if (auto delegate = hidDelegate()) delegate->callBackData(frame);
}

void libupdate_zarvo::disconnectDevice() {
  fnd::log("断开连接!!!");
  if (auto delegate = hidDelegate()) delegate->disconnectDevice();
}
