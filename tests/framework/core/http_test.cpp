// The HTTP client against servers on 127.0.0.1 started by the test: requests arrive as
// written, bodies are decoded, and every way a response can fall short is a failure.
#include "framework/core/HTTPTransfer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "framework/core/Demo.h"
#include "tests/framework/core/LoopbackServer.h"

using Orvo::HTTPTransfer;
using testing_http::LoopbackServer;
using testing_http::Piece;

namespace {

// Polls until the transfer has left "in progress" (or 30 s have passed: a name lookup on
// a machine without a name server can take a while to fail).
int WaitForResult(HTTPTransfer& t) {
  for (int i = 0; i < 3000; ++i) {
    const int r = t.GetResult();
    if (r != HTTPTransfer::RESULT_NOT_COMPLETED) return r;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return t.GetResult();
}

const char kRequest[] = "GET /data.txt HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";

}  // namespace

TEST(HTTPTransfer, ParsesTheUrlIntoHostPortAndPath) {
  struct Case {
    const char* url;
    const char* protocol;
    const char* host;
    int port;
    const char* path;
  } cases[] = {
      {"http://reports.example:8080/a/b", "http", "reports.example", 8080, "/a/b"},
      {"reports.example", "", "reports.example", 80, "/"},
      {"http://127.0.0.1", "http", "127.0.0.1", 80, "/"},
  };
  // While a demo plays no connection is made, so only the parse is looked at.
  Orvo::Demo playing;
  playing.SetPlaying(true);
  Orvo::Demo::SetCurrent(&playing);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    HTTPTransfer t;
    t.SendRequest(c.url, "");
    EXPECT_EQ(t.GetProtocol(), c.protocol);
    EXPECT_EQ(t.GetHost(), c.host);
    EXPECT_EQ(t.GetPort(), c.port);
    EXPECT_EQ(t.GetPath(), c.path);
  }
  Orvo::Demo::SetCurrent(nullptr);
}

TEST(HTTPTransfer, GetSendsTheRequestAsWrittenAndReadsTheBody) {
  LoopbackServer server({{"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello and more"}});
  HTTPTransfer t;
  t.SendRequest(server.Url("/data.txt"), kRequest);
  ASSERT_EQ(WaitForResult(t), HTTPTransfer::RESULT_DONE);
  EXPECT_EQ(t.GetContent(), "hello");
  EXPECT_EQ(t.GetContentLength(), 5);
  EXPECT_EQ(server.Request(), kRequest);
}

