// Image files: which reader a name reaches, separate alpha images, every reader on good and
// broken files, and round trips through the writers.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "framework/graphics/ImageLib.h"
#include "framework/resources/PakInterface.h"
#include "tests/framework/graphics/ImageFileFixtures.h"

// The fixtures are described with partial aggregate initialisers; the rest stays default.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

using namespace fixtures;
using ImagePtr = std::unique_ptr<ImageLib::Image>;

namespace {

std::uint32_t At(const ImagePtr& img, int x, int y) { return img->mBits[y * img->mWidth + x]; }

void WriteTga(const std::string& path, std::uint32_t fill, int w = 2, int h = 2) {
  WriteBytes(path, MakeTga(w, h, std::vector<std::uint32_t>(w * h, fill)));
}

// Files this process holds open (Linux lists them under /proc/self/fd).
int OpenFileCount() {
  int n = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) n += entry.exists() ? 1 : 0;
  return n;
}

int ChannelDiff(std::uint32_t a, std::uint32_t b) {
  int worst = 0;
  for (int s = 0; s < 32; s += 8)
    worst = std::max(worst, std::abs(static_cast<int>((a >> s) & 0xFF) - static_cast<int>((b >> s) & 0xFF)));
  return worst;
}

}  // namespace

TEST(ImageLibDispatch, ExtensionPicksTheReaderAndTheCasedFileName) {
  ScratchDir dir("dispatch");
  WriteTga(dir.File("pic.tga"), 0xFF111111);
  WriteBytes(dir.File("pic.gif"), MakeGif({.width = 1, .height = 1, .globalColors = {0x222222}, .indices = {0}}));
  ImagePtr any(ImageLib::GetImage(dir.File("pic"), false));
  ASSERT_TRUE(any);
  EXPECT_EQ(At(any, 0, 0), 0xFF111111u);  // TGA is tried first
  ImagePtr gif(ImageLib::GetImage(dir.File("pic.GIF"), false));
  ASSERT_TRUE(gif);
  EXPECT_EQ(At(gif, 0, 0), 0xFF222222u);
  EXPECT_FALSE(ImagePtr(ImageLib::GetImage(dir.File("pic.bmp"), true)));
  EXPECT_FALSE(ImagePtr(ImageLib::GetImage(dir.File("missing"), true)));

  // A dot in a folder name is no extension.
  std::filesystem::create_directories(dir.File("dir.old"));
  WriteTga(dir.File("dir.old/pic.tga"), 0xFF333333);
  ImagePtr nested(ImageLib::GetImage(dir.File("dir.old/pic"), false));
  ASSERT_TRUE(nested);
  EXPECT_EQ(At(nested, 1, 1), 0xFF333333u);
}

TEST(ImageLibDispatch, SeparateAlphaImages) {
  ScratchDir dir("alpha");
  WriteTga(dir.File("_only.tga"), 0xFF0000A0);
  ImagePtr only(ImageLib::GetImage(dir.File("only.tga"), true));
  ASSERT_TRUE(only);
  EXPECT_EQ(At(only, 0, 0), 0xA0FFFFFFu);
  ImageLib::AlphaImageColor = 0x00123456;
  ImagePtr coloured(ImageLib::GetImage(dir.File("only.tga"), true));
  ImageLib::AlphaImageColor = 0x00FFFFFF;
  EXPECT_EQ(At(coloured, 0, 0), 0xA0123456u);

  WriteTga(dir.File("pair.tga"), 0xFF102030);
  WriteTga(dir.File("pair_.tga"), 0xFF777740);
  ImagePtr pair(ImageLib::GetImage(dir.File("pair"), true));
  EXPECT_EQ(At(pair, 1, 1), 0x40102030u);  // "name_" when "_name" is missing
  ImagePtr plain(ImageLib::GetImage(dir.File("pair.tga"), false));
  EXPECT_EQ(At(plain, 1, 1), 0xFF102030u);
  ImageLib::AutoLoadAlphaImages = false;
  ImagePtr off(ImageLib::GetImage(dir.File("pair.tga"), true));
  ImageLib::AutoLoadAlphaImages = true;
  EXPECT_EQ(At(off, 1, 1), 0xFF102030u);

  WriteTga(dir.File("sized.tga"), 0x80102030);
  WriteTga(dir.File("_sized.tga"), 0xFF000010, 3, 2);
  ImagePtr sized(ImageLib::GetImage(dir.File("sized.tga"), true));
  EXPECT_EQ(At(sized, 0, 0), 0x80102030u);  // an alpha image of another size is dropped
}

TEST(ImageLibTGA, OnlyTopLeft32BitFilesAreRead) {
  ScratchDir dir("tga");
  WriteBytes(dir.File("ok.tga"), MakeTga(2, 1, {0x80FF0000, 0xFF00FF00}));
  ImagePtr ok(ImageLib::GetTGAImage(dir.File("ok.tga")));
  ASSERT_TRUE(ok);
  EXPECT_EQ(At(ok, 0, 0), 0x80FF0000u);
  EXPECT_EQ(At(ok, 1, 0), 0xFF00FF00u);
  WriteBytes(dir.File("24.tga"), MakeTga(2, 1, {0, 0}, 24));
  WriteBytes(dir.File("bottom.tga"), MakeTga(2, 1, {0, 0}, 32, 0x08));
  EXPECT_FALSE(ImagePtr(ImageLib::GetTGAImage(dir.File("24.tga"))));
  EXPECT_FALSE(ImagePtr(ImageLib::GetTGAImage(dir.File("bottom.tga"))));
}

