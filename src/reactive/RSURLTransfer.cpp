#include "reactive/RSURLTransfer.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>

#include "platform/foundation/Files.h"
#include "platform/foundation/Log.h"

namespace rs_detail {

namespace {

void initialiseCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    CURLcode code = curl_global_init(CURL_GLOBAL_DEFAULT);
    if (code != CURLE_OK) fnd::log("URL requests: libcurl failed to start: %s", curl_easy_strerror(code));
  });
}

std::shared_ptr<const fnd::Error> urlError(int64_t code, const std::string& description, const std::string& url) {
  return fnd::Error::make(
      RSURLErrorDomain, code,
      fnd::Dictionary{{fnd::LocalizedDescriptionKey, fnd::Value(description)}, {RSURLErrorURLKey, fnd::Value(url)}});
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool startsWithNoCase(const std::string& text, const char* prefix) {
  size_t n = std::strlen(prefix);
  if (text.size() < n) return false;
  for (size_t i = 0; i < n; ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  }
  return true;
}

// The contents of a regular file, at most maxBytes of them. Anything else (a
// folder, a pipe, a device, which could block or never end) is refused
// before a byte is read.
URLResult readLocalFile(const std::string& url, const std::string& path, uint64_t maxBytes) {
  using fnd::files::ReadFailure;
  ReadFailure failure = ReadFailure::none;
  std::optional<fnd::Data> bytes = fnd::files::readAtMost(path, maxBytes, nullptr, &failure);
  if (!bytes) {
    const int code = errno;
    const std::string what =
        failure == ReadFailure::missing || failure == ReadFailure::cannotOpen ? "cannot open " + path
        : failure == ReadFailure::tooLarge ? "cannot read " + path + ": more than " + std::to_string(maxBytes) + " bytes"
        : failure == ReadFailure::notRegular && code != EISDIR ? "cannot read " + path + ": not a regular file"
                                                              : "cannot read " + path;
    return URLResult{nullptr, {}, posixError(code, what)};
  }
  return URLResult{std::make_shared<RSURLResponse>(url, 0, fnd::Dictionary{}), std::move(*bytes), nullptr};
}

}  // namespace

std::optional<std::string> localPathOfFileURL(const std::string& url) {
  if (!startsWithNoCase(url, "file:")) return std::nullopt;
  std::string rest = url.substr(5);
  if (rest.rfind("//", 0) == 0) {
    size_t slash = rest.find('/', 2);
    std::string host = rest.substr(2, slash == std::string::npos ? std::string::npos : slash - 2);
    if (!host.empty() && host != "localhost") return std::nullopt;
    if (slash == std::string::npos) return std::nullopt;
    rest = rest.substr(slash);
  }
  if (rest.empty() || rest[0] != '/') return std::nullopt;
  size_t end = rest.find_first_of("?#");
  if (end != std::string::npos) rest.resize(end);
  std::string path;
  for (size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == '%' && i + 2 < rest.size() && hexDigit(rest[i + 1]) >= 0 && hexDigit(rest[i + 2]) >= 0) {
      char decoded = static_cast<char>(hexDigit(rest[i + 1]) * 16 + hexDigit(rest[i + 2]));
      if (decoded == '\0') return std::nullopt;
      path += decoded;
      i += 2;
    } else {
      path += rest[i];
    }
  }
  return path;
}

std::shared_ptr<const fnd::Error> posixError(int code, const std::string& what) {
  return fnd::Error::make(
      RSPOSIXErrorDomain, code,
      fnd::Dictionary{{fnd::LocalizedDescriptionKey, fnd::Value(what + " (" + std::strerror(code) + ")")}});
}

// ------------------------------------------------------------------- libcurl

struct URLTransfer::Curl {
  CURLM* multi = nullptr;
  CURL* easy = nullptr;
  curl_slist* headers = nullptr;
  char errorBuffer[CURL_ERROR_SIZE] = {};
  std::string url;
  fnd::Data body;
  uint64_t maxBytes = RSURLRequest::kDefaultMaximumContentLength;
  bool tooLarge = false;
  fnd::Dictionary::Map responseHeaders;

  ~Curl() {
    if (multi && easy) curl_multi_remove_handle(multi, easy);
    if (easy) curl_easy_cleanup(easy);
    if (multi) curl_multi_cleanup(multi);
    if (headers) curl_slist_free_all(headers);
  }

  static size_t write(char* data, size_t size, size_t count, void* self) {
    auto* curl = static_cast<Curl*>(self);
    const size_t n = size * count;
    // A body over the bound ends the transfer (a short count is its error).
    if (n > curl->maxBytes - std::min<uint64_t>(curl->body.size(), curl->maxBytes)) {
      curl->tooLarge = true;
      return 0;
    }
    try {
      curl->body.insert(curl->body.end(), data, data + n);
    } catch (const std::bad_alloc&) {
      return 0;
    }
    return n;
  }

  static size_t header(char* data, size_t size, size_t count, void* self) {
    auto* curl = static_cast<Curl*>(self);
    std::string line(data, size * count);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (line.rfind("HTTP/", 0) == 0) {
      curl->responseHeaders.clear();  // a new response (after a redirection or a 100)
    } else if (size_t colon = line.find(':'); colon != std::string::npos && colon > 0) {
      size_t start = line.find_first_not_of(" \t", colon + 1);
      curl->responseHeaders[line.substr(0, colon)] = fnd::Value(start == std::string::npos ? "" : line.substr(start));
    }
    return size * count;
  }

