// The demo record stream, its replay and the ".dmo" file.
//
// Reading is defensive throughout: a header is only read when all its bits are stored (so
// the zero padding of the last byte never turns into a record), every length taken from
// the stream is bounded by the bits that remain, and a record that does not belong where
// it is found ends the playback instead of being read as something else.
#include "framework/core/Demo.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <system_error>

#include "framework/core/Common.h"
#include "platform/Crash.h"

namespace Orvo {

namespace {

std::atomic<Demo*> gCurrentDemo{nullptr};

constexpr int kStampBits = 4;
constexpr int kCodeBits = 5;
constexpr int kShortHeaderBits = kStampBits + 1 + 1;
constexpr int kCommandHeaderBits = kStampBits + 1 + kCodeBits;
constexpr int kMaxStamp = 15;
constexpr int kMaxVersionLength = 255;
// Bit positions are 32-bit: a record stream longer than this cannot be addressed.
constexpr long long kMaxStreamBytes = 0x0FFFFFFF;
// A header, a marker block and a stream of that size at most.
constexpr long long kMaxFileBytes = 2 * kMaxStreamBytes;

// Button record code -> (click count, widget button); false for a code no writer produces.
bool DecodeClick(int code, int* count, int* button) {
  switch (code) {
    case Demo::CLICK_LEFT: *count = 1; *button = -1; return true;
    case Demo::CLICK_LEFT_DOUBLE: *count = 2; *button = -1; return true;
    case Demo::CLICK_RIGHT: *count = 1; *button = 1; return true;
    case Demo::CLICK_RIGHT_DOUBLE: *count = 2; *button = 1; return true;
    case Demo::CLICK_MIDDLE: *count = 1; *button = 0; return true;
    default: return false;
  }
}

// A little-endian reader over the bytes of a file, refusing to read past the end.
class ByteCursor {
 public:
  explicit ByteCursor(const std::vector<std::uint8_t>& bytes) : mBytes(bytes) {}
  long long Remaining() const { return static_cast<long long>(mBytes.size()) - static_cast<long long>(mPos); }
  bool ReadU32(std::uint32_t* v) {
    if (Remaining() < 4) return false;
    *v = 0;
    for (int i = 0; i < 4; ++i) *v |= static_cast<std::uint32_t>(mBytes[mPos + i]) << (8 * i);
    mPos += 4;
    return true;
  }
  bool ReadU16(std::uint16_t* v) {
    if (Remaining() < 2) return false;
    *v = static_cast<std::uint16_t>(mBytes[mPos] | (mBytes[mPos + 1] << 8));
    mPos += 2;
    return true;
  }
  const std::uint8_t* Take(std::size_t n) {
    if (Remaining() < static_cast<long long>(n)) return nullptr;
    const std::uint8_t* p = mBytes.data() + mPos;
    mPos += n;
    return p;
  }

 private:
  const std::vector<std::uint8_t>& mBytes;
  std::size_t mPos = 0;
};

void AppendU32(std::vector<std::uint8_t>* out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF));
}

}  // namespace

Demo::~Demo() {
  Demo* self = this;
  gCurrentDemo.compare_exchange_strong(self, nullptr);
}

Demo* Demo::Current() { return gCurrentDemo.load(); }
void Demo::SetCurrent(Demo* demo) { gCurrentDemo.store(demo); }

// ---- Writing records ----

void Demo::WriteDemoTimeStamp() {
  int delta = std::max(mUpdateCount - mLastStamp, 0);
  while (delta > kMaxStamp) {
    mBuffer.WriteNumBits(kMaxStamp, kStampBits);
    mBuffer.WriteNumBits(0, 1);
    mBuffer.WriteNumBits(CMD_ESCAPE, kCodeBits);
    ++mRecordCount;
    delta -= kMaxStamp;
  }
  mBuffer.WriteNumBits(delta, kStampBits);
  ++mRecordCount;
  mLastStamp = mUpdateCount;
}

