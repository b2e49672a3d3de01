// fontconfig lookup and FreeType rendering of installed faces.
#include "assets/content/Face.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <mutex>
#include <stdexcept>

namespace assets {

namespace {

FT_Library Library()
{
    static FT_Library library = nullptr;
    static std::once_flag once;
    std::call_once(once, [] {
        if (FT_Init_FreeType(&library) != 0)
            throw std::runtime_error("FreeType cannot be initialised");
    });
    return library;
}

std::string FindFontFile(const std::string& family, const std::string& style)
{
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (!config)
        throw std::runtime_error("fontconfig cannot be initialised");
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddString(pattern, FC_STYLE, reinterpret_cast<const FcChar8*>(style.c_str()));
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    std::string path;
    if (match) {
        FcChar8* file = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file)
            path = reinterpret_cast<const char*>(file);
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    FcConfigDestroy(config);
    if (path.empty())
        throw std::runtime_error("no installed font matches " + family + " " + style +
                                 " (install fonts-liberation2 or fonts-dejavu-core)");
    return path;
}

} // namespace

struct Face::Impl {
    FT_Face face = nullptr;
    int capHeight = -1;
};

Face::Face(const std::string& family, const std::string& style, int pixelSize)
    : impl_(std::make_unique<Impl>()), path_(FindFontFile(family, style)), pixelSize_(pixelSize)
{
    if (FT_New_Face(Library(), path_.c_str(), 0, &impl_->face) != 0)
        throw std::runtime_error("FreeType cannot open " + path_);
    if (FT_Set_Pixel_Sizes(impl_->face, 0, static_cast<FT_UInt>(pixelSize)) != 0) {
        FT_Done_Face(impl_->face);
        throw std::runtime_error("FreeType cannot size " + path_);
    }
}

Face::~Face()
{
    FT_Done_Face(impl_->face);
}

int Face::Ascent() const
{
    return static_cast<int>((impl_->face->size->metrics.ascender + 63) >> 6);
}

int Face::Descent() const
{
    return static_cast<int>((-impl_->face->size->metrics.descender + 63) >> 6);
}

int Face::CapHeight()
{
    if (impl_->capHeight < 0)
        impl_->capHeight = Render('H').top;
    return impl_->capHeight;
}

GlyphBitmap Face::Render(unsigned char c)
{
    GlyphBitmap glyph;
    if (FT_Load_Char(impl_->face, c, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL) != 0)
        return glyph;
    FT_GlyphSlot slot = impl_->face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    glyph.width = static_cast<int>(bitmap.width);
    glyph.height = static_cast<int>(bitmap.rows);
    glyph.left = slot->bitmap_left;
    glyph.top = slot->bitmap_top;
    glyph.advance = static_cast<int>((slot->advance.x + 32) >> 6);
    glyph.coverage.resize(static_cast<size_t>(glyph.width) * glyph.height);
    for (int y = 0; y < glyph.height; ++y)
        for (int x = 0; x < glyph.width; ++x)
            glyph.coverage[static_cast<size_t>(y) * glyph.width + x] = bitmap.buffer[y * bitmap.pitch + x];
    return glyph;
}

bool Face::HasKerning() const
{
    return FT_HAS_KERNING(impl_->face);
}

int Face::Kerning(unsigned char left, unsigned char right) const
{
    if (!HasKerning())
        return 0;
    FT_UInt a = FT_Get_Char_Index(impl_->face, left);
    FT_UInt b = FT_Get_Char_Index(impl_->face, right);
    FT_Vector delta{};
    if (FT_Get_Kerning(impl_->face, a, b, FT_KERNING_DEFAULT, &delta) != 0)
        return 0;
    return static_cast<int>(delta.x >= 0 ? (delta.x + 32) >> 6 : -((-delta.x + 32) >> 6));
}

int Face::Measure(std::string_view text)
{
    int width = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        width += Render(static_cast<unsigned char>(text[i])).advance;
        if (i + 1 < text.size())
            width += Kerning(static_cast<unsigned char>(text[i]), static_cast<unsigned char>(text[i + 1]));
    }
    return width;
}

} // namespace assets
