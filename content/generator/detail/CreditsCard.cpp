#include "content/generator/detail/CreditsCard.h"

#include "content/generator/Images.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>

namespace ORV::Content::detail {

namespace {

constexpr Rgb paper = {0.94f, 0.91f, 0.84f};
constexpr Rgb ink = {0.10f, 0.09f, 0.085f};
constexpr const char* package = "fonts-dejavu-core";

struct LibraryDone {
    void operator()(FT_Library library) const { FT_Done_FreeType(library); }
};
struct FaceDone {
    void operator()(FT_Face face) const { FT_Done_Face(face); }
};
using Library = std::unique_ptr<std::remove_pointer_t<FT_Library>, LibraryDone>;
using Face = std::unique_ptr<std::remove_pointer_t<FT_Face>, FaceDone>;

Face openFace(FT_Library library, const std::filesystem::path& file)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error))
        throw std::runtime_error("the credits card needs the font " + file.string()
                                 + ", which is missing (Debian package " + package + "; scripts/setup.sh installs it)");
    FT_Face face = nullptr;
    if (FT_New_Face(library, file.c_str(), 0, &face) != 0)
        throw std::runtime_error("FreeType cannot read the font " + file.string() + " (reinstall " + package + ")");
    return Face(face);
}

void setSize(FT_Face face, int pixels)
{
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixels)) != 0)
        throw std::runtime_error(std::string("FreeType cannot size the font ") + face->family_name);
}

// Walks the glyphs of ASCII text with kerning; visit(glyphSlot, penX) for each.
template <typename Visit> int layOut(FT_Face face, std::string_view text, Visit&& visit)
{
    int pen = 0;
    FT_UInt previous = 0;
    for (const char c : text) {
        const FT_UInt glyph = FT_Get_Char_Index(face, static_cast<unsigned char>(c));
        if (previous && glyph && FT_HAS_KERNING(face)) {
            FT_Vector kerning{};
            FT_Get_Kerning(face, previous, glyph, FT_KERNING_DEFAULT, &kerning);
            pen += static_cast<int>(kerning.x >> 6);
        }
        if (FT_Load_Glyph(face, glyph, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL) != 0)
            throw std::runtime_error(std::string("FreeType cannot render '") + c + "'");
        visit(face->glyph, pen);
        pen += static_cast<int>(face->glyph->advance.x >> 6);
        previous = glyph;
    }
    return pen;
}

int textWidth(FT_Face face, std::string_view text)
{
    return layOut(face, text, [](FT_GlyphSlot, int) {});
}

// Draws text with its origin at (x, baseline); ink over whatever is there.
void drawText(Pixmap& card, FT_Face face, std::string_view text, int x, int baseline)
{
    layOut(face, text, [&](FT_GlyphSlot slot, int pen) {
        const FT_Bitmap& bitmap = slot->bitmap;
        if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) throw std::runtime_error("FreeType gave no grey glyph bitmap");
        const int left = x + pen + slot->bitmap_left, top = baseline - slot->bitmap_top;
        for (unsigned row = 0; row < bitmap.rows; ++row)
            for (unsigned column = 0; column < bitmap.width; ++column) {
                const int px = left + static_cast<int>(column), py = top + static_cast<int>(row);
                if (px < 0 || py < 0 || px >= card.width() || py >= card.height()) continue;
                const float c = bitmap.buffer[static_cast<std::ptrdiff_t>(row) * bitmap.pitch + column] / 255.0f;
                Rgb& p = card.at(px, py);
                p = {p.r * (1 - c) + ink.r * c, p.g * (1 - c) + ink.g * c, p.b * (1 - c) + ink.b * c};
            }
    });
}

