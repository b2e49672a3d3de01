// libFuzzer target: arbitrary bytes as the demo file a crash report attaches, and as the
// user's description (the first byte says where the input splits). The upload request must
// stay a well-formed multipart form whatever they hold: its length header matches the body,
// the body splits at the boundary into exactly its six fields, and the description and the
// demo come out byte for byte as they went in.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "framework/core/CrashCatcher.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

// The value after `name` up to the end of its line, or empty.
std::string HeaderValue(const std::string& head, const std::string& name) {
  const std::size_t at = head.find("\r\n" + name);
  if (at == std::string::npos) return std::string();
  const std::size_t from = at + 2 + name.size();
  return head.substr(from, head.find("\r\n", from) - from);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t split = 1 + std::min<std::size_t>(data[0], size - 1);
  const std::string userText(reinterpret_cast<const char*>(data + 1), split - 1);
  const std::string demo(reinterpret_cast<const char*>(data + split), size - split);

  Orvo::CrashCatcher& catcher = Orvo::CrashCatcher::Get();
  catcher.mReportHost = "reports.example";
  catcher.mUserText = userText;
  catcher.mErrorTitle = "title";
  catcher.mErrorText = "text";
  catcher.mAttachDemo = true;
  catcher.mDemoAttachmentName = WriteScratchFile("attached.dmo", data + split, size - split);
  const std::string request = catcher.BuildUploadRequest();

  const std::size_t headEnd = request.find("\r\n\r\n");
  if (headEnd == std::string::npos) __builtin_trap();
  const std::string head = request.substr(0, headEnd + 2);
  const std::string body = request.substr(headEnd + 4);
  if (std::strtoul(HeaderValue(head, "Content-Length: ").c_str(), nullptr, 10) != body.size()) __builtin_trap();
  const std::string type = HeaderValue(head, "Content-Type: multipart/form-data; boundary=");
  if (type.empty()) __builtin_trap();

  // Parts: "--b\r\n<headers>\r\n\r\n<value>\r\n", ..., then "--b--\r\n".
  const std::string delimiter = "--" + type;
  if (body.compare(0, delimiter.size(), delimiter) != 0) __builtin_trap();
  std::vector<std::string> values;
  std::size_t pos = delimiter.size();
  while (body.compare(pos, 2, "--") != 0) {
    const std::size_t valueStart = body.find("\r\n\r\n", pos);
    const std::size_t next = body.find("\r\n" + delimiter, pos);
    if (valueStart == std::string::npos || next == std::string::npos || valueStart > next) __builtin_trap();
    values.push_back(body.substr(valueStart + 4, next - valueStart - 4));
    pos = next + 2 + delimiter.size();
  }
  if (body.substr(pos) != "--\r\n") __builtin_trap();
  if (values.size() != 6 || values[2] != userText || values[5] != demo) __builtin_trap();
  return 0;
}
