// Demo recording and playback: the record stream replays the same calls at the same
// update counts, values kept in step come back from the stream, and the ".dmo" reader
// refuses broken files with its messages, never crashing or allocating what a file claims.
#include "framework/core/Demo.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using Orvo::Buffer;
using Orvo::Demo;

namespace {

// Logs every replayed call with the update count at which it arrived.
class LogTarget : public Orvo::DemoReplayTarget {
 public:
  explicit LogTarget(Demo& demo) : mDemo(demo) {}
  std::vector<std::string> log;
  void Add(const std::string& s) { log.push_back(std::to_string(mDemo.GetUpdateCount()) + " " + s); }
  void DemoMouseMove(int x, int y) override { Add("move " + P(x, y)); }
  void DemoMouseDown(int x, int y, int n, int b) override { Add("down " + P(x, y) + " " + P(n, b)); }
  void DemoMouseUp(int x, int y, int n, int b) override { Add("up " + P(x, y) + " " + P(n, b)); }
  void DemoMouseWheel(int steps) override { Add("wheel " + std::to_string(steps)); }
  void DemoMouseEnter() override { Add("enter"); }
  void DemoMouseLeave(int x, int y) override { Add("leave " + P(x, y)); }
  void DemoKeyDown(int key) override { Add("keydown " + std::to_string(key)); }
  void DemoKeyUp(int key) override { Add("keyup " + std::to_string(key)); }
  void DemoKeyChar(int ch) override { Add("char " + std::to_string(ch)); }
  void DemoActive(bool on) override { Add(std::string("active ") + (on ? "1" : "0")); }
  void DemoMinimised(bool on) override { Add(std::string("minimised ") + (on ? "1" : "0")); }
  void DemoClose() override { Add("close"); }
  void DemoScreenMode(bool windowed, int rate) override { Add("screen " + P(windowed, rate)); }

 private:
  static std::string P(int a, int b) { return std::to_string(a) + "," + std::to_string(b); }
  Demo& mDemo;
};

// Runs the main loop's demo side: between updates the due records are replayed; an update
// may only run when nothing is due any more.
void Play(Demo& demo, int updates) {
  for (int u = 0; u <= updates; ++u) {
    demo.SetUpdateCount(u);
    demo.ReadDemoCommands();
    ASSERT_TRUE(demo.MayRunUpdate(demo.GetLoadingDoneMark())) << "playback stuck at update " << u;
  }
}

void CopyStream(const Demo& from, Demo& to) {
  Demo& src = const_cast<Demo&>(from);
  to.GetBuffer().SetData(src.GetBuffer().GetDataPtr(), src.GetBuffer().GetDataLen());
  to.GetBuffer().SeekFront();
  to.SetPlaying(true);
}

std::string TempDir(const char* name) {
  const auto dir = std::filesystem::temp_directory_path() / ("quorvane_demo_" + std::to_string(::getpid()) + name);
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir.string() + "/";
}

}  // namespace

