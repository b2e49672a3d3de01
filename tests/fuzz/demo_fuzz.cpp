// libFuzzer target: arbitrary bytes as a ".dmo" file through the demo reader, then the
// whole record stream replayed, with the readers of recorded values taking their turns.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/core/Demo.h"

namespace {

// Touches every replayed value so that nothing is optimised away.
class SinkTarget : public Orvo::DemoReplayTarget {
 public:
  long long sum = 0;
  void DemoMouseMove(int x, int y) override { sum += x + y; }
  void DemoMouseDown(int x, int y, int n, int b) override { sum += x + y + n + b; }
  void DemoMouseUp(int x, int y, int n, int b) override { sum += x + y + n + b; }
  void DemoMouseWheel(int steps) override { sum += steps; }
  void DemoKeyDown(int key) override { sum += key; }
  void DemoKeyUp(int key) override { sum += key; }
  void DemoKeyChar(int ch) override { sum += ch; }
  void DemoScreenMode(bool windowed, int rate) override { sum += windowed + rate; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Orvo::Demo demo;
  demo.SetProductVersion("1.0");
  std::string error;
  if (!demo.ReadDemoData(std::vector<std::uint8_t>(data, data + size), &error)) return 0;
  SinkTarget target;
  demo.SetReplayTarget(&target);
  demo.SetPlaying(true);
  for (int update = 0; update < 4096 && !demo.PlaybackEnded(); ++update) {
    demo.SetUpdateCount(update);
    demo.ReadDemoCommands();
    switch (update % 5) {
      case 1: {
        std::uint32_t type = 0;
        std::vector<std::uint8_t> value;
        demo.PlaybackRegistryRead(&type, &value);
        break;
      }
      case 2: {
        Orvo::Buffer block;
        demo.DemoDataBlock(block);
        break;
      }
      case 3: {
        int result = 0;
        std::string content;
        demo.PlaybackHttpResult(1, &result, &content);
        break;
      }
      case 4: {
        Orvo::Buffer file;
        demo.ReadBufferFromFile("replayed.txt", file, false);
        break;
      }
      default:
        demo.PlaybackRegistryWrite();
        break;
    }
  }
  return target.sum == 42 ? 1 : 0;
}