TEST(HTTPTransfer, ResponsesAndTheirResults) {
  struct Case {
    const char* name;
    std::vector<Piece> reply;
    int result;
    const char* content;
  };
  const Case cases[] = {
      {"chunked", {{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n"}}, 0, "abc"},
      {"any other encoding is chunked",
       {{"HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\n\r\n2\r\nhi\r\n 1 \r\n!\r\n0\r\n\r\n"}}, 0, "hi!"},
      {"identity is not chunked", {{"HTTP/1.1 200 OK\r\nTransfer-Encoding: identity\r\n\r\n3\r\nabc"}}, 0, "3\r\nabc"},
      {"pieces split anywhere",
       {{"HTTP/1.1 200 OK\r\nTransfer-En"}, {"coding: chunked\r\n\r\n4\r\nab", 30}, {"cd", 30}, {"\r", 30},
        {"\n0\r\n\r\n", 30}},
       0, "abcd"},
      {"no length: the body ends when the server closes", {{"HTTP/1.0 200 OK\r\n\r\nuntil close"}}, 0, "until close"},
      {"404", {{"HTTP/1.1 404 Not Found\r\nContent-Length: 3\r\n\r\nno!"}}, 3, ""},
      {"500", {{"HTTP/1.1 500 Oops\r\n\r\n"}}, 4, ""},
      {"status line too short to hold a status", {{"HTTP/1.1 20\r\n\r\nxyz"}}, 4, ""},
      // A response that falls short is a failure, never a success.
      {"closed before answering", {}, 8, ""},
      {"closed inside the headers", {{"HTTP/1.1 200 OK\r\nContent-Le"}}, 8, ""},
      {"body shorter than its length", {{"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nshort"}}, 8, "short"},
      {"chunked body without its last chunk", {{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n"}}, 8,
       "abc"},
      {"no status line at all", {{"\r\nhello"}}, 8, "hello"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoopbackServer server(c.reply);
    HTTPTransfer t;
    t.SendRequest(server.Url(), kRequest);
    EXPECT_EQ(WaitForResult(t), c.result);
    if (c.result == 0 || c.result == 8) {
      EXPECT_EQ(t.GetContent(), c.content);
    }
  }
}

TEST(HTTPTransfer, RefusedConnectionAndUnknownHostFail) {
  int port = 0;
  const plat::SOCKET s = plat::ListenLoopback(&port);
  ASSERT_NE(s, plat::INVALID_SOCKET);
  plat::closesocket(s);  // nothing listens on this port any more

  HTTPTransfer refused;
  refused.SendRequest("http://127.0.0.1:" + std::to_string(port) + "/", kRequest);
  EXPECT_EQ(WaitForResult(refused), HTTPTransfer::RESULT_CONNECT_FAIL);

  HTTPTransfer unknown;
  unknown.SendRequest("http://no-such-host.invalid/", kRequest);
  EXPECT_EQ(WaitForResult(unknown), HTTPTransfer::RESULT_INVALID_ADDR);
}

TEST(HTTPTransfer, AbortEndsAStalledTransferAndResetReturnsToIdle) {
  LoopbackServer server({{"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npart"}}, 5000);
  HTTPTransfer t;
  const int firstId = t.GetTransferId();
  t.SendRequest(server.Url(), kRequest);
  EXPECT_NE(t.GetTransferId(), firstId);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(t.GetResult(), HTTPTransfer::RESULT_NOT_COMPLETED);
  const auto start = std::chrono::steady_clock::now();
  t.Abort();
  t.Wait();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(t.GetResult(), HTTPTransfer::RESULT_ABORTED);
  const int abortedId = t.GetTransferId();
  t.Reset();
  EXPECT_EQ(t.GetResult(), HTTPTransfer::RESULT_NOT_STARTED);
  EXPECT_NE(t.GetTransferId(), abortedId);
  EXPECT_EQ(t.GetContent(), "");
}

// A recording keeps every change of result; a playback never touches the network and
// takes the result of the same transfer id from the demo.
TEST(HTTPTransfer, ResultsAreRecordedAndReplayedFromTheDemo) {
  Orvo::Demo recording;
  recording.SetRecording(true);
  Orvo::Demo::SetCurrent(&recording);
  int recordedId = 0;
  {
    LoopbackServer server({{"HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nbody"}});
    HTTPTransfer t;
    t.SendRequest(server.Url(), kRequest);
    recordedId = t.GetTransferId();
    recording.SetUpdateCount(3);
    ASSERT_EQ(WaitForResult(t), HTTPTransfer::RESULT_DONE);
  }
  Orvo::Demo::SetCurrent(nullptr);

  // What the recording holds: the final result of that transfer with its body.
  Orvo::Demo check;
  check.GetBuffer().SetData(recording.GetBuffer().GetDataPtr(), recording.GetBuffer().GetDataLen());
  check.SetPlaying(true);
  check.SetUpdateCount(3);
  int result = -1;
  std::string content;
  while (check.PlaybackHttpResult(recordedId, &result, &content) && result == HTTPTransfer::RESULT_NOT_COMPLETED) {
  }
  EXPECT_EQ(result, HTTPTransfer::RESULT_DONE);
  EXPECT_EQ(content, "body");

  // Playback: the transfers start no thread; results arrive with their records.
  Orvo::Demo playback;
  playback.SetPlaying(true);
  Orvo::Demo::SetCurrent(&playback);
  HTTPTransfer other;
  HTTPTransfer t;
  other.SendRequest("http://127.0.0.1:1/", kRequest);  // port 1: a real attempt would fail at once
  t.SendRequest("http://127.0.0.1:1/", kRequest);

  Orvo::Demo script;
  script.SetRecording(true);
  script.SetUpdateCount(5);
  script.RecordHttpResult(t.GetTransferId(), HTTPTransfer::RESULT_DONE, "from the demo");
  playback.GetBuffer().SetData(script.GetBuffer().GetDataPtr(), script.GetBuffer().GetDataLen());

  for (int update = 0; update < 5; ++update) {
    playback.SetUpdateCount(update);
    EXPECT_EQ(t.GetResult(), HTTPTransfer::RESULT_NOT_COMPLETED);
  }
  playback.SetUpdateCount(5);
  EXPECT_EQ(other.GetResult(), HTTPTransfer::RESULT_NOT_COMPLETED);  // not its id: left pending
  EXPECT_EQ(t.GetResult(), HTTPTransfer::RESULT_DONE);
  EXPECT_EQ(t.GetContent(), "from the demo");
  t.Wait();  // the replayed result ends the request, so this returns
  other.Abort();
  Orvo::Demo::SetCurrent(nullptr);
}