// A headless session: clicks of every button, double clicks, keys, characters, the
// wheel, leaving and entering, negative positions during a drag, a long stall and a
// close as the very last record.
TEST(Demo, RecordedInputReplaysTheSameCallsAtTheSameUpdates) {
  Demo rec;
  rec.SetRecording(true);
  LogTarget expected(rec);
  auto at = [&](int u) { rec.SetUpdateCount(u); };
  auto click = [&](int x, int y, bool down, int code, int n, int b) {
    rec.RecordMouseMove(x, y);
    expected.DemoMouseMove(x, y);
    rec.RecordMouseButton(down, code);
    if (down)
      expected.DemoMouseDown(x, y, n, b);
    else
      expected.DemoMouseUp(x, y, 1, b);
  };
  at(0);
  rec.RecordWindowState(true, 60);
  expected.DemoScreenMode(true, 60);
  rec.RecordMouseEnter();
  expected.DemoMouseEnter();
  at(2);
  click(100, 200, true, Demo::CLICK_LEFT, 1, -1);
  click(100, 200, false, Demo::CLICK_LEFT, 1, -1);
  click(110, 190, true, Demo::CLICK_LEFT_DOUBLE, 2, -1);
  at(3);
  click(300, 40, true, Demo::CLICK_RIGHT, 1, 1);
  click(301, 41, false, Demo::CLICK_RIGHT, 1, 1);
  click(301, 41, true, Demo::CLICK_RIGHT_DOUBLE, 2, 1);
  click(5, 5, true, Demo::CLICK_MIDDLE, 1, 0);
  click(5, 5, false, Demo::CLICK_MIDDLE, 1, 0);
  at(4);
  click(20, 20, true, Demo::CLICK_LEFT, 1, -1);
  rec.RecordMouseMove(-15, -40);  // dragging past the top-left corner with the capture held
  expected.DemoMouseMove(-15, -40);
  click(-300, 12, false, Demo::CLICK_LEFT, 1, -1);
  at(5);
  rec.RecordKeyDown(0x41);
  expected.DemoKeyDown(0x41);
  rec.RecordKeyChar('a');
  expected.DemoKeyChar('a');
  rec.RecordKeyChar(0xE9);
  expected.DemoKeyChar(0xE9);
  rec.RecordKeyUp(0x41);
  expected.DemoKeyUp(0x41);
  rec.RecordWheel(-240);
  expected.DemoMouseWheel(-2);
  rec.RecordMouseLeave();
  expected.DemoMouseLeave(-300, 12);
  at(45);  // a stall of 40 updates
  rec.RecordActive(false);
  expected.DemoActive(false);
  rec.RecordMinimised(true);
  expected.DemoMinimised(true);
  at(300);
  rec.RecordMinimised(false);
  expected.DemoMinimised(false);
  rec.RecordMouseEnter();
  expected.DemoMouseEnter();
  rec.RecordClose();
  expected.DemoClose();

  Demo play;
  CopyStream(rec, play);
  LogTarget got(play);
  play.SetReplayTarget(&got);
  Play(play, 310);
  EXPECT_EQ(got.log, expected.log);
  EXPECT_TRUE(play.PlaybackEnded());
}

TEST(Demo, LongGapsAreBridgedByEscapeRecords) {
  Demo rec;
  rec.SetRecording(true);
  rec.SetUpdateCount(40);
  rec.RecordClose();
  Buffer& b = rec.GetBuffer();
  b.SeekFront();
  for (int escape = 0; escape < 2; ++escape) {
    EXPECT_EQ(b.ReadNumBits(4, false), 15);
    EXPECT_EQ(b.ReadNumBits(1, false), 0);
    EXPECT_EQ(b.ReadNumBits(5, false), Demo::CMD_ESCAPE);
  }
  EXPECT_EQ(b.ReadNumBits(4, false), 10);
  EXPECT_EQ(b.ReadNumBits(1, false), 0);
  EXPECT_EQ(b.ReadNumBits(5, false), Demo::CMD_CLOSE);
  EXPECT_EQ(rec.GetRecordCount(), 3);
}

TEST(Demo, SmallMovesAreRelativeAndLargeOnesAbsolute) {
  struct Case {
    int dx, dy, bits;
  } cases[] = {{31, -31, 6 + 12}, {32, 0, 10 + 24}, {0, -32, 10 + 24}, {0, 0, 10 + 24}, {1, 0, 6 + 12}};
  for (const Case& c : cases) {
    Demo rec;
    rec.SetRecording(true);
    rec.RecordMouseMove(500, 500);
    const int before = rec.GetBuffer().GetBitSize();
    rec.RecordMouseMove(500 + c.dx, 500 + c.dy);
    EXPECT_EQ(rec.GetBuffer().GetBitSize() - before, c.bits) << c.dx << "," << c.dy;
  }
}