TEST(ImageLibPNG, EveryColourTypeDepthAndInterlacing) {
  ScratchDir dir("png");
  struct Case {
    const char* name;
    PngSpec spec;
    std::vector<std::uint32_t> want;  // 2 x 2 pixels
  };
  auto grey16 = [](std::uint16_t a, std::uint16_t b) {
    return std::vector<std::uint8_t>{static_cast<std::uint8_t>(a >> 8), static_cast<std::uint8_t>(a),
                                     static_cast<std::uint8_t>(b >> 8), static_cast<std::uint8_t>(b)};
  };
  std::vector<Case> cases = {
      {"rgb", {2, 2, 8, PNG_COLOR_TYPE_RGB, false, {{255, 0, 0, 0, 255, 0}, {0, 0, 255, 9, 8, 7}}},
       {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF090807}},
      {"rgba", {2, 2, 8, PNG_COLOR_TYPE_RGBA, false, {{1, 2, 3, 4, 5, 6, 7, 8}, {9, 10, 11, 0, 0, 0, 0, 255}}},
       {0x04010203, 0x08050607, 0x00090A0B, 0xFF000000}},
      {"grey", {2, 2, 8, PNG_COLOR_TYPE_GRAY, false, {{0, 128}, {200, 255}}},
       {0xFF000000, 0xFF808080, 0xFFC8C8C8, 0xFFFFFFFF}},
      {"grey2bit", {2, 2, 2, PNG_COLOR_TYPE_GRAY, false, {{0x10}, {0xB0}}},
       {0xFF000000, 0xFF555555, 0xFFAAAAAA, 0xFFFFFFFF}},
      {"greyalpha", {2, 2, 8, PNG_COLOR_TYPE_GRAY_ALPHA, false, {{10, 20, 30, 40}, {50, 60, 70, 80}}},
       {0x140A0A0A, 0x281E1E1E, 0x3C323232, 0x50464646}},
      {"palette", {2, 2, 8, PNG_COLOR_TYPE_PALETTE, false, {{0, 1}, {1, 0}}, {{255, 0, 0}, {0, 0, 255}}, {128}},
       {0x80FF0000, 0xFF0000FF, 0xFF0000FF, 0x80FF0000}},
      {"rgba16",
       {2, 2, 16, PNG_COLOR_TYPE_RGBA, false,
        {{0xFF, 0xFF, 0, 0, 0x12, 0x34, 0x80, 0x00, 0, 0, 0, 0, 0, 0, 0, 0},
         {0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0x04, 0x00}}},
       {0x80FF0012, 0x00000000, 0xFF000000, 0x04010203}},
      {"grey16", {2, 2, 16, PNG_COLOR_TYPE_GRAY, false, {grey16(0xFFFF, 0x8000), grey16(0x0100, 0)}},
       {0xFFFFFFFF, 0xFF808080, 0xFF010101, 0xFF000000}},
  };
  for (const Case& c : cases) {
    std::string path = dir.File(std::string(c.name) + ".png");
    ASSERT_TRUE(WritePng(path, c.spec)) << c.name;
    ImagePtr img(ImageLib::GetImage(path, false));
    ASSERT_TRUE(img) << c.name;
    ASSERT_EQ(img->mWidth, 2);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(img->mBits[i], c.want[i]) << c.name << " pixel " << i;
  }
}

// Interlaced files used to be read as if plain, scrambling their rows.
TEST(ImageLibPNG, InterlacedFilesAreDeinterlaced) {
  ScratchDir dir("adam7");
  PngSpec spec{13, 11, 8, PNG_COLOR_TYPE_RGB, true, {}};
  for (int y = 0; y < 11; ++y) {
    std::vector<std::uint8_t> row;
    for (int x = 0; x < 13; ++x) row.insert(row.end(), {static_cast<std::uint8_t>(x * 10), static_cast<std::uint8_t>(y * 20), 7});
    spec.rows.push_back(row);
  }
  ASSERT_TRUE(WritePng(dir.File("i.png"), spec));
  ImagePtr img(ImageLib::GetPNGImage(dir.File("i.png")));
  ASSERT_TRUE(img);
  for (int y = 0; y < 11; ++y)
    for (int x = 0; x < 13; ++x)
      ASSERT_EQ(At(img, x, y), 0xFF000000u | (x * 10) << 16 | (y * 20) << 8 | 7) << x << "," << y;
}