void Demo::WriteCommand(int code) {
  WriteDemoTimeStamp();
  mBuffer.WriteNumBits(0, 1);
  mBuffer.WriteNumBits(code, kCodeBits);
}

void Demo::WriteShortEvent(int code) {
  WriteDemoTimeStamp();
  mBuffer.WriteNumBits(1, 1);
  mBuffer.WriteNumBits(code, 1);
}

void Demo::RecordMouseMove(int x, int y) {
  if (!mRecording) return;
  const int dx = x - mLastMouseX;
  const int dy = y - mLastMouseY;
  if (std::abs(dx) < 32 && std::abs(dy) < 32 && (dx != 0 || dy != 0)) {
    WriteShortEvent(EVT_MOUSE_MOVE);
    mBuffer.WriteNumBits(dx, 6);
    mBuffer.WriteNumBits(dy, 6);
    mLastMouseX = x;
    mLastMouseY = y;
  } else {
    // Absolute positions are signed 12-bit, so a drag past the left or top edge (the
    // window holds the capture) replays to the same negative position.
    x = std::clamp(x, -2048, 2047);
    y = std::clamp(y, -2048, 2047);
    WriteCommand(CMD_MOUSE_POS);
    mBuffer.WriteNumBits(x, 12);
    mBuffer.WriteNumBits(y, 12);
    mLastMouseX = x;
    mLastMouseY = y;
  }
}

void Demo::RecordMouseButton(bool down, int clickCode) {
  if (!mRecording) return;
  WriteShortEvent(EVT_MOUSE_BUTTON);
  mBuffer.WriteNumBits(down ? 1 : 0, 1);
  mBuffer.WriteNumBits(clickCode, 3);
}

void Demo::RecordKeyDown(int key) {
  if (!mRecording) return;
  WriteCommand(CMD_KEY_DOWN);
  mBuffer.WriteNumBits(key, 8);
}

void Demo::RecordKeyUp(int key) {
  if (!mRecording) return;
  WriteCommand(CMD_KEY_UP);
  mBuffer.WriteNumBits(key, 8);
}

void Demo::RecordKeyChar(int ch) {
  if (!mRecording) return;
  WriteCommand(CMD_KEY_CHAR);
  mBuffer.WriteNumBits(0, 1);
  mBuffer.WriteNumBits(static_cast<signed char>(ch), 8);
}

void Demo::RecordActive(bool active) {
  if (!mRecording) return;
  WriteCommand(CMD_ACTIVE);
  mBuffer.WriteNumBits(active ? 1 : 0, 1);
}

void Demo::RecordMinimised(bool minimised) {
  if (!mRecording) return;
  WriteCommand(CMD_MINIMISED);
  mBuffer.WriteBoolean(minimised);
}

void Demo::RecordClose() {
  if (mRecording) WriteCommand(CMD_CLOSE);
}

void Demo::RecordMouseEnter() {
  if (mRecording) WriteCommand(CMD_MOUSE_ENTER);
}

void Demo::RecordMouseLeave() {
  if (mRecording) WriteCommand(CMD_MOUSE_LEAVE);
}

void Demo::RecordLoadingDone() {
  if (mRecording) WriteCommand(CMD_LOADING_DONE);
}

void Demo::RecordEscape() {
  if (mRecording) WriteCommand(CMD_ESCAPE);
}

void Demo::AddMarker(const std::string& name, int time) {
  mMarkers.push_back({name, time});
  mMarkerBlock.Clear();
  mMarkerBlock.WriteLong(static_cast<std::int32_t>(mMarkers.size()));
  for (const DemoMarker& m : mMarkers) {
    mMarkerBlock.WriteString(m.mName);
    mMarkerBlock.WriteLong(m.mTime);
  }
}