// A pen line from (x0, y0) to (x1, y1) with a slight tremor and a swelling
// middle, as drawn with a nib.
void drawInkLine(Pixmap& card, StrokePainter& painter, float x0, float y0, float x1, float y1, float width,
                 std::uint32_t seed)
{
    const float length = std::hypot(x1 - x0, y1 - y0);
    const int count = std::max(2, static_cast<int>(length / 0.4f));
    const float nx = -(y1 - y0) / length, ny = (x1 - x0) / length;
    std::vector<StrokePoint> points;
    for (int i = 0; i < count; ++i) {
        const float t = static_cast<float>(i) / static_cast<float>(count - 1);
        const float tremor = (tileableNoise(t * length / 40.0f, 0, 1 << 20, 1, seed) - 0.5f) * 2.2f;
        const float swell = 0.75f + 0.5f * std::sin(3.14159265f * t);
        points.push_back({x0 + (x1 - x0) * t + nx * tremor, y0 + (y1 - y0) * t + ny * tremor, width * swell, 1.0f});
    }
    painter.draw(card, points, ink, false);
}

void drawFrame(Pixmap& card, StrokePainter& painter, float inset, float width, std::uint32_t seed)
{
    const float w = static_cast<float>(card.width()), h = static_cast<float>(card.height());
    // Each side overshoots the corners a little, as hand-ruled frames do.
    const float over = 6;
    drawInkLine(card, painter, inset - over, inset, w - inset + over, inset, width, seed);
    drawInkLine(card, painter, w - inset, inset - over, w - inset, h - inset + over, width, seed + 1);
    drawInkLine(card, painter, w - inset + over, h - inset, inset - over, h - inset, width, seed + 2);
    drawInkLine(card, painter, inset, h - inset + over, inset, inset - over, width, seed + 3);
}

void drawCentred(Pixmap& card, FT_Face face, std::string_view text, int baseline)
{
    drawText(card, face, text, (card.width() - textWidth(face, text)) / 2, baseline);
}

} // namespace

Pixmap makeCreditsCard(const std::filesystem::path& fontDir)
{
    FT_Library rawLibrary = nullptr;
    if (FT_Init_FreeType(&rawLibrary) != 0) throw std::runtime_error("FreeType could not start");
    const Library library(rawLibrary);
    const Face bold = openFace(library.get(), fontDir / "DejaVuSans-Bold.ttf");
    const Face regular = openFace(library.get(), fontDir / "DejaVuSans.ttf");

    const int w = Images::cardWidth, h = Images::cardHeight;
    // Warm paper with a faint grain and edges a shade darker.
    Pixmap card(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float u = (static_cast<float>(x) + 0.5f) / w - 0.5f, v = (static_cast<float>(y) + 0.5f) / h - 0.5f;
            const float vignette = 1 - 0.18f * (u * u + v * v) * 2;
            const float grain = 0.97f + 0.03f * tileableNoise(x / 3.0f, y / 3.0f, 1 << 16, 1 << 16, 0x9A9E4u);
            const float f = vignette * grain;
            card.at(x, y) = {paper.r * f, paper.g * f, paper.b * f};
        }
    StrokePainter painter(w, h);
    drawFrame(card, painter, 20, 2.4f, 11);
    drawFrame(card, painter, 27, 1.1f, 21);

    // The title as large as fits 400 pixels across.
    int titleSize = 76;
    setSize(bold.get(), titleSize);
    while (textWidth(bold.get(), "Marrowlight") > 400 && titleSize > 24) setSize(bold.get(), --titleSize);
    drawCentred(card, bold.get(), "Marrowlight", 140);
    drawInkLine(card, painter, 120, 178, 392, 176, 2.0f, 31);

    // Roles right-aligned against a middle column, names after it.
    setSize(regular.get(), 24);
    setSize(bold.get(), 24);
    const int column = 200;
    int baseline = 250;
    for (const char* role : {"code", "graphics", "music"}) {
        drawText(card, bold.get(), role, column - 14 - textWidth(bold.get(), role), baseline);
        drawText(card, regular.get(), "the Marrowlight team", column + 14, baseline);
        baseline += 40;
    }
    drawInkLine(card, painter, 206, 362, 306, 361, 1.4f, 41);
    setSize(regular.get(), 19);
    drawCentred(card, regular.get(), "made with SDL2, OpenGL, glslang,", 398);
    drawCentred(card, regular.get(), "SPIRV-Cross, zlib, Vorbis", 426);
    return card;
}

} // namespace ORV::Content::detail
