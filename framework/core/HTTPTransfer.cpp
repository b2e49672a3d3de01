// The HTTP client: URL parsing, the worker thread's connect, send and receive loop with
// chunked decoding, and the demo side of the result.
#include "framework/core/HTTPTransfer.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>

#include "framework/core/Demo.h"
#include "platform/Sockets.h"
#include "platform/Threads.h"

namespace Orvo {

namespace {

std::atomic<int> gNextTransferId{1};

int TakeTransferId() { return gNextTransferId.fetch_add(1); }

std::string TrimSpace(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

// A chunk-size line in hexadecimal; false for anything else or a size that does not fit.
bool ParseChunkSize(const std::string& line, int* size) {
  if (line.empty() || line.size() > 8) return false;
  long long value = 0;
  for (char c : line) {
    const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                      : (c >= 'a' && c <= 'f')                   ? c - 'a' + 10
                      : (c >= 'A' && c <= 'F')                   ? c - 'A' + 10
                                                                 : -1;
    if (digit < 0) return false;
    value = value * 16 + digit;
  }
  if (value > 0x7FFFFFFF) return false;
  *size = static_cast<int>(value);
  return true;
}

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

}  // namespace

HTTPTransfer::HTTPTransfer() : mTransferId(TakeTransferId()) {}

HTTPTransfer::~HTTPTransfer() {
  Abort();
  JoinWorker();
}

void HTTPTransfer::JoinWorker() {
  if (mWorker.joinable()) mWorker.join();
}

void HTTPTransfer::Reset() {
  if (mThreadRunning || mWorker.joinable()) {
    Abort();
    JoinWorker();
  }
  mTransferId = TakeTransferId();
  mResult = RESULT_NOT_STARTED;
  mLastRecordedResult = RESULT_NOT_STARTED;
  mContent.clear();
  mDone = false;
  mAborted = false;
  mBusy = false;
  mSendData.clear();
  mURL.clear();
  mPath.clear();
}

void HTTPTransfer::PrepareURL(const std::string& url) {
  Reset();
  mTransferId = TakeTransferId();
  mURL = url;
  mDone = false;
  mAborted = false;
  mResult = RESULT_NOT_COMPLETED;
  mContent.clear();
  mContentLength = 0;
  mProtocol.clear();
  mPort = 80;

  std::size_t hostStart = 0;
  const std::size_t slashes = url.find("//");
  if (slashes != std::string::npos) {
    mProtocol = slashes > 0 ? url.substr(0, slashes - 1) : std::string();
    hostStart = slashes + 2;
  }
  const std::size_t pathStart = url.find('/', hostStart);
  if (pathStart == std::string::npos) {
    mHost = url.substr(hostStart);
    mPath.assign(1, '/');  // (assigning a literal here trips a false g++ 12 warning)
  } else {
    mHost = url.substr(hostStart, pathStart - hostStart);
    mPath = url.substr(pathStart);
  }
  const std::size_t colon = mHost.find(':');
  if (colon != std::string::npos) {
    mPort = std::atoi(mHost.c_str() + colon + 1);
    mHost.resize(colon);
  }
}

void HTTPTransfer::SendRequest(const std::string& url, const std::string& request) {
  mSpare1.clear();
  mSpare2.clear();
  PrepareURL(url);
  mSendData = request;
  Start();
}

void HTTPTransfer::Start() {
  mBusy = true;
  Demo* demo = Demo::Current();
  if (demo != nullptr && demo->IsPlaying()) return;  // the result will come from the demo
  mThreadRunning = true;
  mWorker = plat::StartThread([this] { Run(); });
}

void HTTPTransfer::Abort() {
  mAborted = true;
  mDone = true;
}

void HTTPTransfer::SetResult(int result) {
  mResult.store(result, std::memory_order_release);
  mDone = true;
}

bool HTTPTransfer::WaitSocket(bool forRead, bool forWrite) {
  while (!mDone) {
    plat::SocketReadiness ready;
    const int n = plat::select(mSocket, forRead, forWrite, 100000, &ready);
    if (n < 0 || ready.exceptional) {
      SetResult(RESULT_SOCKET_ERROR);
      return false;
    }
    if (ready.readable || ready.writable) return true;
  }
  return true;
}

void HTTPTransfer::Run() {
  plat::WSAStartup();
  mSocket = plat::OpenTcpSocket();
  bool opened = mSocket != plat::INVALID_SOCKET;
  if (!opened) {
    SetResult(RESULT_SOCKET_ERROR);
  } else {
    plat::SetNonBlocking(mSocket, true);
  }

  if (opened && !mDone) {
    std::uint32_t address = plat::inet_addr(mHost);
    if (address == plat::INADDR_NONE) address = plat::LookupHostAddress(mHost);
    if (address == plat::INADDR_NONE) {
      SetResult(RESULT_INVALID_ADDR);
    } else if (plat::connect(mSocket, address, mPort) != 0) {
      if (plat::WSAGetLastError() != plat::WSAEWOULDBLOCK) {
        SetResult(RESULT_CONNECT_FAIL);
      } else if (!WaitSocket(false, true) && !mAborted) {
        SetResult(RESULT_CONNECT_FAIL);
      } else if (!mDone && plat::PendingConnectError(mSocket) != 0) {
        // A refused or unreachable peer still makes the socket writable.
        SetResult(RESULT_CONNECT_FAIL);
      }
    }
  }

  while (!mDone && !mSendData.empty()) {
    if (!WaitSocket(false, true) || mDone) break;
    const int chunk = static_cast<int>(std::min<std::size_t>(mSendData.size(), 1 << 20));
    const int sent = plat::send(mSocket, mSendData.data(), chunk);
    if (sent < 0 && plat::WSAGetLastError() == plat::WSAEWOULDBLOCK) continue;
    if (sent <= 0) {
      SetResult(RESULT_DISCONNECTED);
      break;
    }
    mSendData.erase(0, static_cast<std::size_t>(sent));
  }

  if (!mDone) ReceiveResponse();

  if (opened) plat::closesocket(mSocket);
  mSocket = 0;
  plat::WSACleanup();
  if (mAborted) {
    mResult.store(RESULT_ABORTED, std::memory_order_release);
  }
  mThreadRunning = false;
  mBusy = false;
}

void HTTPTransfer::ReceiveResponse() {
  const int result = ReadResponse([this](char* block, int size) {
    for (;;) {
      if (!WaitSocket(true, false) || mDone) return -1;
      const int n = plat::recv(mSocket, block, size);
      if (n < 0 && plat::WSAGetLastError() == plat::WSAEWOULDBLOCK) continue;
      return n < 0 ? 0 : n;  // a broken connection ends the response as a close does
    }
  });
  if (!mDone) SetResult(result);
}

// The result becomes RESULT_DONE only after a 200 status and a whole body: the
// Content-Length reached, the zero-size chunk seen, or the server closing when it gave no
// length. A connection that closes before that is a failure (RESULT_CONNECT_FAIL), never a
// success.
int HTTPTransfer::ReadResponse(const std::function<int(char* block, int size)>& receive) {
  std::string received;
  std::size_t pos = 0;
  bool inHeaders = true;
  bool statusOk = false;
  bool chunked = false;
  bool complete = false;
  int remaining = 0;
  int chunkRemaining = 0;
  bool chunkTrailerDue = false;
  bool consumedLastPass = false;

  for (;;) {
    if (!consumedLastPass) {
      char block[256];
      const int n = receive(block, static_cast<int>(sizeof block));
      if (n < 0) return RESULT_ABORTED;
      if (n == 0) {
        // The server closed: a body without a length ends here.
        if (!inHeaders && statusOk && !chunked && mContentLength <= 0) complete = true;
        break;
      }
      received.append(block, static_cast<std::size_t>(n));
    }
    const std::size_t before = pos;

    if (inHeaders) {
      const std::size_t eol = received.find("\r\n", pos);
      if (eol != std::string::npos) {
        const std::string line = received.substr(pos, eol - pos);
        pos = eol + 2;
        if (StartsWith(line, "HTTP/1.")) {
          const std::string status = line.size() >= 12 ? line.substr(9, 3) : std::string();
          if (status == "404") {
            return RESULT_NOT_FOUND;
          } else if (status != "200") {
            return RESULT_HTTP_ERROR;
          } else {
            statusOk = true;
          }
        } else if (line == "Transfer-Encoding: chunked") {
          chunked = true;
        } else if (StartsWith(line, "Transfer-Encoding: ")) {
          if (line.substr(19) != "identity") chunked = true;
        } else if (StartsWith(line, "Content-Length: ")) {
          mContentLength = std::atoi(line.c_str() + 16);
          remaining = mContentLength;
        } else if (line.empty()) {
          inHeaders = false;
        }
      }
    } else if (chunked) {
      if (chunkTrailerDue) {
        if (received.size() - pos >= 2) {
          pos += 2;
          chunkTrailerDue = false;
        }
      } else if (chunkRemaining == 0) {
        const std::size_t eol = received.find("\r\n", pos);
        if (eol != std::string::npos) {
          int size = 0;
          const bool parsed = ParseChunkSize(TrimSpace(received.substr(pos, eol - pos)), &size);
          if (!parsed || size == 0) {
            complete = parsed && statusOk;
            break;
          }
          chunkRemaining = size;
          pos = eol + 2;
        }
      } else {
        const std::size_t take = std::min<std::size_t>(received.size() - pos, static_cast<std::size_t>(chunkRemaining));
        mContent.append(received, pos, take);
        pos += take;
        chunkRemaining -= static_cast<int>(take);
        if (chunkRemaining == 0) chunkTrailerDue = true;
      }
    } else if (mContentLength > 0) {
      const std::size_t take = std::min<std::size_t>(received.size() - pos, static_cast<std::size_t>(remaining));
      mContent.append(received, pos, take);
      pos += take;
      remaining -= static_cast<int>(take);
      if (remaining == 0) {
        complete = statusOk;
        break;
      }
    } else {
      mContent.append(received, pos, std::string::npos);
      pos = received.size();
    }

    // Drop what has been consumed so the receive buffer stays small.
    if (pos > 4096) {
      received.erase(0, pos);
      pos = 0;
      consumedLastPass = true;
      continue;
    }
    consumedLastPass = pos != before;
  }

  return complete ? RESULT_DONE : RESULT_CONNECT_FAIL;
}

void HTTPTransfer::Poll() {
  Demo* demo = Demo::Current();
  if (demo == nullptr) return;
  if (demo->IsRecording()) {
    const int result = mResult.load(std::memory_order_acquire);
    if (result != mLastRecordedResult) {
      demo->RecordHttpResult(mTransferId, result, result == RESULT_NOT_COMPLETED ? std::string() : mContent);
      mLastRecordedResult = result;
    }
  } else if (demo->IsPlaying()) {
    int result = 0;
    std::string content;
    if (demo->PlaybackHttpResult(mTransferId, &result, &content)) {
      mContent = std::move(content);
      mResult = result;
      mLastRecordedResult = result;
      // No worker runs during playback; a final result ends the request here.
      if (result != RESULT_NOT_COMPLETED) mBusy = false;
    }
  }
}

void HTTPTransfer::Wait() {
  while (mBusy) {
    Poll();
    if (!mBusy) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (!mThreadRunning) JoinWorker();
}

int HTTPTransfer::GetResult() {
  Poll();
  return mResult.load(std::memory_order_acquire);
}

}  // namespace Orvo
