// Demo recording and playback: everything that reaches the application from outside
// (input, timing, registry results, file contents, HTTP results, values kept in step) is
// written into a bit-packed record stream and saved as a ".dmo" file; a playback feeds the
// same records back update by update, so a recorded run repeats exactly.
//
// The application object owns one Demo, makes it current, keeps its update count in step
// and replays records through a DemoReplayTarget (normally itself).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/core/Buffer.h"

namespace Orvo {

// Receives replayed records. Mouse calls carry application coordinates and the widget
// manager's conventions: button -1 left, 1 right, 0 middle; click count 1 or 2.
class DemoReplayTarget {
 public:
  virtual ~DemoReplayTarget() = default;
  virtual void DemoMouseMove(int x, int y) {}
  virtual void DemoMouseDown(int x, int y, int clickCount, int button) {}
  virtual void DemoMouseUp(int x, int y, int clickCount, int button) {}
  virtual void DemoMouseWheel(int steps) {}
  virtual void DemoMouseEnter() {}
  virtual void DemoMouseLeave(int x, int y) {}
  virtual void DemoKeyDown(int key) {}
  virtual void DemoKeyUp(int key) {}
  virtual void DemoKeyChar(int ch) {}
  virtual void DemoActive(bool active) {}
  virtual void DemoMinimised(bool minimised) {}
  virtual void DemoClose() {}
  virtual void DemoScreenMode(bool windowed, int refreshRate) {}
  // Replay stops as soon as this turns true.
  virtual bool DemoShuttingDown() { return false; }
};

struct DemoMarker {
  std::string mName;
  int mTime = 0;
};

class Demo {
 public:
  static constexpr std::uint32_t kMagic = 0x42BEEF78;
  static constexpr int kVersion = 2;

  enum Command {
    CMD_MOUSE_POS = 0,
    CMD_ACTIVE = 1,
    CMD_MINIMISED = 2,
    CMD_KEY_DOWN = 3,
    CMD_KEY_UP = 4,
    CMD_KEY_CHAR = 5,
    CMD_CLOSE = 6,
    CMD_MOUSE_ENTER = 7,
    CMD_MOUSE_LEAVE = 8,
    CMD_LOADING_DONE = 9,
    CMD_REG_READ = 11,
    CMD_REG_WRITE = 12,
    CMD_FILE = 15,
    CMD_HTTP = 17,
    CMD_DATA_BLOCK = 18,
    CMD_WHEEL = 21,
    CMD_SCREEN_MODE = 23,
    CMD_ESCAPE = 31,
  };
  enum ShortEvent { EVT_MOUSE_MOVE = 0, EVT_MOUSE_BUTTON = 1 };

  // Click codes of the button record.
  enum ClickCode {
    CLICK_LEFT = 1,
    CLICK_LEFT_DOUBLE = 2,
    CLICK_RIGHT = -1,
    CLICK_RIGHT_DOUBLE = -2,
    CLICK_MIDDLE = 3,
  };

  Demo() = default;
  virtual ~Demo();
  Demo(const Demo&) = delete;
  Demo& operator=(const Demo&) = delete;

  // The demo of the running application (null when none); HTTP transfers and other
  // outside values go through it.
  static Demo* Current();
  static void SetCurrent(Demo* demo);

  // ---- State ----
  void SetRecording(bool on) { mRecording = on; }
  void SetPlaying(bool on) { mPlaying = on; }
  bool IsRecording() const { return mRecording; }
  bool IsPlaying() const { return mPlaying; }
  void SetFileName(const std::string& name) { mFileName = name; }
  const std::string& GetFileName() const { return mFileName; }
  void SetProductVersion(const std::string& version) { mProductVersion = version; }
  void SetSeed(std::uint32_t seed) { mSeed = seed; }
  std::uint32_t GetSeed() const { return mSeed; }
  void SetReplayTarget(DemoReplayTarget* target) { mTarget = target; }
  // The main loop's update count: updates run so far in this run.
  void SetUpdateCount(int count) { mUpdateCount = count; }
  int GetUpdateCount() const { return mUpdateCount; }
  int GetDemoLength() const { return mDemoLength; }
  int GetRecordCount() const { return mRecordCount; }
  // The recording marked the end of resource loading here; a playback that has run out of
  // records lets loading complete as a live run would.
  bool GetLoadingDoneMark() const { return mLoadingDoneMark || mEnded; }
  int GetLastMouseX() const { return mLastMouseX; }
  int GetLastMouseY() const { return mLastMouseY; }
  int GetRefreshRate() const { return mRefreshRate; }
  bool GetRecordedWindowed() const { return mRecordedWindowed; }
  int GetJumpTarget() const { return mJumpTarget; }
  void SetJumpTarget(int target) { mJumpTarget = target; }
  const std::vector<DemoMarker>& GetMarkers() const { return mMarkers; }
  void AddMarker(const std::string& name, int time);
  Buffer& GetBuffer() { return mBuffer; }
  // True once playback has run out of records (or met a record it cannot use).
  bool PlaybackEnded() const { return mEnded; }