TEST(ImageLibWriters, PngRoundTripKeepsAlphaJpegDropsIt) {
  ScratchDir dir("write");
  ImageLib::Image src;
  src.mWidth = 3;
  src.mHeight = 2;
  src.mBits = new std::uint32_t[6]{0x00000000, 0x80FF0000, 0xFF00FF00, 0x010203FF, 0xFFFFFFFF, 0x7F7F7F7F};
  ASSERT_TRUE(ImageLib::WritePNGImage(dir.File("out.png"), &src));
  ImagePtr back(ImageLib::GetImage(dir.File("out.png"), false));
  ASSERT_TRUE(back);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(back->mBits[i], src.mBits[i]) << i;
  EXPECT_FALSE(std::filesystem::exists(dir.File("out.png.tmp")));

  ImageLib::Image flat;
  flat.mWidth = 16;
  flat.mHeight = 16;
  flat.mBits = new std::uint32_t[256];
  for (int i = 0; i < 256; ++i) flat.mBits[i] = 0x40C86432;
  ASSERT_TRUE(ImageLib::WriteJPEGImage(dir.File("out.jpg"), &flat));
  ImagePtr jpg(ImageLib::GetImage(dir.File("out"), false));
  ASSERT_TRUE(jpg);
  for (int i = 0; i < 256; ++i) ASSERT_LE(ChannelDiff(jpg->mBits[i], 0xFFC86432), 4) << std::hex << jpg->mBits[i];

  EXPECT_FALSE(ImageLib::WritePNGImage(dir.File("no/such/folder/x.png"), &src));
  EXPECT_FALSE(ImageLib::WriteJPEGImage(dir.File("no/such/folder/x.jpg"), &src));
  ImageLib::Image empty;
  EXPECT_FALSE(ImageLib::WritePNGImage(dir.File("empty.png"), &empty));
  EXPECT_FALSE(std::filesystem::exists(dir.File("empty.png")));
}

TEST(ImageLibJPEG, GreyFilesGiveOpaqueGrey) {
  ScratchDir dir("jpeg");
  ASSERT_TRUE(WriteGreyJpeg(dir.File("g.jpg"), 8, 8, 0x60));
  ImagePtr img(ImageLib::GetJPEGImage(dir.File("g.jpg")));
  ASSERT_TRUE(img);
  EXPECT_LE(ChannelDiff(At(img, 3, 3), 0xFF606060), 1);
  std::uint32_t p = At(img, 3, 3);
  EXPECT_EQ(p >> 24, 0xFFu);
  EXPECT_EQ((p >> 16) & 0xFF, p & 0xFF);
}

// Arithmetic coding needs next to no bytes for a flat picture (125 bytes for 2048 x 2048
// grey): such files decode, one scan or many. The files were written by cjpeg -arithmetic.
TEST(ImageLibJPEG, ArithmeticCodedFilesOfFewBytesDecode) {
  struct Case {
    const char* file;
    std::uint32_t pixel;
  };
  const Case cases[] = {
      {"flat_grey_2048_arith.jpg", 0xFF808080},
      {"flat_colour_2048_arith.jpg", 0xFFC86432},
      {"flat_grey_2048_65_scans_arith.jpg", 0xFF808080},  // progressive, one scan per coefficient
  };
  for (const Case& c : cases) {
    ImagePtr img(ImageLib::GetImage(std::string(QUORVANE_TEST_DATA_DIR) + "/" + c.file, false));
    ASSERT_TRUE(img) << c.file;
    ASSERT_EQ(img->mWidth, 2048) << c.file;
    ASSERT_EQ(img->mHeight, 2048) << c.file;
    std::size_t off = 0;
    for (std::size_t i = 0; i < 2048u * 2048u; ++i) off += ChannelDiff(img->mBits[i], c.pixel) > 1 ? 1 : 0;
    EXPECT_EQ(off, 0u) << c.file;
  }
}

namespace {

struct JpegKind {
  const char* name;
  bool progressive;
  bool arithmetic;
};
const JpegKind kJpegKinds[] = {
    {"baseline", false, false}, {"progressive", true, false}, {"arithmetic", false, true}, {"progressive arithmetic", true, true}};

// A picture with detail everywhere (a gradient under noise), so every row costs about as many
// coded bytes as any other.
std::vector<std::uint32_t> DetailedPicture(int width, int height) {
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
  std::mt19937 rng(7);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      pixels[static_cast<std::size_t>(y) * width + x] =
          (static_cast<std::uint32_t>(x * 4) << 16 | static_cast<std::uint32_t>(y) << 8 | 0x40) ^ (rng() & 0x3F3F3F);
  return pixels;
}

// Where the coded data of the first scan starts: after the scan header's marker and length.
std::size_t FirstScanData(const std::vector<std::uint8_t>& jpeg) {
  for (std::size_t i = 2; i + 3 < jpeg.size(); ++i)
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA) return i + 2 + (jpeg[i + 2] << 8 | jpeg[i + 3]);
  return 0;
}

std::vector<std::uint32_t> Pixels(const ImagePtr& img) {
  return img ? std::vector<std::uint32_t>(img->mBits, img->mBits + static_cast<std::size_t>(img->mWidth) * img->mHeight)
             : std::vector<std::uint32_t>{};
}

}  // namespace

