#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

#include "LocalHTTPServer.h"
#include "ReactiveTestSupport.h"
#include "reactive/RSURLSignals.h"
#include "support/TempFolder.h"

using rstest::Recorder;

namespace {

constexpr long kCouldNotConnect = 7;  // libcurl's code for a refused connection

RSURLResponsePtr responseOf(const fnd::Value& value) {
  auto tuple = value.asObject<RSTuple>();
  return tuple ? tuple->first().asObject<const RSURLResponse>() : nullptr;
}

std::string dataOf(const fnd::Value& value) {
  auto tuple = value.asObject<RSTuple>();
  const fnd::Data& data = tuple ? tuple->second().asData() : value.asData();
  return std::string(data.begin(), data.end());
}

class URLSignalsTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(server_.running());
  }

  std::string writeFile(const std::string& name, const std::string& contents) {
    TempFolder::write(dir_ / name, contents);
    return "file://" + (dir_ / name).string();
  }
  static bool ended(const Recorder& recorder) {
    return rstest::waitUntil([&] { return recorder.ended(); }, std::chrono::milliseconds(10000));
  }

  rstest::LocalHTTPServer server_;
  TempFolder dir_;
};

}  // namespace

TEST_F(URLSignalsTest, RequestSendsResponseAndDataOncePerSubscription) {
  auto signal = rs_sendAsynchronousRequest(RSURLRequest::requestWithURL(server_.url("/ok")));
  EXPECT_EQ(server_.requestCount(), 0);  // nothing before a subscription
  Recorder first, second;
  first.subscribe(signal);
  ASSERT_TRUE(ended(first));
  second.subscribe(signal);
  ASSERT_TRUE(ended(second));
  EXPECT_EQ(server_.requestCount(), 2);

  ASSERT_TRUE(first.completed());
  ASSERT_EQ(first.values().size(), 1u);
  RSURLResponsePtr response = responseOf(first.values()[0]);
  ASSERT_NE(response, nullptr);
  EXPECT_EQ(response->statusCode(), 200);
  EXPECT_EQ(response->allHeaderFields()["X-Test"], fnd::Value("yes"));
  EXPECT_EQ(dataOf(first.values()[0]), "hello");
}

TEST_F(URLSignalsTest, AnHTTPErrorIsAResponseAndARefusedConnectionAnError) {
  Recorder missing;
  missing.subscribe(rs_sendAsynchronousRequest(RSURLRequest::requestWithURL(server_.url("/missing"))));
  ASSERT_TRUE(ended(missing));
  ASSERT_TRUE(missing.completed());
  EXPECT_EQ(responseOf(missing.values().at(0))->statusCode(), 404);
  EXPECT_EQ(dataOf(missing.values().at(0)), "no such thing");

  rstest::RefusingPort refusing;
  Recorder refused;
  refused.subscribe(rs_sendAsynchronousRequest(RSURLRequest::requestWithURL(refusing.url("/ok"))));
  ASSERT_TRUE(ended(refused));
  ASSERT_TRUE(refused.failed());
  EXPECT_TRUE(refused.values().empty());
  EXPECT_EQ(refused.error()->domain(), RSURLErrorDomain);
  EXPECT_EQ(refused.error()->code(), kCouldNotConnect);
  EXPECT_NE(refused.error()->localizedDescription().find("127.0.0.1"), std::string::npos);

  Recorder unsupported;
  unsupported.subscribe(rs_sendAsynchronousRequest(RSURLRequest::requestWithURL("gopher://127.0.0.1/")));
  ASSERT_TRUE(ended(unsupported));
  EXPECT_EQ(unsupported.error()->code(), RSURLErrorUnsupportedURL);
}

TEST_F(URLSignalsTest, DisposingInTheMiddleClosesTheConnectionAndSendsNothing) {
  auto events = std::make_shared<std::atomic<int>>(0);
  std::weak_ptr<int> subscriberHeld;
  RSDisposablePtr subscription = [&] {
    auto held = std::make_shared<int>(0);  // by the subscriber's blocks alone
    subscriberHeld = held;
    auto count = [events, held](auto&&...) { ++*events; };
    return rs_sendAsynchronousRequest(RSURLRequest::requestWithURL(server_.url("/stall")))
        ->subscribeNext(count, count, count);
  }();
  ASSERT_TRUE(rstest::waitUntil([&] { return server_.stallRequested(); }));
  subscription->dispose();
  EXPECT_TRUE(rstest::waitUntil([&] { return server_.stallClosedByClient(); }, std::chrono::milliseconds(3000)));
  // Once the request has let go of its subscriber, nothing can reach it any more.
  EXPECT_TRUE(rstest::waitUntil([&] { return subscriberHeld.expired(); }));
  EXPECT_EQ(*events, 0);
}

TEST_F(URLSignalsTest, FileURLsAreReadDirectly) {
  std::string url = writeFile("a b.txt", "contents");
  std::string escaped = "file://" + (dir_ / "a%20b.txt").string();
  Recorder request;
  request.subscribe(rs_sendAsynchronousRequest(RSURLRequest::requestWithURL(escaped)));
  ASSERT_TRUE(ended(request));
  ASSERT_TRUE(request.completed());
  EXPECT_EQ(responseOf(request.values()[0])->statusCode(), 0);
  EXPECT_EQ(dataOf(request.values()[0]), "contents");

  Recorder missing;
  missing.subscribe(rs_readDataContentsOfURL("file://" + (dir_ / "none").string(), RSScheduler::scheduler()));
  ASSERT_TRUE(ended(missing));
  EXPECT_EQ(missing.error()->domain(), RSPOSIXErrorDomain);
  EXPECT_EQ(missing.error()->code(), ENOENT);
}

