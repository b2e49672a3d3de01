// The 3D capability test: its verdicts (pass, driver lists that refuse, device and blend
// failures, memory and colour depth), the stored outcome and when it is reused, and the
// surface read-back it judges from.
#include "framework/graphics/D3DTester.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>

#include "platform/Direct3D.h"
#include "platform/DirectDraw.h"
#include "platform/Registry.h"

using namespace Orvo;
namespace fs = std::filesystem;

namespace {

class D3DTesterTest : public ::testing::Test {
 public:
  void SetUp() override {
    root = fs::temp_directory_path() / ("orvo_d3dtester_" + std::to_string(std::random_device{}()));
    fs::create_directories(root);
    plat::SetRegistryFolder(root.string());
    oldCwd = fs::current_path();
    fs::current_path(root);  // the driver lists are read from the working folder
    plat::ResetDirectDrawBehaviour();
    plat::ResetDirect3DBehaviour();
  }
  void TearDown() override {
    fs::current_path(oldCwd);
    plat::SetRegistryFolder("");
    plat::ResetDirectDrawBehaviour();
    plat::ResetDirect3DBehaviour();
    std::error_code ec;
    fs::remove_all(root, ec);
  }
  void List(const char* name, const std::string& text) { std::ofstream(root / name) << text; }
  // One whole test run on a fresh DirectDraw object, as the display's start-up does it.
  void Run(D3DTester& tester) {
    void* dd = nullptr;
    ASSERT_EQ(plat::DirectDrawCreateEx(nullptr, &dd, plat::IID_IDirectDraw7, nullptr), plat::DD_OK);
    tester.mAppRegistryKey = "TesterTest";
    tester.TestD3D(nullptr, static_cast<plat::IDirectDraw7*>(dd));
    static_cast<plat::IDirectDraw7*>(dd)->Release();
  }
  std::string Stored(const char* name) {
    plat::HKEY key = nullptr;
    if (plat::RegOpenKeyExA(plat::HKEY_CURRENT_USER, "SOFTWARE\\TesterTest\\Test3D", 0, plat::KEY_ALL_ACCESS, &key) !=
        plat::ERROR_SUCCESS)
      return "<no key>";
    char buf[512] = {};
    plat::DWORD size = sizeof buf - 1;
    plat::DWORD type = 0;
    const bool ok = plat::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<plat::BYTE*>(buf), &size) ==
                    plat::ERROR_SUCCESS;
    plat::RegCloseKey(key);
    if (!ok) return "<missing>";
    if (type == plat::REG_DWORD) return std::to_string(*reinterpret_cast<plat::DWORD*>(buf));
    return buf;
  }
  fs::path root;
  fs::path oldCwd;
};

TEST_F(D3DTesterTest, Verdicts) {
  const std::string unsupported = "Unsupported video card: Quorvane Software Rasterizer";
  struct Case {
    const char* name;
    std::function<void(D3DTesterTest&)> setup;
    std::string failure;
    std::string warning;
  } cases[] = {
      {"listed card passes every render test", [](D3DTesterTest& t) { t.List("vhw.dat", "\n  quorvane SOFTWARE \n"); },
       "", ""},
      {"refused list wins over the trusted one",
       [](D3DTesterTest& t) {
         t.List("vhw.dat", "Quorvane\n");
         t.List("vhwb.dat", "  software rasterizer  \n");
       },
       "", unsupported},
      {"empty trusted list trusts nobody", [](D3DTesterTest& t) { t.List("vhw.dat", ""); }, "", unsupported},
      {"no lists: a vendor word in capitals is enough",
       [](D3DTesterTest&) { plat::Direct3DTestBehaviour().description = "Acme NVIDIA GeForce"; }, "", ""},
      {"no lists: an unknown card with an old driver is doubtful", [](D3DTesterTest&) {}, "", unsupported},
      {"device cannot be made",
       [](D3DTesterTest& t) {
         t.List("vhw.dat", "Quorvane\n");
         plat::Direct3DTestBehaviour().createDeviceResult = plat::D3DERR_INITFAILED;
       },
       "DXError - CreateDevice: D3DERR_INITFAILED", ""},
      {"blending that ignores the blend states",
       [](D3DTesterTest& t) {
         t.List("vhw.dat", "Quorvane\n");
         plat::Direct3DTestBehaviour().brokenBlending = true;
       },
       "Alpha blend Not Supported", ""},
      {"only 16-bit alpha textures",
       [](D3DTesterTest& t) {
         t.List("vhw.dat", "Quorvane\n");
         plat::Direct3DTestBehaviour().textureFormats = 2 | 4;
       },
       "", "A8R8G8B8 texture format not supported."},
      {"no alpha texture format",
       [](D3DTesterTest& t) {
         t.List("vhw.dat", "Quorvane\n");
         plat::Direct3DTestBehaviour().textureFormats = 4;
       },
       "A4R4G4B4 and A8R8G8B8 texture formats not supported.", "A8R8G8B8 texture format not supported."},
      {"24-bit desktop",
       [](D3DTesterTest& t) {
         t.List("vhw.dat", "Quorvane\n");
         plat::DirectDrawTestBehaviour().desktopBitCount = 24;
       },
       "Can't test 24-bit mode.", ""},
      {"too little video memory", [](D3DTesterTest&) { plat::Direct3DTestBehaviour().totalVidMem = 0; },
       "Not enough video memory.", ""},
  };
  for (const Case& c : cases) {
    TearDown();
    SetUp();
    c.setup(*this);
    D3DTester tester;
    if (c.failure == "Not enough video memory.") tester.SetVidMemoryLimits(1u << 20, 1u << 20);
    Run(tester);
    EXPECT_EQ(tester.mFailureReason, c.failure) << c.name;
    EXPECT_EQ(tester.mWarning, c.warning) << c.name;
    EXPECT_TRUE(tester.mFirstResult) << c.name;
    EXPECT_EQ(Stored("FailureReason"), c.failure) << c.name;
    EXPECT_EQ(Stored("Version"), "2") << c.name;
    EXPECT_EQ(tester.mD3DDevice, nullptr) << c.name << ": everything is released at the end";
  }
}