bool Demo::WriteDemoFileFromSignal() const {
  if (!mRecording || mFileName.empty()) return false;
  std::uint8_t head[4 * 3 + 2 + kMaxVersionLength + 4];
  std::size_t h = 0;
  auto put32 = [](std::uint8_t* at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF);
  };
  put32(head, kMagic);
  put32(head + 4, kVersion);
  put32(head + 8, mSeed);
  h = 12;
  const std::size_t versionLength = std::min<std::size_t>(mProductVersion.size(), kMaxVersionLength);
  head[h++] = static_cast<std::uint8_t>(versionLength & 0xFF);
  head[h++] = static_cast<std::uint8_t>(versionLength >> 8);
  std::memcpy(head + h, mProductVersion.data(), versionLength);
  h += versionLength;
  // No marker yet: the block holds a count of 0.
  static const std::uint8_t kNoMarkers[4] = {0, 0, 0, 0};
  const bool anyMarker = mMarkerBlock.GetDataLen() > 0;
  const std::uint8_t* markers = anyMarker ? mMarkerBlock.GetDataPtr() : kNoMarkers;
  const std::size_t markerBytes = anyMarker ? static_cast<std::size_t>(mMarkerBlock.GetDataLen()) : 4;
  put32(head + h, static_cast<std::uint32_t>(markerBytes));
  h += 4;
  std::uint8_t length[4];
  put32(length, static_cast<std::uint32_t>(mUpdateCount));

  // The stream's whole bytes as they are; its last partial byte and the escape record(s)
  // up to the current update are packed into a tail of their own.
  const int bits = mBuffer.GetWriteBitPos();
  const std::size_t whole = static_cast<std::size_t>(bits / 8);
  std::uint8_t tail[256] = {};
  int tailBits = bits % 8;
  if (tailBits != 0) tail[0] = mBuffer.GetDataPtr()[whole];
  auto pack = [&](int value, int count) {
    for (int i = 0; i < count; ++i, ++tailBits)
      if ((value >> i) & 1) tail[tailBits / 8] |= static_cast<std::uint8_t>(1u << (tailBits % 8));
  };
  int delta = std::max(mUpdateCount - mLastStamp, 0);
  // A gap too long for the tail (half a minute without input) is left without its escape:
  // the file's update count still says where the recording ended.
  if (delta / kMaxStamp < static_cast<int>(sizeof tail * 8 / kCommandHeaderBits) - 2) {
    while (delta > kMaxStamp) {
      pack(kMaxStamp, kStampBits), pack(0, 1), pack(CMD_ESCAPE, kCodeBits);
      delta -= kMaxStamp;
    }
    pack(delta, kStampBits), pack(0, 1), pack(CMD_ESCAPE, kCodeBits);
  }
  const plat::FilePiece pieces[] = {
      {reinterpret_cast<const char*>(head), h},
      {reinterpret_cast<const char*>(markers), markerBytes},
      {reinterpret_cast<const char*>(length), 4},
      {reinterpret_cast<const char*>(mBuffer.GetDataPtr()), whole},
      {reinterpret_cast<const char*>(tail), static_cast<std::size_t>((tailBits + 7) / 8)},
  };
  return plat::WriteFileFromSignal(mFileName.c_str(), pieces, 5);
}

void Demo::RecordWheel(int wheelDelta) {
  if (!mRecording) return;
  WriteCommand(CMD_WHEEL);
  mBuffer.WriteNumBits(wheelDelta / 120, 8);
}

void Demo::RecordWindowState(bool windowed, int refreshRate) {
  mRefreshRate = std::clamp(refreshRate, 0, 255);
  if (!mRecording) return;
  WriteCommand(CMD_SCREEN_MODE);
  mBuffer.WriteBoolean(windowed);
  mBuffer.WriteByte(static_cast<std::uint8_t>(mRefreshRate));
}

