// The generated pictures read back against the table of the game's pictures: files, pixel sizes,
// sprite rectangles inside their sheets, faces that stay out of neighbouring rectangles, and
// states that can be told apart (also under red-green colour blindness).
#include "assets/content/Canvas.h"
#include "assets/content/Pictures.h"
#include "tests/assets/ReadBack.h"

#include <gtest/gtest.h>

#include <map>

#include <cmath>
#include <filesystem>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class PicturesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir_ = fs::temp_directory_path() / ("quorvane_pictures_" + std::to_string(::getpid()));
        assets::GeneratePictures(dir_);
    }
    static void TearDownTestSuite() { fs::remove_all(dir_); }
    static assets::Canvas Read(const std::string& path) { return assets_test::ReadPicture(dir_ / path); }
    static inline fs::path dir_;
};

double Luminance(assets::Rgba p)
{
    auto lin = [](double c) {
        c /= 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * lin(p.r) + 0.7152 * lin(p.g) + 0.0722 * lin(p.b);
}

// Mean colour of the opaque pixels of a rectangle.
assets::Rgba Mean(const assets::Canvas& c, int x, int y, int w, int h)
{
    double r = 0, g = 0, b = 0, n = 0;
    for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i) {
            const assets::Rgba p = c.At(i, j);
            if (p.a < 200)
                continue;
            r += p.r;
            g += p.g;
            b += p.b;
            ++n;
        }
    if (n == 0)
        return {0, 0, 0, 0};
    return {static_cast<uint8_t>(r / n), static_cast<uint8_t>(g / n), static_cast<uint8_t>(b / n), 255};
}

// Mean per-pixel difference of two equally sized images as a deuteranope sees them.
double DeuteranopeDifference(const assets::Canvas& a, const assets::Canvas& b)
{
    auto see = [](assets::Rgba p) {
        const double rg = 0.29275 * p.r + 0.70725 * p.g;
        return std::array<double, 3>{rg, rg, -0.02234 * p.r + 0.02234 * p.g + p.b};
    };
    double sum = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x) {
            const auto pa = see(a.At(x, y)), pb = see(b.At(x, y));
            sum += (std::fabs(pa[0] - pb[0]) + std::fabs(pa[2] - pb[2])) / 2;
        }
    return sum / (a.Width() * a.Height());
}

TEST_F(PicturesTest, EveryPictureHasItsSizeAndEverySpriteLiesInsideWithAFace)
{
    for (const assets::Picture& p : assets::PictureTable()) {
        SCOPED_TRACE(p.path);
        const assets::Canvas image = Read(p.path);
        EXPECT_EQ(image.Width(), p.width);
        EXPECT_EQ(image.Height(), p.height);
        for (const assets::Sprite& s : p.sprites) {
            SCOPED_TRACE(s.name);
            ASSERT_GE(s.x, 0);
            ASSERT_GE(s.y, 0);
            ASSERT_LE(s.x + s.w, image.Width());
            ASSERT_LE(s.y + s.h, image.Height());
            int opaque = 0;
            for (int y = s.y; y < s.y + s.h; ++y)
                for (int x = s.x; x < s.x + s.w; ++x)
                    opaque += image.At(x, y).a > 200;
            EXPECT_GT(opaque, s.w * s.h / 2) << "the face does not fill its rectangle";
        }
    }
}

TEST_F(PicturesTest, FacesStayOutOfNeighbouringRectangles)
{
    // Several sheets put rectangles of different buttons or states one to four pixels over
    // each other; the shared pixels must be transparent so no state shows a sliver of another.
    for (const assets::Picture& p : assets::PictureTable()) {
        if (p.path == "images/btn_left.png" || p.path == "images/btn_right.png")
            continue; // one picture for all states, cropped two pixels apart on purpose
        const assets::Canvas image = Read(p.path);
        for (const assets::Sprite& a : p.sprites)
            for (const assets::Sprite& b : p.sprites) {
                if (a.x == b.x && a.y == b.y)
                    continue;
                const int x0 = std::max(a.x, b.x), x1 = std::min(a.x + a.w, b.x + b.w);
                const int y0 = std::max(a.y, b.y), y1 = std::min(a.y + a.h, b.y + b.h);
                for (int y = y0; y < y1; ++y)
                    for (int x = x0; x < x1; ++x)
                        ASSERT_EQ(image.At(x, y).a, 0) << p.path << ": " << a.name << " and " << b.name << " share pixel " << x << "," << y;
            }
    }
}

TEST_F(PicturesTest, DialogPicturesAreNamedAfterTheirSize)
{
    for (const assets::Picture& p : assets::PictureTable()) {
        const fs::path path(p.path);
        int w = 0, h = 0;
        if (path.parent_path() == "images/dialog" && std::sscanf(path.stem().c_str(), "%d %d", &w, &h) == 2) {
            const assets::Canvas image = Read(p.path);
            EXPECT_EQ(image.Width(), w) << p.path;
            EXPECT_EQ(image.Height(), h) << p.path;
        }
    }
    // The shade covers both screen sizes and darkens without hiding.
    const assets::Canvas shade = Read("images/dialog/black_under_exit.png");
    EXPECT_GE(shade.Width(), 1280);
    EXPECT_GE(shade.Height(), 800);
    const assets::Rgba p = shade.At(640, 400);
    EXPECT_EQ(p.r + p.g + p.b, 0);
    EXPECT_GT(p.a, 90);
    EXPECT_LT(p.a, 180);
}

