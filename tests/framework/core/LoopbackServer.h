// A one-connection HTTP server on 127.0.0.1 for tests: it reads one request (headers and
// a Content-Length body), answers with scripted pieces of bytes and closes.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/Sockets.h"

namespace testing_http {

struct Piece {
  std::string bytes;
  int delayMs = 0;  // pause before sending this piece
};

class LoopbackServer {
 public:
  // With no pieces the server closes the connection without answering. With
  // holdOpenMs the connection stays open that long after the last piece.
  explicit LoopbackServer(std::vector<Piece> reply, int holdOpenMs = 0)
      : mReply(std::move(reply)), mHoldOpenMs(holdOpenMs) {
    mListen = plat::ListenLoopback(&mPort);
    mThread = std::thread([this] { Serve(); });
  }
  ~LoopbackServer() {
    mStop = true;
    if (mThread.joinable()) mThread.join();
    if (mListen != plat::INVALID_SOCKET) plat::closesocket(mListen);
  }

  int Port() const { return mPort; }
  std::string Url(const std::string& path = "/") const { return "http://127.0.0.1:" + std::to_string(mPort) + path; }
  // The request as received (complete once the transfer has finished).
  std::string Request() {
    std::lock_guard<std::mutex> lock(mMutex);
    return mRequest;
  }

 private:
  void Serve() {
    plat::SocketReadiness ready;
    while (!mStop) {
      if (plat::select(mListen, true, false, 20000, &ready) > 0 && ready.readable) break;
    }
    if (mStop) return;
    const plat::SOCKET s = plat::accept(mListen);
    if (s == plat::INVALID_SOCKET) return;
    ReadRequest(s);
    for (const Piece& p : mReply) {
      std::this_thread::sleep_for(std::chrono::milliseconds(p.delayMs));
      if (!p.bytes.empty()) plat::send(s, p.bytes.data(), static_cast<int>(p.bytes.size()));
    }
    for (int waited = 0; waited < mHoldOpenMs && !mStop; waited += 10)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    plat::closesocket(s);
  }

  void ReadRequest(plat::SOCKET s) {
    std::string got;
    std::size_t wanted = std::string::npos;
    char block[4096];
    while (!mStop) {
      plat::SocketReadiness ready;
      if (plat::select(s, true, false, 20000, &ready) <= 0) continue;
      const int n = plat::recv(s, block, sizeof block);
      if (n <= 0) break;
      got.append(block, static_cast<std::size_t>(n));
      {
        std::lock_guard<std::mutex> lock(mMutex);
        mRequest = got;
      }
      const std::size_t end = got.find("\r\n\r\n");
      if (end == std::string::npos) continue;
      if (wanted == std::string::npos) {
        const std::size_t cl = got.find("Content-Length: ");
        wanted = end + 4 + (cl != std::string::npos && cl < end ? std::strtoul(got.c_str() + cl + 16, nullptr, 10) : 0);
      }
      if (got.size() >= wanted) break;
    }
  }

  std::vector<Piece> mReply;
  int mHoldOpenMs = 0;
  plat::SOCKET mListen = plat::INVALID_SOCKET;
  int mPort = 0;
  std::atomic<bool> mStop{false};
  std::mutex mMutex;
  std::string mRequest;
  std::thread mThread;
};

}  // namespace testing_http