// Files whose end marker, or its last byte, is lost (cameras and editors write such files, and
// a copy a byte short is one) decode to exactly the pixels of the whole file. So does a file of
// one scan whose end marker gives way to a broken marker segment (a file cut inside one, or the
// start of the next file of a stream): it is read there only after the whole picture. (A
// progressive file is read to its end before its first row, so such an ending fails it.)
TEST(ImageLibJPEG, FilesWithoutTheirEndMarkerDecodeWhole) {
  struct Ending {
    const char* name;
    std::vector<std::uint8_t> bytes;  // in place of the end marker
    bool oneScan;
  };
  const Ending endings[] = {
      {"without its end marker", {}, false},
      {"without its last byte", {0xFF}, false},
      {"followed by the next file's start", {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F'}, true},
      {"cut inside a table segment", {0xFF, 0xDB, 0x00, 0x43, 0x00, 0x01, 0x02}, true},
  };
  ScratchDir dir("jpeg_end");
  constexpr int kW = 48, kH = 40;
  for (const JpegKind& kind : kJpegKinds) {
    const std::vector<std::uint8_t> whole = MakeJpeg(kW, kH, DetailedPicture(kW, kH), kind.progressive, kind.arithmetic);
    ASSERT_EQ(whole[whole.size() - 2], 0xFF);
    ASSERT_EQ(whole[whole.size() - 1], 0xD9);
    WriteBytes(dir.File("whole.jpg"), whole);
    ImagePtr want(ImageLib::GetJPEGImage(dir.File("whole.jpg")));
    ASSERT_TRUE(want) << kind.name;
    for (const Ending& ending : endings) {
      if (ending.oneScan && kind.progressive) continue;
      std::vector<std::uint8_t> bytes(whole.begin(), whole.end() - 2);
      bytes.insert(bytes.end(), ending.bytes.begin(), ending.bytes.end());
      WriteBytes(dir.File("short.jpg"), bytes);
      ImagePtr got(ImageLib::GetJPEGImage(dir.File("short.jpg")));
      ASSERT_TRUE(got) << kind.name << ", " << ending.name;
      EXPECT_EQ(got->mWidth, kW);
      EXPECT_EQ(got->mHeight, kH);
      EXPECT_TRUE(Pixels(got) == Pixels(want)) << kind.name << ", " << ending.name;
    }
  }
}

// A file cut inside its coded data gives its declared picture: the rows decoded so far, the
// rest as the library fills it (flat grey for Huffman-coded sequential files). Whether the
// file ends there or a stray end marker closes it makes no difference. Cut anywhere before
// its coded data starts, it is refused.
TEST(ImageLibJPEG, FilesCutInTheirDataKeepTheRowsDecoded) {
  ScratchDir dir("jpeg_cut");
  constexpr int kW = 64, kH = 256;  // 16 rows of 16-pixel blocks
  for (const JpegKind& kind : kJpegKinds) {
    const std::vector<std::uint8_t> whole = MakeJpeg(kW, kH, DetailedPicture(kW, kH), kind.progressive, kind.arithmetic);
    WriteBytes(dir.File("whole.jpg"), whole);
    const std::vector<std::uint32_t> want = Pixels(ImagePtr(ImageLib::GetJPEGImage(dir.File("whole.jpg"))));
    ASSERT_EQ(want.size(), static_cast<std::size_t>(kW * kH)) << kind.name;
    const std::size_t data = FirstScanData(whole);
    ASSERT_GT(data, 0u);
    for (int percent : {99, 50}) {
      const std::size_t length = data + (whole.size() - data) * static_cast<std::size_t>(percent) / 100;
      std::vector<std::uint8_t> cut(whole.begin(), whole.begin() + static_cast<long>(length));
      WriteBytes(dir.File("cut.jpg"), cut);
      ImagePtr img(ImageLib::GetJPEGImage(dir.File("cut.jpg")));
      ASSERT_TRUE(img) << kind.name << " cut at " << percent << "%";
      ASSERT_EQ(img->mWidth, kW);
      ASSERT_EQ(img->mHeight, kH);
      cut.push_back(0xFF);
      cut.push_back(0xD9);
      WriteBytes(dir.File("closed.jpg"), cut);
      EXPECT_TRUE(Pixels(ImagePtr(ImageLib::GetJPEGImage(dir.File("closed.jpg")))) == Pixels(img))
          << kind.name << " cut at " << percent << "% and closed";
      if (kind.progressive) continue;  // every scan covers the whole picture
      // The block rows before the cut, less a margin: coded rows differ a little in size, and
      // the last row of a block row has its colour smoothed with the next block row.
      const int keptRows = (kH * percent / 100 / 16 - 2) * 16;
      const std::vector<std::uint32_t> got = Pixels(img);
      EXPECT_TRUE(std::equal(got.begin(), got.begin() + keptRows * kW, want.begin()))
          << kind.name << " cut at " << percent << "%";
      EXPECT_FALSE(std::equal(got.begin() + keptRows * kW, got.end(), want.begin() + keptRows * kW));
      if (!kind.arithmetic && percent == 50) {
        EXPECT_TRUE(std::all_of(got.end() - kW, got.end(), [](std::uint32_t p) { return p == 0xFF808080u; }))
            << kind.name << " cut at " << percent << "%";
      }
    }
    // Cut inside the frame header, inside the scan header, or right before the data.
    std::size_t frame = 0;
    for (std::size_t i = 2; i + 1 < whole.size() && frame == 0; ++i)
      if (whole[i] == 0xFF && (whole[i + 1] == 0xC0 || whole[i + 1] == 0xC2 || whole[i + 1] == 0xC9 || whole[i + 1] == 0xCA))
        frame = i;
    ASSERT_GT(frame, 0u) << kind.name;
    for (std::size_t length : {frame + 7, frame + 12, data - 6, data - 2, data - 1}) {
      WriteBytes(dir.File("head.jpg"), std::vector<std::uint8_t>(whole.begin(), whole.begin() + static_cast<long>(length)));
      EXPECT_FALSE(ImagePtr(ImageLib::GetJPEGImage(dir.File("head.jpg")))) << kind.name << " cut at " << length;
    }
  }
}

TEST(ImageLibGIF, ColoursTransparencyAndInterlacing) {
  ScratchDir dir("gif");
  auto load = [&](const GifSpec& spec) {
    WriteBytes(dir.File("t.gif"), MakeGif(spec));
    return ImagePtr(ImageLib::GetGIFImage(dir.File("t.gif")));
  };
  ImagePtr basic = load({.width = 3, .height = 2, .globalColors = {0xFF0000, 0x00FF00, 0x0000FF, 0x123456},
                         .indices = {0, 1, 2, 3, 2, 1}});
  ASSERT_TRUE(basic);
  EXPECT_EQ(std::vector<std::uint32_t>(basic->mBits, basic->mBits + 6),
            (std::vector<std::uint32_t>{0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF123456, 0xFF0000FF, 0xFF00FF00}));

  std::vector<std::uint32_t> eight(8);
  for (int i = 0; i < 8; ++i) eight[i] = static_cast<std::uint32_t>(i * 0x111111);
  ImagePtr trans = load({.width = 4, .height = 1, .globalColors = eight, .transparentIndex = 5, .indices = {5, 4, 5, 1},
                         .minCodeSize = 3});
  ASSERT_TRUE(trans);
  EXPECT_EQ(std::vector<std::uint32_t>(trans->mBits, trans->mBits + 4),
            (std::vector<std::uint32_t>{0, 0xFF444444, 0, 0xFF111111}));

  // Height 3: pass 1 gives row 0, pass 2 (row 4) nothing, pass 3 row 2, pass 4 row 1.
  ImagePtr inter = load({.width = 1, .height = 3, .globalColors = {0x0000AA, 0x0000BB, 0x0000CC, 0},
                         .interlaced = true, .indices = {0, 1, 2}});
  ASSERT_TRUE(inter);
  EXPECT_EQ(std::vector<std::uint32_t>(inter->mBits, inter->mBits + 3),
            (std::vector<std::uint32_t>{0xFF0000AA, 0xFF0000CC, 0xFF0000BB}));

  // Indices past the table, or no table at all, give opaque black instead of reading past it.
  ImagePtr past = load({.width = 2, .height = 1, .globalColors = {0xFFFFFF, 0x808080}, .indices = {1, 3}});
  ASSERT_TRUE(past);
  EXPECT_EQ(past->mBits[1], 0xFF000000u);
  ImagePtr none = load({.width = 2, .height = 1, .globalColors = {}, .indices = {0, 1}});
  ASSERT_TRUE(none);
  EXPECT_EQ(none->mBits[0], 0xFF000000u);
}

TEST(ImageLibGIF, FullTableEndsDecodingAndEarlyEndLeavesTransparentPixels) {
  ScratchDir dir("gif2");
  // With minimum code size 2 and no clear codes, 4096 - 6 codes fill the table.
  GifSpec spec{.width = 100, .height = 50, .globalColors = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}};
  std::vector<std::uint8_t> bytes = MakeGif(spec);
  bytes.erase(bytes.end() - 4, bytes.end());  // drop the empty image data, block end and trailer
  bytes.pop_back();
  // Hand-made data: clear, then single-pixel codes of growing size without clear codes.
  std::vector<int> codes = {4};
  for (int i = 0; i < 4200; ++i) codes.push_back(i % 4);
  std::vector<std::uint8_t> packed;
  std::uint32_t acc = 0;
  int bits = 0, size = 3, available = 6, emitted = 0;
  for (int c : codes) {
    acc |= static_cast<std::uint32_t>(c) << bits;
    bits += size;
    while (bits >= 8) {
      packed.push_back(static_cast<std::uint8_t>(acc));
      acc >>= 8;
      bits -= 8;
    }
    if (emitted++ > 1 && available < 4096) {
      ++available;
      if ((available & ((1 << size) - 1)) == 0 && available < 4096) ++size;
    }
  }
  packed.push_back(static_cast<std::uint8_t>(acc));
  bytes.push_back(2);
  for (std::size_t i = 0; i < packed.size(); i += 255) {
    std::size_t n = std::min<std::size_t>(255, packed.size() - i);
    bytes.push_back(static_cast<std::uint8_t>(n));
    bytes.insert(bytes.end(), packed.begin() + static_cast<long>(i), packed.begin() + static_cast<long>(i + n));
  }
  bytes.push_back(0);
  bytes.push_back(0x3B);
  WriteBytes(dir.File("full.gif"), bytes);
  ImagePtr img(ImageLib::GetGIFImage(dir.File("full.gif")));
  ASSERT_TRUE(img);
  EXPECT_EQ(img->mBits[0], 0xFFFF0000u);
  EXPECT_EQ(img->mBits[4089], 0xFF00FF00u);  // the last code that still fits the table
  EXPECT_EQ(img->mBits[4095], 0u);           // never reached: transparent black
  EXPECT_EQ(img->mBits[4999], 0u);
}

// A GIF cut short inside its image data gives the picture decoded so far: a sub-block count
// that cannot be read, or a block that ends early, ends the image data as its terminator
// would. Pixels never reached stay transparent black.
TEST(ImageLibGIF, FileCutInItsImageDataKeepsWhatWasDecoded) {
  ScratchDir dir("gifcut");
  const std::vector<std::uint32_t> colours = {0x112233, 0x445566, 0x778899, 0xAABBCC};
  std::vector<int> indices(24 * 24);
  for (std::size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<int>(i % 4);
  // Three-bit codes with a clear before every pixel: 6 bits a pixel, 433 bytes of data in a
  // block of 255 bytes and one of 178 (with the end code).
  const std::vector<std::uint8_t> whole = MakeGif({.width = 24, .height = 24, .globalColors = colours, .indices = indices});
  std::size_t data = 0;  // the minimum code size byte, after the image descriptor
  for (std::size_t i = 0; i + 1 < whole.size(); ++i)
    if (whole[i] == 0x2C) data = i + 10;
  ASSERT_EQ(whole[data + 1], 255);
  const std::size_t secondCount = data + 2 + 255;
  ASSERT_EQ(whole[secondCount], 178);

  struct Cut {
    std::size_t length;
    std::size_t decoded;  // pixels surely decoded from the bytes kept
  };
  const Cut cuts[] = {
      {secondCount, 255 * 8 / 6 - 1},                    // where the second count should be
      {secondCount + 1, 255 * 8 / 6 - 1},                // after the count, before its bytes
      {whole.size() * 3 / 4, (whole.size() * 3 / 4 - data - 3) * 8 / 6 - 1},  // inside the second block
  };
  for (const Cut& cut : cuts) {
    WriteBytes(dir.File("cut.gif"), std::vector<std::uint8_t>(whole.begin(), whole.begin() + static_cast<long>(cut.length)));
    ImagePtr img(ImageLib::GetImage(dir.File("cut.gif"), false));
    ASSERT_TRUE(img) << "cut at " << cut.length;
    EXPECT_EQ(img->mWidth, 24);
    EXPECT_EQ(img->mHeight, 24);
    for (std::size_t i = 0; i < cut.decoded; ++i)
      ASSERT_EQ(img->mBits[i], 0xFF000000u | colours[i % 4]) << "cut at " << cut.length << ", pixel " << i;
    EXPECT_EQ(img->mBits[24 * 24 - 1], 0u) << "cut at " << cut.length;
  }

  // A flat picture compressed as encoders do, a few bits for hundreds of pixels: cut where
  // the second sub-block count should be, inside the last block, and before the first count,
  // it keeps a run of pixels from the top and is transparent after it.
  constexpr int kSide = 400;
  const std::vector<std::uint8_t> flat =
      MakeGif({.width = kSide, .height = kSide, .globalColors = {1, 2, 3, 4}, .imageData = FlatGifImageData(2, kSide * kSide, 8)});
  std::size_t flatData = 0;
  for (std::size_t i = 0; i + 1 < flat.size() && flatData == 0; ++i)
    if (flat[i] == 0x2C) flatData = i + 10;  // the first ',' is the image descriptor's
  ASSERT_EQ(flat[flatData], 8);
  ASSERT_EQ(flat[flatData + 1], 255);
  ASSERT_TRUE(ImagePtr(ImageLib::GetImage([&] {
    WriteBytes(dir.File("flat.gif"), flat);
    return dir.File("flat.gif");
  }(), false)));
  for (std::size_t length : {flatData + 2 + 255, flat.size() * 3 / 4, flat.size() - 3, flatData + 1}) {
    WriteBytes(dir.File("flat.gif"), std::vector<std::uint8_t>(flat.begin(), flat.begin() + static_cast<long>(length)));
    ImagePtr img(ImageLib::GetImage(dir.File("flat.gif"), false));
    ASSERT_TRUE(img) << "cut at " << length << " of " << flat.size();
    ASSERT_EQ(img->mWidth * img->mHeight, kSide * kSide);
    // At most 10 bits a code here, and the k-th code gives k pixels.
    const std::int64_t keptBits = (static_cast<std::int64_t>(length) - static_cast<std::int64_t>(flatData) - 2) * 8 - 9;
    const std::int64_t codes = std::max<std::int64_t>(keptBits, 0) / 10;
    const std::int64_t least = std::min<std::int64_t>(codes * (codes + 1) / 2, kSide * kSide - 1);
    int run = 0;
    while (run < kSide * kSide && img->mBits[run] == 0xFF000003u) ++run;
    EXPECT_GE(run, least) << "cut at " << length;
    int stray = 0;
    for (int i = run; i < kSide * kSide; ++i) stray += img->mBits[i] != 0 ? 1 : 0;
    EXPECT_EQ(stray, 0) << "cut at " << length;
  }

  // The small GIF of the broken-file table below, cut at three quarters: half its pixels.
  const std::vector<std::uint8_t> small =
      MakeGif({.width = 8, .height = 8, .globalColors = {1, 2, 3, 4}, .indices = std::vector<int>(64, 2)});
  WriteBytes(dir.File("small.gif"), std::vector<std::uint8_t>(small.begin(), small.begin() + static_cast<long>(small.size() * 3 / 4)));
  ImagePtr img(ImageLib::GetImage(dir.File("small.gif"), false));
  ASSERT_TRUE(img);
  EXPECT_EQ(img->mBits[0], 0xFF000003u);
  EXPECT_EQ(img->mBits[35], 0xFF000003u);
  EXPECT_EQ(img->mBits[63], 0u);
}

// Every reader refuses broken files: wrong signatures, unsupported layouts, and every file
// cut short at several lengths. Under the address sanitizer this also shows that no reader
// reads or writes out of bounds or leaks.
TEST(ImageLibBroken, EveryReaderRefusesBrokenFiles) {
  ScratchDir dir("broken");
  std::vector<std::pair<std::string, std::vector<std::uint8_t>>> good;
  good.push_back({"a.tga", MakeTga(4, 4, std::vector<std::uint32_t>(16, 0xFF336699))});
  good.push_back({"a.gif", MakeGif({.width = 8, .height = 8, .globalColors = {1, 2, 3, 4}, .indices = std::vector<int>(64, 2)})});
  PngSpec png{8, 8, 8, PNG_COLOR_TYPE_RGBA, true, std::vector<std::vector<std::uint8_t>>(8, std::vector<std::uint8_t>(32, 90))};
  ASSERT_TRUE(WritePng(dir.File("src.png"), png));
  good.push_back({"a.png", ReadBytes(dir.File("src.png"))});
  ImageLib::Image src;
  src.mWidth = 16;
  src.mHeight = 16;
  src.mBits = new std::uint32_t[256]();
  ASSERT_TRUE(ImageLib::WriteJPEGImage(dir.File("src.jpg"), &src));
  good.push_back({"a.jpg", ReadBytes(dir.File("src.jpg"))});

  int openBefore = OpenFileCount();
  for (const auto& [name, bytes] : good) {
    WriteBytes(dir.File(name), bytes);
    ASSERT_TRUE(ImagePtr(ImageLib::GetImage(dir.File(name), false))) << name;
    // A GIF or JPEG cut inside its image data keeps what was decoded (above and below), so
    // their cuts stay before the image data.
    const bool gif = name == "a.gif", jpeg = name == "a.jpg";
    std::size_t late = bytes.size() / 2, last = bytes.size() - 3;
    if (gif) late = 35, last = 42;
    if (jpeg) late = FirstScanData(bytes) - 5, last = FirstScanData(bytes) - 1;
    for (std::size_t cut : {std::size_t{0}, std::size_t{1}, std::size_t{5}, std::size_t{12}, std::size_t{17}, late, last}) {
      if (cut >= bytes.size()) continue;
      WriteBytes(dir.File(name), std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(cut)));
      EXPECT_FALSE(ImagePtr(ImageLib::GetImage(dir.File(name), false))) << name << " cut at " << cut;
    }
  }

  struct Broken {
    const char* name;
    std::vector<std::uint8_t> bytes;
  };
  std::vector<std::uint8_t> gif88 = MakeGif({.width = 1, .height = 1, .globalColors = {1, 2}, .indices = {0}});
  gif88[4] = '8';
  std::vector<std::uint8_t> trailerFirst = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0x3B};
  std::vector<std::uint8_t> bigCode = MakeGif({.width = 2, .height = 2, .globalColors = {1, 2}, .indices = {0, 1, 1, 0}});
  // The minimum code size byte follows the image descriptor's 10 bytes.
  std::size_t descriptor = 0;
  for (std::size_t i = 0; i + 1 < bigCode.size(); ++i)
    if (bigCode[i] == 0x2C) descriptor = i;
  std::vector<std::uint8_t> code12 = bigCode, code0 = bigCode;
  code12[descriptor + 10] = 12;
  code0[descriptor + 10] = 0;
  std::vector<std::uint8_t> zeroSize = MakeGif({.width = 0, .height = 4, .globalColors = {1, 2}, .indices = {}});
  std::vector<std::uint8_t> hugeTga = MakeTga(0, 0, {});
  hugeTga[12] = hugeTga[13] = hugeTga[14] = hugeTga[15] = 0xFF;
  std::vector<std::uint8_t> notPng = ReadBytes(dir.File("src.png"));
  notPng[1] = 'X';
  std::vector<std::uint8_t> badCrc = ReadBytes(dir.File("src.png"));
  badCrc[30] ^= 0xFF;
  std::vector<std::uint8_t> notJpeg(64, 0x42);
  const Broken broken[] = {
      {"gif88.gif", gif88},       {"trailer.gif", trailerFirst}, {"code12.gif", code12}, {"code0.gif", code0},
      {"zero.gif", zeroSize},     {"huge.tga", hugeTga},         {"sig.png", notPng},    {"crc.png", badCrc},
      {"junk.jpg", notJpeg},      {"junk.j2k", notJpeg},         {"empty.png", {}},
  };
  for (const Broken& b : broken) {
    WriteBytes(dir.File(b.name), b.bytes);
    EXPECT_FALSE(ImagePtr(ImageLib::GetImage(dir.File(b.name), false))) << b.name;
  }
  EXPECT_EQ(OpenFileCount(), openBefore);  // every reader closed its file on every way out
}