TEST_F(URLSignalsTest, ReadingContentsOnASchedulerKeepsTheResultForLateSubscribers) {
  RSSchedulerPtr scheduler = RSScheduler::scheduler();
  auto data = rs_readDataContentsOfURL(server_.url("/ok"), scheduler);
  ASSERT_TRUE(rstest::waitUntil([&] { return data->hasCompleted(); }, std::chrono::milliseconds(10000)));
  Recorder late;
  late.subscribe(data);
  EXPECT_EQ(late.events().size(), 2u);
  EXPECT_EQ(dataOf(late.values().at(0)), "hello");

  Recorder notFound;
  notFound.subscribe(rs_readDataContentsOfURL(server_.url("/missing"), scheduler));
  ASSERT_TRUE(ended(notFound));
  ASSERT_TRUE(notFound.failed());
  EXPECT_EQ(notFound.error()->code(), RSURLErrorHTTPStatus);
  EXPECT_EQ(notFound.error()->userInfo()[RSURLErrorStatusCodeKey], fnd::Value(404));
}

TEST_F(URLSignalsTest, ReadingTextFindsItsEncodingAndRefusesWhatIsNotText) {
  auto encoding = std::make_shared<RSStringEncoding>(RSStringEncoding::UTF8);
  Recorder text;
  text.subscribe(rs_readStringContentsOfURL(server_.url("/utf16"), encoding, RSScheduler::scheduler()));
  ASSERT_TRUE(ended(text));
  EXPECT_EQ(text.values(), (rstest::Values{"hi"}));
  EXPECT_EQ(*encoding, RSStringEncoding::UTF16LittleEndian);

  Recorder utf8;
  utf8.subscribe(rs_readStringContentsOfURL(writeFile("u.txt", "\xEF\xBB\xBFgr\xC3\xBC\xC3\x9F"), nullptr,
                                            RSScheduler::scheduler()));
  ASSERT_TRUE(ended(utf8));
  EXPECT_EQ(utf8.values(), (rstest::Values{"gr\xC3\xBC\xC3\x9F"}));

  Recorder binary;
  binary.subscribe(rs_readStringContentsOfURL(writeFile("b.bin", "ab\xC3"), nullptr, RSScheduler::scheduler()));
  ASSERT_TRUE(ended(binary));
  EXPECT_EQ(binary.error()->code(), EILSEQ);
}

// What could block a thread or be read without end, and what is larger than
// the request takes, ends with an error that says why.
TEST_F(URLSignalsTest, ReadsThatCouldNotEndWellFailWithTheirCause) {
  ASSERT_EQ(::mkfifo((dir_ / "pipe").c_str(), 0600), 0);  // no writer ever opens it
  std::filesystem::create_directory(dir_ / "folder");
  const std::string hundred = writeFile("hundred.bin", std::string(100, 'x'));
  const uint64_t whole = RSURLRequest::kDefaultMaximumContentLength;
  struct Case {
    std::string url;
    uint64_t maximum;
    const char* domain;  // null: read whole
    int64_t code;
  };
  const Case cases[] = {
      {"file:///dev/zero", whole, RSPOSIXErrorDomain, EINVAL},
      {"file://" + (dir_ / "pipe").string(), whole, RSPOSIXErrorDomain, EINVAL},
      {"file://" + (dir_ / "folder").string(), whole, RSPOSIXErrorDomain, EISDIR},
      {hundred, 99, RSPOSIXErrorDomain, EFBIG},
      {hundred, 100, nullptr, 0},
      {server_.url("/ok"), 4, RSURLErrorDomain, RSURLErrorContentTooLarge},
      {server_.url("/ok"), 5, nullptr, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url + " at most " + std::to_string(c.maximum));
    RSURLRequest request = RSURLRequest::requestWithURL(c.url);
    request.maximumContentLength = c.maximum;
    Recorder recorder;
    recorder.subscribe(rs_sendAsynchronousRequest(request));
    ASSERT_TRUE(ended(recorder));
    if (!c.domain) {
      ASSERT_TRUE(recorder.completed());
      EXPECT_EQ(dataOf(recorder.values().at(0)).size(), c.maximum);
      continue;
    }
    ASSERT_TRUE(recorder.failed());
    EXPECT_EQ(recorder.error()->domain(), c.domain);
    EXPECT_EQ(recorder.error()->code(), c.code);
    EXPECT_NE(recorder.error()->localizedDescription().find(c.url.substr(c.url.rfind('/'))), std::string::npos);
  }

  // The reads on a scheduler the same way: the device and the pipe.
  for (const std::string& url : {std::string("file:///dev/zero"), "file://" + (dir_ / "pipe").string()}) {
    Recorder recorder;
    recorder.subscribe(rs_readDataContentsOfURL(url, RSScheduler::scheduler()));
    ASSERT_TRUE(ended(recorder)) << url;
    ASSERT_TRUE(recorder.failed()) << url;
    EXPECT_EQ(recorder.error()->code(), EINVAL) << url;
  }
}