void Demo::RecordRegistryRead(bool found, std::uint32_t type, const void* data, int length) {
  if (!mRecording) return;
  WriteCommand(CMD_REG_READ);
  mBuffer.WriteNumBits(found ? 1 : 0, 1);
  if (!found) return;
  length = data == nullptr ? 0 : std::max(length, 0);
  mBuffer.WriteLong(static_cast<std::int32_t>(type));
  mBuffer.WriteLong(length);
  mBuffer.WriteBytes(data, length);
}

void Demo::RecordRegistryWrite(bool success) {
  if (!mRecording) return;
  WriteCommand(CMD_REG_WRITE);
  mBuffer.WriteNumBits(success ? 1 : 0, 1);
}

void Demo::RecordHttpResult(int transferId, int result, const std::string& content) {
  if (!mRecording) return;
  WriteCommand(CMD_HTTP);
  mBuffer.WriteLong(transferId);
  mBuffer.WriteByte(static_cast<std::uint8_t>(result));
  mBuffer.WriteString(content);
}

// ---- Reading records ----

bool Demo::ReadDemoTimeStamp() {
  if (mHeaderNeeded) {
    if (mEnded) return false;
    const std::int64_t left = static_cast<std::int64_t>(mBuffer.GetBitSize()) - mBuffer.GetReadBitPos();
    if (left < kShortHeaderBits) {
      EndPlayback();
      return false;
    }
    const int saved = mBuffer.GetReadBitPos();
    const int stamp = mBuffer.ReadNumBits(kStampBits, false);
    const bool isShort = mBuffer.ReadNumBits(1, false) == 1;
    if (!isShort && left < kCommandHeaderBits) {
      mBuffer.SetReadBitPos(saved);
      EndPlayback();
      return false;
    }
    mSavedReadPos = saved;
    mPendingIsShort = isShort;
    mPendingCode = mBuffer.ReadNumBits(isShort ? 1 : kCodeBits, false);
    mLastStamp += stamp;
    ++mRecordCount;
    mHeaderNeeded = false;
  }
  return mUpdateCount == mLastStamp;
}

bool Demo::HeaderDue() { return mPlaying && ReadDemoTimeStamp(); }

bool Demo::IsRecordDue() { return HeaderDue(); }

bool Demo::MayRunUpdate(bool loadingCompletedDelivered) {
  if (!mPlaying) return true;
  if (loadingCompletedDelivered != GetLoadingDoneMark()) return false;
  return !IsRecordDue();
}

void Demo::ReadDemoCommands() { ReplayDue(-1); }

void Demo::ReplayDue(int stopCode) {
  if (!mPlaying || mReplayDepth > 8) return;
  ++mReplayDepth;
  while (!(mTarget != nullptr && mTarget->DemoShuttingDown())) {
    if (!ReadDemoTimeStamp()) break;
    if (stopCode >= 0 && !mPendingIsShort && mPendingCode == stopCode) break;
    mHeaderNeeded = true;
    ReplayPending();
  }
  --mReplayDepth;
}

int Demo::ReadBoundedLength() {
  const std::int32_t length = mBuffer.ReadLong();
  if (length < 0 || static_cast<std::int64_t>(length) * 8 > mBuffer.BitsLeft()) return -1;
  return length;
}

bool Demo::ReadRecordedBytes(std::vector<std::uint8_t>* bytes) {
  const int length = ReadBoundedLength();
  if (length < 0) {
    EndPlayback();
    return false;
  }
  bytes->resize(static_cast<std::size_t>(length));
  mBuffer.ReadBytes(bytes->data(), length);
  return true;
}