  URLResult finish(CURLcode code) {
    if (tooLarge) {
      return URLResult{nullptr,
                       {},
                       fnd::Error::make(RSURLErrorDomain, RSURLErrorContentTooLarge,
                                        fnd::Dictionary{{fnd::LocalizedDescriptionKey,
                                                         fnd::Value("more than " + std::to_string(maxBytes) +
                                                                    " bytes of contents (" + url + ")")},
                                                        {RSURLErrorURLKey, fnd::Value(url)},
                                                        {RSURLErrorMaximumKey, fnd::Value(static_cast<int64_t>(
                                                                                   std::min<uint64_t>(maxBytes, INT64_MAX)))}})};
    }
    if (code != CURLE_OK) {
      std::string description = curl_easy_strerror(code);
      if (errorBuffer[0]) description += std::string(": ") + errorBuffer;
      return URLResult{nullptr, {}, urlError(code, description + " (" + url + ")", url)};
    }
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    char* effective = nullptr;
    curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &effective);
    auto response = std::make_shared<RSURLResponse>(effective ? effective : url, status,
                                                    fnd::Dictionary(std::move(responseHeaders)));
    return URLResult{response, std::move(body), nullptr};
  }
};

URLTransfer::URLTransfer(const RSURLRequest& request) {
  if (std::optional<std::string> path = localPathOfFileURL(request.URL)) {
    immediate_ = readLocalFile(request.URL, *path, request.maximumContentLength);
    return;
  }
  if (!startsWithNoCase(request.URL, "http://") && !startsWithNoCase(request.URL, "https://")) {
    immediate_ =
        URLResult{nullptr, {}, urlError(RSURLErrorUnsupportedURL, "unsupported URL " + request.URL, request.URL)};
    return;
  }
  initialiseCurlOnce();
  curl_ = std::make_unique<Curl>();
  Curl& c = *curl_;
  c.url = request.URL;
  c.maxBytes = request.maximumContentLength;
  c.multi = curl_multi_init();
  c.easy = curl_easy_init();
  if (!c.multi || !c.easy) {
    immediate_ = URLResult{nullptr, {}, urlError(CURLE_FAILED_INIT, "cannot start a URL transfer", request.URL)};
    curl_.reset();
    return;
  }
  const double timeout = request.timeoutInterval > 0 ? request.timeoutInterval : 60.0;
  curl_easy_setopt(c.easy, CURLOPT_URL, request.URL.c_str());
  curl_easy_setopt(c.easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c.easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(c.easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(c.easy, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(c.easy, CURLOPT_MAXREDIRS, 16L);
  curl_easy_setopt(c.easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeout * 1000));
  // The time-out is the longest silence: less than a byte a second for that
  // long ends the transfer.
  curl_easy_setopt(c.easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(c.easy, CURLOPT_LOW_SPEED_TIME, static_cast<long>(std::ceil(timeout)));
  curl_easy_setopt(c.easy, CURLOPT_ERRORBUFFER, c.errorBuffer);
  curl_easy_setopt(c.easy, CURLOPT_WRITEFUNCTION, &Curl::write);
  curl_easy_setopt(c.easy, CURLOPT_WRITEDATA, &c);
  curl_easy_setopt(c.easy, CURLOPT_HEADERFUNCTION, &Curl::header);
  curl_easy_setopt(c.easy, CURLOPT_HEADERDATA, &c);
  if (request.HTTPMethod != "GET") curl_easy_setopt(c.easy, CURLOPT_CUSTOMREQUEST, request.HTTPMethod.c_str());
  if (!request.HTTPBody.empty()) {
    curl_easy_setopt(c.easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.HTTPBody.size()));
    curl_easy_setopt(c.easy, CURLOPT_COPYPOSTFIELDS, reinterpret_cast<const char*>(request.HTTPBody.data()));
  }
  for (const auto& [name, value] : request.allHTTPHeaderFields) {
    c.headers = curl_slist_append(c.headers, (name + ": " + value).c_str());
  }
  if (c.headers) curl_easy_setopt(c.easy, CURLOPT_HTTPHEADER, c.headers);
  curl_multi_add_handle(c.multi, c.easy);
}

URLTransfer::~URLTransfer() = default;

std::optional<URLResult> URLTransfer::step(std::chrono::milliseconds slice) {
  if (immediate_) {
    std::optional<URLResult> result = std::move(immediate_);
    immediate_.reset();
    return result;
  }
  if (!curl_) return URLResult{nullptr, {}, urlError(CURLE_FAILED_INIT, "the transfer has already ended", "")};
  Curl& c = *curl_;
  int running = 0;
  CURLMcode code = curl_multi_perform(c.multi, &running);
  if (code == CURLM_OK && running > 0) {
    code = curl_multi_poll(c.multi, nullptr, 0, static_cast<int>(slice.count()), nullptr);
    if (code == CURLM_OK) code = curl_multi_perform(c.multi, &running);
  }
  if (code != CURLM_OK) {
    URLResult failed{
        nullptr, {}, urlError(CURLE_FAILED_INIT, std::string(curl_multi_strerror(code)) + " (" + c.url + ")", c.url)};
    curl_.reset();
    return failed;
  }
  int queued = 0;
  while (CURLMsg* message = curl_multi_info_read(c.multi, &queued)) {
    if (message->msg == CURLMSG_DONE && message->easy_handle == c.easy) {
      URLResult result = c.finish(message->data.result);
      curl_.reset();
      return result;
    }
  }
  return std::nullopt;
}

URLResult URLTransfer::perform(const RSURLRequest& request) {
  URLTransfer transfer(request);
  for (;;) {
    if (std::optional<URLResult> result = transfer.step(std::chrono::milliseconds(100))) return std::move(*result);
  }
}

}  // namespace rs_detail