// A small file that declares a picture far larger than its data could fill: the TGA reader
// refuses it before memory is asked for the picture. A GIF or JPEG whose image data ends early,
// however early, gives its picture with what was decoded (above), within the size limit: a
// JPEG declaring more than it allows is refused. A JPEG whose scans would pass over a large
// picture more often than the work bound allows is refused at the scan that crosses it.
TEST(ImageLibBroken, SmallFilesDeclaringHugePicturesAreRefused) {
  ScratchDir dir("huge");
  ImageLib::Image src;
  src.mWidth = 16;
  src.mHeight = 16;
  src.mBits = new std::uint32_t[256]();
  ASSERT_TRUE(ImageLib::WriteJPEGImage(dir.File("src.jpg"), &src));
  std::vector<std::uint8_t> jpeg = ReadBytes(dir.File("src.jpg"));
  // Height and width follow the frame marker's length and precision: 2048 x 2048, then
  // 8193 x 8192, one row more than the size limit allows.
  std::size_t frame = 0;
  for (std::size_t i = 0; i + 8 < jpeg.size() && frame == 0; ++i)
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) frame = i;
  ASSERT_GT(frame, 0u);
  jpeg[frame + 5] = jpeg[frame + 7] = 0x08;
  jpeg[frame + 6] = jpeg[frame + 8] = 0x00;
  WriteBytes(dir.File("large.jpg"), jpeg);
  ImagePtr large(ImageLib::GetImage(dir.File("large.jpg"), false));
  ASSERT_TRUE(large);
  ASSERT_EQ(large->mWidth, 2048);
  ASSERT_EQ(large->mHeight, 2048);
  EXPECT_EQ(At(large, 3, 3), 0xFF000000u);  // the 16 x 16 black picture's data, then flat grey
  EXPECT_EQ(At(large, 2047, 2047), 0xFF808080u);
  large.reset();
  jpeg[frame + 5] = jpeg[frame + 7] = 0x20;
  jpeg[frame + 8] = 0x01;

  std::vector<std::uint8_t> tga = MakeTga(4, 4, std::vector<std::uint32_t>(16, 0xFF336699));
  tga[12] = tga[14] = 0x40;
  tga[13] = tga[15] = 0x1F;
  const std::pair<const char*, std::vector<std::uint8_t>> files[] = {
      {"huge.jpg", jpeg},
      {"huge.tga", tga},
      {"scans.jpg", ReadBytes(std::string(QUORVANE_TEST_DATA_DIR) + "/flat_grey_4096_65_scans_arith.jpg")},
  };
  for (const auto& [name, bytes] : files) {
    WriteBytes(dir.File(name), bytes);
    EXPECT_FALSE(ImagePtr(ImageLib::GetImage(dir.File(name), false))) << name;
  }
}