TEST_F(PicturesTest, CellStatesCarryWhiteDigitsAndDifferWithoutRedGreen)
{
    const char* names[] = {"images/cell.png", "images/cell_h.png", "images/cell_g.png", "images/cell_r.png"};
    std::vector<assets::Canvas> cells;
    for (const char* n : names) {
        cells.push_back(Read(n));
        const assets::Canvas& c = cells.back();
        EXPECT_EQ(c.Width(), 34) << n;
        EXPECT_EQ(c.Height(), 34) << n;
        // White digits need a contrast of at least 3:1 against the cell.
        const double contrast = 1.05 / (Luminance(Mean(c, 4, 4, 26, 26)) + 0.05);
        EXPECT_GE(contrast, 3.0) << n;
    }
    for (size_t a = 0; a < cells.size(); ++a)
        for (size_t b = a + 1; b < cells.size(); ++b)
            EXPECT_GT(DeuteranopeDifference(cells[a], cells[b]), 12.0) << names[a] << " vs " << names[b];
}

TEST_F(PicturesTest, ButtonStatesDifferInBrightness)
{
    // Normal, hover, pressed and disabled of the generic face are told apart by brightness alone.
    const assets::Canvas sheet = Read("images/btn_def.png");
    const assets::Picture& table = assets::FindPicture("images/btn_def.png");
    std::vector<double> lum;
    for (const assets::Sprite& s : table.sprites)
        lum.push_back(Luminance(Mean(sheet, s.x, s.y, s.w, s.h)));
    for (size_t a = 0; a < lum.size(); ++a)
        for (size_t b = a + 1; b < lum.size(); ++b) {
            const double ratio = (std::max(lum[a], lum[b]) + 0.05) / (std::min(lum[a], lum[b]) + 0.05);
            EXPECT_GT(ratio, 1.25) << table.sprites[a].name << " vs " << table.sprites[b].name;
        }
    // Black captions (normal) and the light grey of pressed both read on their faces.
    EXPECT_GE((Luminance(Mean(sheet, 613, 11, 114, 43)) + 0.05) / 0.05, 3.0);
    EXPECT_GE((Luminance({203, 203, 192}) + 0.05) / (Luminance(Mean(sheet, 613, 63, 114, 43)) + 0.05), 3.0);
}

TEST_F(PicturesTest, HoveredArrowsLightUpAndDisabledFacesAreMuted)
{
    auto contrast = [](double a, double b) { return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05); };
    // The scroll arrows: a hovered arrow is brighter than an idle one, a disabled one has its
    // own face, darker and with its arrow barely set off.
    for (const char* path : {"images/up_down.png", "images/up_down_1.png"}) {
        const assets::Canvas sheet = Read(path);
        std::map<std::string, const assets::Sprite*> faces;
        for (const assets::Sprite& s : assets::FindPicture(path).sprites)
            faces[s.name] = &s;
        for (const char* group : {"up", "down"}) {
            const std::string g = group;
            auto mean = [&](const std::string& state) {
                const assets::Sprite& s = *faces.at(g + "." + state);
                return Luminance(Mean(sheet, s.x, s.y, s.w, s.h));
            };
            EXPECT_GT(mean("hover"), mean("normal") * 1.3) << path << " " << g;
            EXPECT_LT(mean("disabled"), mean("normal")) << path << " " << g;
            const assets::Sprite& d = *faces.at(g + ".disabled");
            const assets::Sprite& h = *faces.at(g + ".hover");
            EXPECT_FALSE(d.x == h.x && d.y == h.y) << path << " " << g << ": disabled looks hovered";
            // Arrow (the middle) against the face (a strip near the edge).
            auto arrowContrast = [&](const assets::Sprite& s) {
                return contrast(Luminance(Mean(sheet, s.x + s.w / 2 - 3, s.y + s.h / 2 - 2, 6, 4)),
                                Luminance(Mean(sheet, s.x + 12, s.y + s.h / 2 - 2, 20, 4)));
            };
            EXPECT_LT(arrowContrast(d), arrowContrast(*faces.at(g + ".normal"))) << path << " " << g;
        }
    }
    // Dialog buttons: the light grey caption of a disabled button stands out less from its face
    // than the black caption of an enabled one.
    const assets::Canvas def = Read("images/btn_def.png");
    const double normal = Luminance(Mean(def, 613, 11, 114, 43));
    const double disabled = Luminance(Mean(def, 613, 170, 114, 43));
    EXPECT_LT(contrast(Luminance({203, 203, 192}), disabled), contrast(0.0, normal));
    EXPECT_GE(contrast(0.0, disabled), 3.0); // the black caption of the selected tab still reads
}

} // namespace