// The last record ends exactly on a byte boundary, or leaves zero padding behind it:
// neither freezes playback nor turns the padding into a move to (0, 0).
TEST(Demo, TheEndOfTheStreamNeitherFreezesNorInventsRecords) {
  for (int leading = 0; leading < 8; ++leading) {
    Demo rec;
    rec.SetRecording(true);
    for (int i = 0; i < leading; ++i) rec.RecordMouseButton(true, Demo::CLICK_LEFT);  // 10 bits each
    rec.SetUpdateCount(7);
    rec.RecordLoadingDone();
    Demo play;
    CopyStream(rec, play);
    LogTarget got(play);
    play.SetReplayTarget(&got);
    Play(play, 20);
    EXPECT_EQ(static_cast<int>(got.log.size()), leading) << leading;
    EXPECT_TRUE(play.GetLoadingDoneMark());
  }
}

TEST(Demo, ExternalValuesComeBackFromTheStream) {
  const std::string dir = TempDir("values");
  {
    std::ofstream(dir + "present.txt", std::ios::binary) << std::string("file\0data", 9);
  }
  Demo rec;
  rec.SetRecording(true);
  rec.SetUpdateCount(1);
  const char regValue[] = "1280";
  rec.RecordRegistryRead(true, 1, regValue, 4);
  rec.RecordRegistryRead(false, 0, nullptr, 0);
  rec.RecordRegistryWrite(true);
  rec.SetUpdateCount(2);
  Buffer fileBuf;
  EXPECT_TRUE(rec.ReadBufferFromFile(dir + "present.txt", fileBuf, false));
  EXPECT_FALSE(rec.ReadBufferFromFile(dir + "missing.txt", fileBuf, false));
  bool flag = true;
  std::string text = "recorded";
  rec.DemoSyncBool(flag);
  rec.DemoSyncString(text);
  rec.SetUpdateCount(3);
  rec.RecordClose();

  std::filesystem::remove_all(dir);  // playback must not look at the disk
  Demo play;
  CopyStream(rec, play);
  LogTarget got(play);
  play.SetReplayTarget(&got);
  play.SetUpdateCount(0);
  play.ReadDemoCommands();
  play.SetUpdateCount(1);  // inside update 1
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  ASSERT_TRUE(play.PlaybackRegistryRead(&type, &data));
  EXPECT_EQ(type, 1u);
  EXPECT_EQ(std::string(data.begin(), data.end()), "1280");
  EXPECT_FALSE(play.PlaybackRegistryRead(&type, &data));
  EXPECT_TRUE(play.PlaybackRegistryWrite());
  play.ReadDemoCommands();
  play.SetUpdateCount(2);
  Buffer replayed;
  ASSERT_TRUE(play.ReadBufferFromFile(dir + "present.txt", replayed, false));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(replayed.GetDataPtr()), replayed.GetDataLen()),
            std::string("file\0data", 9));
  EXPECT_FALSE(play.ReadBufferFromFile(dir + "missing.txt", replayed, false));
  bool liveFlag = false;
  std::string liveText = "live";
  play.DemoSyncBool(liveFlag);
  play.DemoSyncString(liveText);
  EXPECT_TRUE(liveFlag);
  EXPECT_EQ(liveText, "recorded");
  EXPECT_FALSE(play.PlaybackEnded());
  Play(play, 5);
  EXPECT_EQ(got.log, std::vector<std::string>{"3 close"});
}

// A reader that meets a record of another kind (a desynchronised playback) ends the
// playback rather than reading that record's bits as its own.
TEST(Demo, AReaderMeetingAnotherRecordEndsPlayback) {
  Demo rec;
  rec.SetRecording(true);
  rec.RecordRegistryWrite(true);
  rec.RecordKeyDown(7);
  Demo play;
  CopyStream(rec, play);
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  EXPECT_FALSE(play.PlaybackRegistryRead(&type, &data));
  EXPECT_TRUE(play.PlaybackEnded());
  bool value = true;
  play.DemoSyncBool(value);
  EXPECT_TRUE(value);
}