// Images are read through the pak-aware file layer: a picture and its alpha image that exist
// only inside a mounted archive are found and merged.
TEST(ImageLibPak, ReadsImagesFromAMountedArchive) {
  ScratchDir dir("pak");
  PngSpec png{2, 1, 8, PNG_COLOR_TYPE_RGB, false, {{10, 20, 30, 40, 50, 60}}};
  ASSERT_TRUE(WritePng(dir.File("src.png"), png));
  struct Entry {
    std::string name;
    std::vector<std::uint8_t> data;
  } entries[] = {{"pakimages\\logo.png", ReadBytes(dir.File("src.png"))},
                 {"pakimages\\_logo.gif", MakeGif({.width = 2, .height = 1, .globalColors = {0x000080, 0x0000FF},
                                                    .indices = {0, 1}})}};
  std::vector<std::uint8_t> pak;
  auto u32 = [&](std::uint32_t v) {
    for (int s = 0; s < 32; s += 8) pak.push_back(static_cast<std::uint8_t>(v >> s));
  };
  u32(0xBAC04AC0);
  u32(0);
  for (const Entry& e : entries) {
    pak.push_back(0);
    pak.push_back(static_cast<std::uint8_t>(e.name.size()));
    pak.insert(pak.end(), e.name.begin(), e.name.end());
    u32(static_cast<std::uint32_t>(e.data.size()));
    u32(0);
    u32(0);
  }
  pak.push_back(0x80);
  for (const Entry& e : entries) pak.insert(pak.end(), e.data.begin(), e.data.end());
  for (std::uint8_t& b : pak) b ^= 0x6D;
  WriteBytes(dir.File("images.pak"), pak);

  Orvo::PakInterface* layer = Orvo::FindPakInterface();
  std::unique_ptr<Orvo::PakInterface> own;
  if (layer == nullptr) {
    own = std::make_unique<Orvo::PakInterface>();
    layer = own.get();
  }
  ASSERT_TRUE(layer->AddPakFile(dir.File("images.pak")));
  ASSERT_FALSE(std::filesystem::exists("pakimages"));
  ImagePtr img(ImageLib::GetImage("pakimages/logo", true));
  ASSERT_TRUE(img);
  EXPECT_EQ(At(img, 0, 0), 0x800A141Eu);
  EXPECT_EQ(At(img, 1, 0), 0xFF28323Cu);
}