void Demo::SkipPayload(int code) {
  switch (code) {
    case CMD_REG_READ:
      if (mBuffer.ReadNumBits(1, false) == 1) {
        mBuffer.ReadLong();
        const int n = ReadBoundedLength();
        if (n < 0) return EndPlayback();
        mBuffer.SetReadBitPos(mBuffer.GetReadBitPos() + n * 8);
      }
      return;
    case CMD_REG_WRITE:
      mBuffer.ReadNumBits(1, false);
      return;
    case CMD_FILE:
      if (mBuffer.ReadNumBits(1, false) == 1) {
        const int n = ReadBoundedLength();
        if (n < 0) return EndPlayback();
        mBuffer.SetReadBitPos(mBuffer.GetReadBitPos() + n * 8);
      }
      return;
    case CMD_HTTP:
      mBuffer.ReadLong();
      mBuffer.ReadByte();
      mBuffer.ReadString();
      return;
    case CMD_DATA_BLOCK: {
      const int n = ReadBoundedLength();
      if (n < 0) return EndPlayback();
      mBuffer.SetReadBitPos(mBuffer.GetReadBitPos() + n * 8);
      return;
    }
    default:
      return;
  }
}

void Demo::ReplayPending() {
  DemoReplayTarget* t = mTarget;
  if (mPendingIsShort) {
    if (mPendingCode == EVT_MOUSE_MOVE) {
      mLastMouseX += mBuffer.ReadNumBits(6, true);
      mLastMouseY += mBuffer.ReadNumBits(6, true);
      if (t) t->DemoMouseMove(mLastMouseX, mLastMouseY);
    } else {
      const bool down = mBuffer.ReadNumBits(1, false) == 1;
      const int code = mBuffer.ReadNumBits(3, true);
      int count = 0, button = 0;
      if (t && DecodeClick(code, &count, &button)) {
        if (down)
          t->DemoMouseDown(mLastMouseX, mLastMouseY, count, button);
        else
          t->DemoMouseUp(mLastMouseX, mLastMouseY, 1, button);
      }
    }
    return;
  }
  switch (mPendingCode) {
    case CMD_MOUSE_POS:
      mLastMouseX = mBuffer.ReadNumBits(12, true);
      mLastMouseY = mBuffer.ReadNumBits(12, true);
      if (t) t->DemoMouseMove(mLastMouseX, mLastMouseY);
      break;
    case CMD_ACTIVE: {
      const bool active = mBuffer.ReadNumBits(1, false) == 1;
      if (t) t->DemoActive(active);
      break;
    }
    case CMD_MINIMISED: {
      const bool minimised = mBuffer.ReadBoolean();
      if (t) t->DemoMinimised(minimised);
      break;
    }
    case CMD_KEY_DOWN: {
      const int key = mBuffer.ReadNumBits(8, false);
      if (t) t->DemoKeyDown(key);
      break;
    }
    case CMD_KEY_UP: {
      const int key = mBuffer.ReadNumBits(8, false);
      if (t) t->DemoKeyUp(key);
      break;
    }
    case CMD_KEY_CHAR: {
      const bool wide = mBuffer.ReadNumBits(1, false) == 1;
      const int ch = mBuffer.ReadNumBits(wide ? 16 : 8, false);
      if (t) t->DemoKeyChar(ch);
      break;
    }
    case CMD_CLOSE:
      if (t) t->DemoClose();
      break;
    case CMD_MOUSE_ENTER:
      if (t) t->DemoMouseEnter();
      break;
    case CMD_MOUSE_LEAVE:
      if (t) t->DemoMouseLeave(mLastMouseX, mLastMouseY);
      break;
    case CMD_LOADING_DONE:
      mLoadingDoneMark = true;
      break;
    case CMD_WHEEL: {
      const int steps = mBuffer.ReadNumBits(8, true);
      if (t) t->DemoMouseWheel(steps);
      break;
    }
    case CMD_SCREEN_MODE:
      mRecordedWindowed = mBuffer.ReadBoolean();
      mRefreshRate = mBuffer.ReadByte();
      if (t) t->DemoScreenMode(mRecordedWindowed, mRefreshRate);
      break;
    default:
      // Records read by their own readers carry payloads; met here they are skipped
      // whole, so the stream stays in step. Any other code is a bare header.
      SkipPayload(mPendingCode);
      break;
  }
}

