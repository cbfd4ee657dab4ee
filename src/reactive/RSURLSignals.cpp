#include "reactive/RSURLSignals.h"

#include <atomic>
#include <cerrno>
#include <optional>

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

// Appends the UTF-8 form of the code point.
void appendUTF8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

bool isValidUTF8(const uint8_t* p, size_t n) {
  size_t i = 0;
  while (i < n) {
    uint8_t b = p[i];
    size_t extra;
    uint32_t cp;
    if (b < 0x80) {
      ++i;
      continue;
    } else if ((b & 0xE0) == 0xC0) {
      extra = 1;
      cp = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2;
      cp = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
      extra = 3;
      cp = b & 0x07;
    } else {
      return false;
    }
    if (n - i <= extra) return false;
    for (size_t k = 1; k <= extra; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (p[i + k] & 0x3F);
    }
    static const uint32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMinimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += extra + 1;
  }
  return true;
}

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
    appendUTF8(out, unit);
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
  if (!isValidUTF8(p, n)) return std::nullopt;
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