  // ---- Recording (each does nothing unless recording) ----
  // A mouse message at (x, y): a relative move when both offsets are below 32 in
  // magnitude and not both 0, an absolute one otherwise; then the position is remembered.
  void RecordMouseMove(int x, int y);
  // The button record that follows the move record of a button message.
  void RecordMouseButton(bool down, int clickCode);
  void RecordKeyDown(int key);
  void RecordKeyUp(int key);
  void RecordKeyChar(int ch);
  void RecordActive(bool active);
  void RecordMinimised(bool minimised);
  void RecordClose();
  void RecordMouseEnter();
  void RecordMouseLeave();
  void RecordLoadingDone();
  void RecordWheel(int wheelDelta);  // the raw delta; stored as delta / 120
  void RecordWindowState(bool windowed, int refreshRate);
  void RecordRegistryRead(bool found, std::uint32_t type, const void* data, int length);
  void RecordRegistryWrite(bool success);
  void RecordHttpResult(int transferId, int result, const std::string& content);
  // The escape record the crash catcher writes before saving the demo.
  void RecordEscape();
  // The crash handler's WriteDemoFile: an escape record up to the current update and the
  // whole file, written without allocating (async-signal-safe). False when not recording
  // or when the file cannot be written.
  bool WriteDemoFileFromSignal() const;

  // ---- Playback ----
  // Replays every record due at the current update count (called between updates).
  void ReadDemoCommands();
  // True while a record is due at the current update count: the update must wait.
  bool IsRecordDue();
  // The demo side of an update: false when the update must not run yet (playback only).
  bool MayRunUpdate(bool loadingCompletedDelivered);
  // Registry results from the stream. False when the record says the call failed or the
  // stream holds no such record here.
  bool PlaybackRegistryRead(std::uint32_t* type, std::vector<std::uint8_t>* data);
  bool PlaybackRegistryWrite();
  // The HTTP result of the given transfer when its record is due now.
  bool PlaybackHttpResult(int transferId, int* result, std::string* content);

  // ---- Values kept in step (recording stores them, playback replaces them) ----
  void DemoDataBlock(Buffer& buffer);
  void DemoSyncBool(bool& value);
  void DemoSyncString(std::string& value);
  // Reads a whole file into a buffer; recorded, or replayed, unless unsynchronised.
  bool ReadBufferFromFile(const std::string& fileName, Buffer& buffer, bool unsynchronised);

  // ---- Files ----
  // Writes the ".dmo" file when recording (through a temporary file and a rename).
  // False when nothing could be written.
  bool WriteDemoFile();
  // Reads the file named by GetFileName(); on failure `error` holds the message.
  bool ReadDemoFile(std::string* error);
  // The same for the bytes of a demo file already in memory.
  bool ReadDemoData(const std::vector<std::uint8_t>& bytes, std::string* error);

  // The largest N among files named prefix + N + ".dmo" (0 when none). With deleteOlder
  // set and at least `count` such files present, the lowest-numbered one is deleted.
  static int FindNextDemoNumber(const std::string& prefix, int count, bool deleteOlder);
  // The file "-recnum" records to and "-playnum" plays, both searched and named from the
  // same prefix (which carries the folder).
  static std::string RecordNumberedFileName(const std::string& prefix, int keep);
  static std::string PlayNumberedFileName(const std::string& prefix, int nth);

  // Jump target for a "h:m:s" text counted back from the end of the demo.
  static int JumpTargetFromTimeText(const std::string& text, int demoLength, int updatePeriodMs);
  // "name (hh:mm:ss)" with the time from the marker to the end of the demo.
  static std::string MarkerListText(const DemoMarker& marker, int demoLength, int updatePeriodMs);

 private:
  void WriteDemoTimeStamp();
  void WriteCommand(int code);
  void WriteShortEvent(int code);
  // Reads the pending record's header when one is needed; false at the end of the stream.
  bool ReadDemoTimeStamp();
  bool HeaderDue();
  // Replays due records until a due record of `stopCode` is pending (-1: never stop).
  void ReplayDue(int stopCode);
  void ReplayPending();
  void SkipPayload(int code);
  // A byte count from the stream, or -1 when it is negative or longer than what is left.
  int ReadBoundedLength();
  // A length and that many bytes; false (and playback ended) when the length is bad.
  bool ReadRecordedBytes(std::vector<std::uint8_t>* bytes);
  // Takes the pending record when it is due and of `code`; ends playback otherwise.
  bool TakeOwnRecord(int code);
  void EndPlayback() { mEnded = true; }

  bool mRecording = false;
  bool mPlaying = false;
  std::string mFileName;
  Buffer mBuffer;
  std::uint32_t mSeed = 0;
  std::string mProductVersion;
  int mUpdateCount = 0;
  int mDemoLength = 0;
  int mLastStamp = 0;
  bool mHeaderNeeded = true;
  bool mPendingIsShort = false;
  int mPendingCode = 0;
  int mRecordCount = 0;
  int mSavedReadPos = 0;
  int mLastMouseX = 0;
  int mLastMouseY = 0;
  bool mLoadingDoneMark = false;
  int mJumpTarget = 0;
  int mRefreshRate = 0;
  bool mRecordedWindowed = true;
  std::vector<DemoMarker> mMarkers;
  Buffer mMarkerBlock;  // the markers as the file stores them, kept up to date
  bool mEnded = false;
  int mReplayDepth = 0;
  DemoReplayTarget* mTarget = nullptr;
};

}  // namespace Orvo