TEST(Demo, LengthsFromTheStreamAreBoundedByWhatRemains) {
  for (std::int32_t claimed : {-1, 0x7FFFFFFF, 1000}) {
    // A data block record whose length claims more (or less) than the 4 bytes it holds.
    Buffer patched;
    patched.WriteNumBits(0, 4);
    patched.WriteNumBits(0, 1);
    patched.WriteNumBits(Demo::CMD_DATA_BLOCK, 5);
    patched.WriteLong(claimed);
    patched.WriteLong(5);
    Demo play;
    play.GetBuffer().SetData(patched.GetDataPtr(), patched.GetDataLen());
    play.SetPlaying(true);
    Buffer target;
    target.WriteLong(99);
    play.DemoDataBlock(target);
    target.SeekFront();
    EXPECT_EQ(target.ReadLong(), 99) << claimed;  // left as it was
    EXPECT_TRUE(play.PlaybackEnded()) << claimed;
  }
}

TEST(Demo, FileRoundTripKeepsSeedMarkersLengthAndStream) {
  const std::string dir = TempDir("file");
  Demo rec;
  rec.SetFileName(dir + "a.dmo");
  rec.SetProductVersion("1.0");
  rec.SetSeed(12345);
  rec.SetRecording(true);
  rec.AddMarker("start", 3);
  rec.SetUpdateCount(4);
  rec.RecordKeyDown(65);
  rec.SetUpdateCount(9);
  ASSERT_TRUE(rec.WriteDemoFile());
  EXPECT_FALSE(std::filesystem::exists(dir + "a.dmo.tmp"));

  Demo play;
  play.SetFileName(dir + "a.dmo");
  play.SetProductVersion("1.0");
  std::string error;
  ASSERT_TRUE(play.ReadDemoFile(&error)) << error;
  EXPECT_EQ(play.GetSeed(), 12345u);
  EXPECT_EQ(play.GetDemoLength(), 9);
  ASSERT_EQ(play.GetMarkers().size(), 1u);
  EXPECT_EQ(play.GetMarkers()[0].mName, "start");
  EXPECT_EQ(play.GetMarkers()[0].mTime, 3);
  play.SetPlaying(true);
  LogTarget got(play);
  play.SetReplayTarget(&got);
  Play(play, 9);
  EXPECT_EQ(got.log, std::vector<std::string>{"4 keydown 65"});
  std::filesystem::remove_all(dir);
}