bool Demo::TakeOwnRecord(int code) {
  if (!mPlaying || mEnded) return false;
  ReplayDue(code);
  if (!ReadDemoTimeStamp() || mPendingIsShort || mPendingCode != code) {
    EndPlayback();
    return false;
  }
  mHeaderNeeded = true;
  return true;
}

bool Demo::PlaybackRegistryRead(std::uint32_t* type, std::vector<std::uint8_t>* data) {
  if (!TakeOwnRecord(CMD_REG_READ)) return false;
  if (mBuffer.ReadNumBits(1, false) != 1) return false;
  const auto recordedType = static_cast<std::uint32_t>(mBuffer.ReadLong());
  std::vector<std::uint8_t> bytes;
  if (!ReadRecordedBytes(&bytes)) return false;
  if (type) *type = recordedType;
  if (data) *data = std::move(bytes);
  return true;
}

bool Demo::PlaybackRegistryWrite() {
  if (!TakeOwnRecord(CMD_REG_WRITE)) return false;
  return mBuffer.ReadNumBits(1, false) == 1;
}

bool Demo::PlaybackHttpResult(int transferId, int* result, std::string* content) {
  if (!HeaderDue() || mPendingIsShort || mPendingCode != CMD_HTTP) return false;
  const int pos = mBuffer.GetReadBitPos();
  if (mBuffer.ReadLong() != transferId) {
    mBuffer.SetReadBitPos(pos);  // another transfer's result: leave it pending
    return false;
  }
  *result = mBuffer.ReadByte();
  *content = mBuffer.ReadString();
  mHeaderNeeded = true;
  return true;
}

// ---- Values kept in step ----

void Demo::DemoDataBlock(Buffer& buffer) {
  if (mRecording) {
    WriteCommand(CMD_DATA_BLOCK);
    const int length = buffer.GetDataLen();
    mBuffer.WriteLong(length);
    mBuffer.WriteBytes(buffer.GetDataPtr(), length);
    return;
  }
  if (!TakeOwnRecord(CMD_DATA_BLOCK)) return;
  const int length = ReadBoundedLength();
  if (length < 0) return EndPlayback();
  buffer.Clear();
  for (int i = 0; i < length; ++i) buffer.WriteByte(mBuffer.ReadByte());
}

void Demo::DemoSyncBool(bool& value) {
  Buffer block;
  block.WriteBoolean(value);
  DemoDataBlock(block);
  block.SeekFront();
  value = block.ReadBoolean();
}

void Demo::DemoSyncString(std::string& value) {
  Buffer block;
  block.WriteString(value);
  DemoDataBlock(block);
  block.SeekFront();
  value = block.ReadString();
}

bool Demo::ReadBufferFromFile(const std::string& fileName, Buffer& buffer, bool unsynchronised) {
  if (mPlaying && !unsynchronised) {
    if (!TakeOwnRecord(CMD_FILE)) return false;
    std::vector<std::uint8_t> bytes;
    if (mBuffer.ReadNumBits(1, false) != 1 || !ReadRecordedBytes(&bytes)) return false;
    buffer.Clear();
    buffer.SetData(bytes.data(), static_cast<int>(bytes.size()));
    return true;
  }
  std::vector<std::uint8_t> bytes;
  const bool found = ReadWholeFile(fileName, &bytes, kMaxStreamBytes);
  const bool record = mRecording && !unsynchronised;
  if (record) {
    WriteCommand(CMD_FILE);
    mBuffer.WriteNumBits(found ? 1 : 0, 1);
  }
  if (!found) return false;
  const int length = static_cast<int>(bytes.size());
  buffer.Clear();
  buffer.SetData(bytes.data(), length);
  if (record) {
    mBuffer.WriteLong(length);
    mBuffer.WriteBytes(bytes.data(), length);
  }
  return true;
}