TEST_F(D3DTesterTest, AStoredSuccessIsReusedAndAStoredFailureIsTestedAgain) {
  List("vhw.dat", "Quorvane\n");
  {
    D3DTester first;
    Run(first);
    EXPECT_TRUE(first.mFirstResult);
    EXPECT_EQ(first.mFailureReason, "");
  }
  // The same adapter and limits: nothing is rendered, so a broken device goes unnoticed.
  plat::Direct3DTestBehaviour().brokenBlending = true;
  {
    D3DTester again;
    Run(again);
    EXPECT_FALSE(again.mFirstResult);
    EXPECT_EQ(again.mFailureReason, "");
  }
  // Other limits: the test runs again, and its failure is stored.
  {
    D3DTester otherLimits;
    otherLimits.SetVidMemoryLimits(4, 8);
    Run(otherLimits);
    EXPECT_TRUE(otherLimits.mFirstResult);
    EXPECT_EQ(otherLimits.mFailureReason, "Alpha blend Not Supported");
    EXPECT_EQ(Stored("MinVidMemory"), "4");
  }
  // A stored failure is never reused: once the device works the test passes again.
  plat::Direct3DTestBehaviour().brokenBlending = false;
  D3DTester fixed;
  fixed.SetVidMemoryLimits(4, 8);
  Run(fixed);
  EXPECT_EQ(fixed.mFailureReason, "");
  EXPECT_FALSE(fixed.mFirstResult) << "an outcome was stored before";
}

// A driver named without a folder is found in the system folder; its last write gives the
// driver year, and a driver from 2002 on makes an unlisted card acceptable.
TEST_F(D3DTesterTest, TheDriverFileIsLookedUpInTheSystemFolder) {
  const fs::path driver = root / "system" / plat::kSoftwareAdapterDriver;
  fs::create_directories(driver.parent_path());
  std::ofstream(driver) << "driver";
  auto yearOf = [](int year) {
    const std::chrono::sys_seconds midYear =
        std::chrono::sys_days(std::chrono::year_month_day(std::chrono::year(year), std::chrono::June, std::chrono::day(1)));
    return std::chrono::file_clock::from_sys(midYear);
  };
  struct Case {
    int year;
    const char* folder;
    int wantYear;
    bool warned;
  } cases[] = {{2001, "system", 2001, true}, {2005, "system", 2005, false}, {2005, "elsewhere", 0, true}};
  for (const Case& c : cases) {
    fs::last_write_time(driver, yearOf(c.year));
    plat::ResetDirect3DBehaviour();
    D3DTester tester;
    EXPECT_FALSE(tester.mSystemDirectory.empty()) << "the program's folder by default";
    tester.mSystemDirectory = (root / c.folder).string();
    tester.mUseRegistry = false;
    Run(tester);
    EXPECT_EQ(tester.mDriverYear, c.wantYear) << c.year << " " << c.folder;
    EXPECT_EQ(!tester.mWarning.empty(), c.warned) << c.year << " " << c.folder;
  }
}

TEST_F(D3DTesterTest, ReadBackMovesEachChannelByItsMask) {
  D3DTestImage image;
  image.Create(2, 1);
  const std::uint16_t px16[2] = {0xF800, 0x07FF};  // R5G6B5 red; green and blue
  plat::DDSURFACEDESC2 desc;
  desc.dwWidth = 2;
  desc.dwHeight = 1;
  desc.lPitch = 4;
  desc.lpSurface = const_cast<std::uint16_t*>(px16);
  desc.ddpfPixelFormat.dwRBitMask = 0xF800;
  desc.ddpfPixelFormat.dwGBitMask = 0x07E0;
  desc.ddpfPixelFormat.dwBBitMask = 0x001F;
  ReadSurface16(image, desc);
  EXPECT_EQ(image.Pixel(0, 0), 0xFFF80000u);
  EXPECT_EQ(image.Pixel(1, 0), 0xFF00FCF8u);
  const std::uint32_t px32[2] = {0x00123456, 0xAA000000};
  desc.lPitch = 8;
  desc.lpSurface = const_cast<std::uint32_t*>(px32);
  desc.ddpfPixelFormat.dwRBitMask = 0xFF0000;
  desc.ddpfPixelFormat.dwGBitMask = 0xFF00;
  desc.ddpfPixelFormat.dwBBitMask = 0xFF;
  ReadSurface32(image, desc);
  EXPECT_EQ(image.Pixel(0, 0), 0xFF123456u);
  EXPECT_EQ(image.Pixel(1, 0), 0xFF000000u);
  // Blend verdicts allow small rounding: 0x7E007F passes for 0x7F007F, blue alone does not.
  EXPECT_LE(ColorDistance(0x7E007F, 0x7F007F), 768);
  EXPECT_GT(ColorDistance(0x0000FF, 0x7F007F), 768);
}

}  // namespace
