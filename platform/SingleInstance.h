// Named mutexes and cross-process registered messages, which keep one instance of the
// program running. A named mutex is an flock'd file in $XDG_RUNTIME_DIR (else /tmp); the
// first process to register a message name listens on a Unix datagram socket beside it,
// and a broadcast of that message from another process arrives there.
#pragma once

#include <functional>
#include <string>

#include "platform/Types.h"

namespace plat {

constexpr DWORD ERROR_ALREADY_EXISTS = 183;

// Creates (or opens) the named mutex. When another process holds it, the handle is still
// returned (not owned) and GetLastError() reports ERROR_ALREADY_EXISTS.
HANDLE CreateMutexA(void* security, BOOL initialOwner, const char* name);
BOOL ReleaseMutex(HANDLE mutex);
BOOL CloseHandle(HANDLE handle);
DWORD GetLastError();
void SetLastError(DWORD error);

// Used by the message queue:
// Starts listening for `name` from other processes; false when another live process
// already listens for it.
bool ListenForRegisteredMessage(const std::string& name);
// Sends `name` to the process listening for it (if any).
void SendRegisteredMessage(const std::string& name);
// Calls `deliver` with the name of every message received since the last poll.
void PollRegisteredMessages(const std::function<void(const std::string&)>& deliver);
// Stops listening for every name (process end; tests).
void StopListeningForRegisteredMessages();

// The folder the mutex files and sockets live in.
std::string RuntimeFolder();

}  // namespace plat