namespace {

// Header bytes: magic, version, seed, version text; then (version >= 2) a marker block.
std::vector<std::uint8_t> Header(std::uint32_t magic, std::uint32_t version, const std::string& text) {
  Buffer b;
  b.WriteLong(static_cast<std::int32_t>(magic));
  b.WriteLong(static_cast<std::int32_t>(version));
  b.WriteLong(7);
  b.WriteShort(static_cast<std::int16_t>(text.size()));
  b.WriteBytes(text.data(), static_cast<int>(text.size()));
  return std::vector<std::uint8_t>(b.GetDataPtr(), b.GetDataPtr() + b.GetDataLen());
}

void Append32(std::vector<std::uint8_t>& v, std::uint32_t x) {
  for (int i = 0; i < 4; ++i) v.push_back(static_cast<std::uint8_t>(x >> (8 * i)));
}

std::vector<std::uint8_t> Concat(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::vector<std::uint8_t> U32s(std::initializer_list<std::uint32_t> xs) {
  std::vector<std::uint8_t> v;
  for (auto x : xs) Append32(v, x);
  return v;
}

}  // namespace

TEST(Demo, TheReaderRefusesBrokenFiles) {
  const std::string dir = TempDir("bad");
  const auto good = Header(Demo::kMagic, 2, "1.0");
  const std::vector<std::uint8_t> stream = {0x53, 0x10};
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    const char* error;  // null: the file plays
  };
  const std::vector<Case> cases = {
      {"valid", Concat(Concat(good, U32s({4, 0, 20})), stream), nullptr},
      {"version 1 has no marker block", Concat(Concat(Header(Demo::kMagic, 1, "1.0"), U32s({20})), stream), nullptr},
      {"wrong magic", Concat(Concat(Header(0x42BEEF79, 2, "1.0"), U32s({4, 0, 20})), stream), "Invalid demo file."},
      {"another version of the program", Concat(Concat(Header(Demo::kMagic, 2, "0.9 beta"), U32s({4, 0, 20})), stream),
       "This demo file appears to be for '0.9 beta'"},
      {"empty file", {}, "Invalid demo file."},
      {"cut inside the magic", {0x78, 0xEF}, "Invalid demo file."},
      {"cut inside the version text", std::vector<std::uint8_t>(good.begin(), good.end() - 1), "Invalid demo file."},
      {"cut before the marker size", good, "Invalid demo file."},
      {"marker size of all that remains less 4", Concat(good, U32s({8, 0, 20})), "Invalid demo file."},
      {"negative marker size", Concat(Concat(good, U32s({0xFFFFFFF0u, 0, 20})), stream), "Invalid demo file."},
      {"huge marker size", Concat(Concat(good, U32s({0x7FFFFFF0u, 0, 20})), stream), "Invalid demo file."},
      {"more markers than the block holds", Concat(Concat(good, U32s({4, 3, 20})), stream), "Invalid demo file."},
      {"cut inside the demo length", Concat(good, U32s({4, 0})), "Invalid demo file."},
      {"no record stream", Concat(good, U32s({4, 0, 20})), "Invalid demo file."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string name = dir + "case.dmo";
    {
      std::ofstream out(name, std::ios::binary | std::ios::trunc);
      out.write(reinterpret_cast<const char*>(c.bytes.data()), static_cast<std::streamsize>(c.bytes.size()));
    }
    Demo d;
    d.SetFileName(name);
    d.SetProductVersion("1.0");
    std::string error;
    const bool ok = d.ReadDemoFile(&error);
    if (c.error == nullptr) {
      EXPECT_TRUE(ok) << error;
      EXPECT_EQ(d.GetDemoLength(), 20);
    } else {
      EXPECT_FALSE(ok);
      EXPECT_EQ(error, c.error);
    }
  }
  Demo missing;
  missing.SetFileName(dir + "nothing.dmo");
  std::string error;
  EXPECT_FALSE(missing.ReadDemoFile(&error));
  EXPECT_EQ(error, "Demo file not found: " + dir + "nothing.dmo");
  std::filesystem::remove_all(dir);
}

TEST(Demo, NumberedRecordingsKeepTheNewestAndPlayBackByAge) {
  const std::string dir = TempDir("numbered");
  const std::string prefix = dir + "orvoapp";
  for (int n = 3; n <= 7; ++n) std::ofstream(prefix + std::to_string(n) + ".dmo") << "x";
  std::ofstream(prefix + "x.dmo") << "x";  // not a number: ignored
  std::ofstream(dir + "other5.dmo") << "x";

  EXPECT_EQ(Demo::PlayNumberedFileName(prefix, 2), prefix + "6.dmo");
  EXPECT_EQ(Demo::PlayNumberedFileName(prefix, 1), prefix + "7.dmo");
  EXPECT_EQ(Demo::PlayNumberedFileName(prefix, 0), prefix + "7.dmo");
  EXPECT_EQ(Demo::RecordNumberedFileName(prefix, 5), prefix + "8.dmo");
  EXPECT_FALSE(std::filesystem::exists(prefix + "3.dmo"));
  EXPECT_TRUE(std::filesystem::exists(prefix + "4.dmo"));
  EXPECT_EQ(Demo::RecordNumberedFileName(dir + "fresh", 0), dir + "fresh1.dmo");
  std::filesystem::remove_all(dir);
}

TEST(Demo, JumpTimesAndMarkerTextsCountBackFromTheEnd) {
  EXPECT_EQ(Demo::JumpTargetFromTimeText("0:10", 5000, 10), 5000 - 1100);
  EXPECT_EQ(Demo::JumpTargetFromTimeText("1:30", 100000, 10), 100000 - 9100);
  EXPECT_EQ(Demo::JumpTargetFromTimeText("", 100, 10), 0);
  EXPECT_EQ(Demo::MarkerListText({"boss", 1000}, 367000, 10), "boss (01:01:00)");
}
