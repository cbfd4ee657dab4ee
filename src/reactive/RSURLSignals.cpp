#include "reactive/RSURLSignals.h"

#include <atomic>
#include <cerrno>
#include <optional>
#include <string_view>

#include "platform/foundation/Utf8.h"
#include "reactive/RSDebug.h"
#include "reactive/RSTuple.h"
#include "reactive/RSURLTransfer.h"

namespace {

// How long one step of a transfer may keep its queue's thread.
constexpr std::chrono::milliseconds kTransferSlice{50};

// One subscription's transfer: stepped on its own queue until it ends or the
// subscription is disposed.
struct RequestState {
  std::atomic<bool> cancelled{false};
  std::unique_ptr<rs_detail::URLTransfer> transfer;
};

std::optional<std::string> decodeUTF16(const uint8_t* p, size_t n, bool bigEndian) {
  if (n % 2 != 0) return std::nullopt;
  std::string out;
  for (size_t i = 0; i < n; i += 2) {
    uint32_t unit = bigEndian ? (p[i] << 8 | p[i + 1]) : (p[i + 1] << 8 | p[i]);
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (i + 3 >= n) return std::nullopt;
      uint32_t low = bigEndian ? (p[i + 2] << 8 | p[i + 3]) : (p[i + 3] << 8 | p[i + 2]);
      if (low < 0xDC00 || low > 0xDFFF) return std::nullopt;
      unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
      i += 2;
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      return std::nullopt;
    }
    fnd::utf8::append(out, unit);
  }
  return out;
}

// The text of the bytes and its encoding; nothing when they are not text.
std::optional<std::pair<std::string, RSStringEncoding>> decodeText(const fnd::Data& bytes) {
  const uint8_t* p = bytes.data();
  size_t n = bytes.size();
  if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
    auto text = decodeUTF16(p + 2, n - 2, false);
    if (!text) return std::nullopt;
    return std::make_pair(std::move(*text), RSStringEncoding::UTF16LittleEndian);
  }
  if (n >= 2 && p[0] == 0xFE && p[1] == 0xFF) {
    auto text = decodeUTF16(p + 2, n - 2, true);
    if (!text) return std::nullopt;
    return std::make_pair(std::move(*text), RSStringEncoding::UTF16BigEndian);
  }
  if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) {
    p += 3;
    n -= 3;
  }
  if (!fnd::utf8::isValid(std::string_view(reinterpret_cast<const char*>(p), n))) return std::nullopt;
  return std::make_pair(std::string(reinterpret_cast<const char*>(p), n), RSStringEncoding::UTF8);
}

// The contents of the URL, or the error; a status of 400 or more is an error.
rs_detail::URLResult readContents(const std::string& url) {
  rs_detail::URLResult result = rs_detail::URLTransfer::perform(RSURLRequest::requestWithURL(url));
  if (result.response && result.response->statusCode() >= 400) {
    long status = result.response->statusCode();
    result.error = fnd::Error::make(
        RSURLErrorDomain, RSURLErrorHTTPStatus,
        fnd::Dictionary{
            {fnd::LocalizedDescriptionKey, fnd::Value("the server answered " + std::to_string(status) + " for " + url)},
            {RSURLErrorStatusCodeKey, fnd::Value(static_cast<int64_t>(status))},
            {RSURLErrorURLKey, fnd::Value(url)}});
    result.response.reset();
    result.data.clear();
  }
  return result;
}

}  // namespace

RSSignalPtr rs_sendAsynchronousRequest(const RSURLRequest& request) {
  auto result = RSSignal::createSignal([request](const RSSubscriberPtr& subscriber) -> RSDisposablePtr {
    auto state = std::make_shared<RequestState>();
    RSSchedulerPtr queue =
        RSScheduler::schedulerWithPriority(dispatch::Priority::Default, RSLabel("NSURLConnectionRSSupport"));
    RSDisposablePtr steps =
        queue->scheduleRecursiveBlock(subscriber, [state, request, subscriber](const std::function<void()>& reschedule) {
          if (state->cancelled) return;
          if (!state->transfer) state->transfer = std::make_unique<rs_detail::URLTransfer>(request);
          std::optional<rs_detail::URLResult> finished = state->transfer->step(kTransferSlice);
          if (!finished) {
            reschedule();
            return;
          }
          state->transfer.reset();
          if (state->cancelled) return;
          if (finished->error) {
            subscriber->sendError(finished->error);
            return;
          }
          subscriber->sendNext(
              fnd::Value(RSTwoTuple::pack(fnd::Value(finished->response), fnd::Value(std::move(finished->data)))));
          subscriber->sendCompleted();
        });
    return RSDisposable::disposableWithBlock([state, steps] {
      state->cancelled = true;
      if (steps) steps->dispose();
    });
  });
  result->setNameWithFormat("+rs_sendAsynchronousRequest: %s", request.URL.c_str());
  return result;
}

RSReplaySubjectPtr rs_readDataContentsOfURL(const std::string& url, const RSSchedulerPtr& scheduler) {
  RSReplaySubjectPtr subject = RSReplaySubject::subject();
  subject->setNameWithFormat("+rs_readContentsOfURL: %s scheduler: %s", url.c_str(),
                             scheduler ? scheduler->description().c_str() : "(null)");
  (scheduler ? scheduler : RSScheduler::scheduler())->schedule(subject, [subject, url] {
    rs_detail::URLResult result = readContents(url);
    if (result.error) {
      subject->sendError(result.error);
      return;
    }
    subject->sendNext(fnd::Value(std::move(result.data)));
    subject->sendCompleted();
  });
  return subject;
}

RSReplaySubjectPtr rs_readStringContentsOfURL(const std::string& url,
                                              const std::shared_ptr<RSStringEncoding>& usedEncoding,
                                              const RSSchedulerPtr& scheduler) {
  RSReplaySubjectPtr subject = RSReplaySubject::subject();
  subject->setNameWithFormat("+rs_readContentsOfURL: %s usedEncoding:scheduler: %s", url.c_str(),
                             scheduler ? scheduler->description().c_str() : "(null)");
  (scheduler ? scheduler : RSScheduler::scheduler())->schedule(subject, [subject, url, usedEncoding] {
    rs_detail::URLResult result = readContents(url);
    if (result.error) {
      subject->sendError(result.error);
      return;
    }
    auto text = decodeText(result.data);
    if (!text) {
      subject->sendError(rs_detail::posixError(EILSEQ, "the contents of " + url + " are not UTF-8 or UTF-16 text"));
      return;
    }
    if (usedEncoding) *usedEncoding = text->second;
    subject->sendNext(fnd::Value(std::move(text->first)));
    subject->sendCompleted();
  });
  return subject;
}