// ---- The file ----

bool Demo::WriteDemoFile() {
  if (!mRecording || mFileName.empty()) return false;

  std::vector<std::uint8_t> out;
  AppendU32(&out, kMagic);
  AppendU32(&out, kVersion);
  AppendU32(&out, mSeed);
  // The reader takes at most 255 bytes of version text; longer texts are cut here so the
  // rest of the header stays where the reader looks for it.
  const std::size_t versionLength = std::min<std::size_t>(mProductVersion.size(), kMaxVersionLength);
  out.push_back(static_cast<std::uint8_t>(versionLength & 0xFF));
  out.push_back(static_cast<std::uint8_t>(versionLength >> 8));
  out.insert(out.end(), mProductVersion.begin(), mProductVersion.begin() + static_cast<std::ptrdiff_t>(versionLength));

  Buffer markers;
  markers.WriteLong(static_cast<std::int32_t>(mMarkers.size()));
  for (const DemoMarker& m : mMarkers) {
    markers.WriteString(m.mName);
    markers.WriteLong(m.mTime);
  }
  AppendU32(&out, static_cast<std::uint32_t>(markers.GetDataLen()));
  out.insert(out.end(), markers.GetDataPtr(), markers.GetDataPtr() + markers.GetDataLen());
  AppendU32(&out, static_cast<std::uint32_t>(mUpdateCount));
  if (mBuffer.GetDataLen() > 0)
    out.insert(out.end(), mBuffer.GetDataPtr(), mBuffer.GetDataPtr() + mBuffer.GetDataLen());

  return WriteFileAtomically(mFileName, out.data(), out.size());
}

bool Demo::ReadDemoFile(std::string* error) {
  std::vector<std::uint8_t> bytes;
  std::string why;
  if (!ReadWholeFile(mFileName, &bytes, kMaxFileBytes, &why)) {
    // A folder, device or pipe is not a demo file either; a file too large to be one is
    // named as such.
    if (error) *error = why.rfind("is larger", 0) == 0 ? std::string("Invalid demo file.") : "Demo file not found: " + mFileName;
    return false;
  }
  return ReadDemoData(bytes, error);
}

bool Demo::ReadDemoData(const std::vector<std::uint8_t>& bytes, std::string* error) {
  static const char* const kInvalid = "Invalid demo file.";
  auto fail = [error](const std::string& text) {
    if (error) *error = text;
    return false;
  };
  ByteCursor in(bytes);

  std::uint32_t magic = 0, version = 0, seed = 0;
  if (!in.ReadU32(&magic) || magic != kMagic) return fail(kInvalid);
  if (!in.ReadU32(&version) || !in.ReadU32(&seed)) return fail(kInvalid);
  mSeed = seed;
  GetMTRand().SRand(seed);

  std::uint16_t versionLength = 0;
  if (!in.ReadU16(&versionLength)) return fail(kInvalid);
  const std::size_t length = std::min<std::size_t>(versionLength, kMaxVersionLength);
  const std::uint8_t* text = in.Take(length);
  if (text == nullptr) return fail(kInvalid);
  const std::string storedVersion(reinterpret_cast<const char*>(text), length);
  if (storedVersion != mProductVersion) return fail("This demo file appears to be for '" + storedVersion + "'");

  std::vector<DemoMarker> markers;
  if (static_cast<std::int32_t>(version) >= 2) {
    std::uint32_t rawSize = 0;
    const long long remaining = in.Remaining();
    if (!in.ReadU32(&rawSize)) return fail(kInvalid);
    const auto blockSize = static_cast<std::int32_t>(rawSize);
    if (blockSize < 0 || blockSize >= remaining - 4) return fail(kInvalid);
    const std::uint8_t* block = in.Take(static_cast<std::size_t>(blockSize));
    if (block == nullptr) return fail(kInvalid);
    Buffer b;
    b.SetData(block, blockSize);
    b.SeekFront();
    const std::int32_t count = b.ReadLong();
    std::int32_t read = 0;
    while (read < count && !b.AtEnd()) {
      DemoMarker m;
      m.mName = b.ReadString();
      m.mTime = b.ReadLong();
      markers.push_back(std::move(m));
      ++read;
    }
    if (read < count) return fail(kInvalid);
  }

  std::uint32_t demoLength = 0;
  if (!in.ReadU32(&demoLength)) return fail(kInvalid);
  const long long streamBytes = in.Remaining();
  if (streamBytes <= 0 || streamBytes > kMaxStreamBytes) return fail(kInvalid);

  mMarkers = std::move(markers);
  mDemoLength = static_cast<std::int32_t>(demoLength);
  mBuffer.Clear();
  mBuffer.SetData(in.Take(static_cast<std::size_t>(streamBytes)), static_cast<int>(streamBytes));
  mBuffer.SeekFront();
  mLastStamp = 0;
  mHeaderNeeded = true;
  mRecordCount = 0;
  mEnded = false;
  mLoadingDoneMark = false;
  return true;
}

