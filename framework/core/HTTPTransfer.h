// One HTTP/1.1 request over a plain TCP connection, run on a worker thread and polled
// for its result. During a demo recording every change of result is recorded; during
// playback the network is never touched and the result comes from the demo.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

namespace Orvo {

class HTTPTransfer {
 public:
  enum Result {
    RESULT_DONE = 0,
    RESULT_NOT_STARTED = 1,
    RESULT_NOT_COMPLETED = 2,
    RESULT_NOT_FOUND = 3,
    RESULT_HTTP_ERROR = 4,
    RESULT_ABORTED = 5,
    RESULT_SOCKET_ERROR = 6,
    RESULT_INVALID_ADDR = 7,
    RESULT_CONNECT_FAIL = 8,
    RESULT_DISCONNECTED = 9,
  };

  HTTPTransfer();
  virtual ~HTTPTransfer();
  HTTPTransfer(const HTTPTransfer&) = delete;
  HTTPTransfer& operator=(const HTTPTransfer&) = delete;

  // Stops any running request and returns to idle with a new transfer id.
  void Reset();
  // Sends the complete request text (request line, headers, body) to the URL's host.
  void SendRequest(const std::string& url, const std::string& request);
  // Asks the worker to stop; it ends with RESULT_ABORTED within about 100 ms.
  void Abort();
  // Keeps the result in step with a demo being recorded or played.
  void Poll();
  // Polls until the request has finished.
  void Wait();
  int GetResult();

  // The response body; read it after GetResult() has returned RESULT_DONE.
  const std::string& GetContent() const { return mContent; }
  int GetContentLength() const { return mContentLength; }
  int GetTransferId() const { return mTransferId; }
  const std::string& GetProtocol() const { return mProtocol; }
  const std::string& GetHost() const { return mHost; }
  int GetPort() const { return mPort; }
  const std::string& GetPath() const { return mPath; }

  // Reads a response (status line, headers, body) the way the worker reads it from the
  // socket: `receive` fills a block and returns its length, 0 when the peer has closed, or
  // -1 when reading was given up (then RESULT_ABORTED). Leaves the body in GetContent() and
  // returns the result. Separate from the socket so that any byte stream can be parsed.
  int ReadResponse(const std::function<int(char* block, int size)>& receive);

 private:
  void PrepareURL(const std::string& url);
  void Start();
  void Run();
  bool WaitSocket(bool forRead, bool forWrite);
  void ReceiveResponse();
  void SetResult(int result);
  void JoinWorker();

  int mTransferId = 0;
  int mSocket = 0;
  std::string mSendData;
  std::string mSpare1, mSpare2;
  std::string mURL;
  std::string mProtocol;
  std::string mHost;
  int mPort = 80;
  std::string mPath;
  int mContentLength = 0;
  std::string mContent;
  std::atomic<bool> mBusy{false};
  std::atomic<bool> mThreadRunning{false};
  std::atomic<bool> mDone{false};
  std::atomic<bool> mAborted{false};
  std::atomic<int> mResult{RESULT_NOT_STARTED};
  int mLastRecordedResult = RESULT_NOT_STARTED;
  std::thread mWorker;
};

}  // namespace Orvo