// ---- Numbered recordings ----

int Demo::FindNextDemoNumber(const std::string& prefix, int count, bool deleteOlder) {
  namespace fs = std::filesystem;
  const std::string dir = GetFileDir(prefix, true);
  const std::string base = ToLowerCopy(GetFileNamePart(prefix));
  std::set<int> numbers;
  std::error_code ec;
  for (fs::directory_iterator it(dir.empty() ? fs::path(".") : fs::path(dir), ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = ToLowerCopy(it->path().filename().string());
    if (name.size() <= base.size() + 4 || name.compare(0, base.size(), base) != 0) continue;
    if (name.compare(name.size() - 4, 4, ".dmo") != 0) continue;
    const std::string digits = name.substr(base.size(), name.size() - base.size() - 4);
    if (digits.size() > 9 || !std::all_of(digits.begin(), digits.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
      continue;
    numbers.insert(std::atoi(digits.c_str()));
  }
  if (numbers.empty()) return 0;
  if (deleteOlder && static_cast<long long>(numbers.size()) > static_cast<long long>(count) - 1) {
    std::remove((prefix + std::to_string(*numbers.begin()) + ".dmo").c_str());
  }
  return *numbers.rbegin();
}

std::string Demo::RecordNumberedFileName(const std::string& prefix, int keep) {
  if (keep < 1) keep = 5;
  return prefix + std::to_string(FindNextDemoNumber(prefix, keep, true) + 1) + ".dmo";
}

std::string Demo::PlayNumberedFileName(const std::string& prefix, int nth) {
  const int back = std::max(nth - 1, 0);
  return prefix + std::to_string(FindNextDemoNumber(prefix, back, false) - back) + ".dmo";
}

int Demo::JumpTargetFromTimeText(const std::string& text, int demoLength, int updatePeriodMs) {
  long long seconds = 0;
  std::size_t start = 0;
  while (true) {
    const std::size_t colon = text.find(':', start);
    seconds = seconds * 60 + std::atoi(text.substr(start, colon - start).c_str());
    seconds = std::clamp<long long>(seconds, -1000000000LL, 1000000000LL);
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  const long long period = updatePeriodMs > 0 ? updatePeriodMs : 10;
  return static_cast<int>(std::clamp<long long>(demoLength - ((seconds + 1) * 1000) / period, INT32_MIN, INT32_MAX));
}

std::string Demo::MarkerListText(const DemoMarker& marker, int demoLength, int updatePeriodMs) {
  const long long seconds = (static_cast<long long>(demoLength) - marker.mTime) * updatePeriodMs / 1000;
  return FormatString("%s (%02d:%02d:%02d)", marker.mName.c_str(), static_cast<int>(seconds / 3600),
                      static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
}

}  // namespace Orvo
