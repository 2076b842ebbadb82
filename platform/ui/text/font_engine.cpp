#include "font_engine.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace platform::ui::text {
namespace {

constexpr const char* kRegularFiles[] = {
    "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
};
constexpr const char* kBoldFiles[] = {
    "/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
};

// One size of one weight: the faces in fallback order and the glyphs rendered so far.
struct Instance {
    std::vector<FT_Face> faces;
    Metrics metrics;
    std::unordered_map<char32_t, Glyph> glyphs;
};

class Engine {
public:
    static Engine& Get() {
        static Engine engine;
        return engine;
    }

    const Metrics& MetricsOf(const FontSpec& font) {
        std::lock_guard lock(mutex_);
        return InstanceOf(font).metrics;
    }

    const Glyph& GlyphOf(const FontSpec& font, char32_t codePoint) {
        std::lock_guard lock(mutex_);
        return GlyphLocked(InstanceOf(font), codePoint);
    }

private:
    Engine() {
        if (FT_Init_FreeType(&library_) != 0) library_ = nullptr;
    }
    ~Engine() {
        for (auto& [font, instance] : instances_)
            for (FT_Face face : instance.faces) FT_Done_Face(face);
        if (library_) FT_Done_FreeType(library_);
    }

    Instance& InstanceOf(const FontSpec& font) {
        auto found = instances_.find(font);
        if (found != instances_.end()) return found->second;
        Instance& instance = instances_[font];
        if (library_) OpenFaces(instance, font);
        instance.metrics = Measure(instance, font);
        return instance;
    }

    void OpenFaces(Instance& instance, const FontSpec& font) {
        const auto& files = font.weight == Weight::Bold ? kBoldFiles : kRegularFiles;
        for (const char* file : files) {
            FT_Face face = nullptr;
            if (FT_New_Face(library_, file, 0, &face) != 0) continue;
            if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(font.em)) != 0) {
                FT_Done_Face(face);
                continue;
            }
            instance.faces.push_back(face);
        }
    }

    Metrics Measure(Instance& instance, const FontSpec& font) {
        Metrics m;
        if (instance.faces.empty()) {
            // No font file at all: keep layout working with plausible metrics and no ink.
            m.ascent = font.em * 9 / 10 + 1;
            m.descent = font.em / 5 + 1;
        } else {
            const FT_Size_Metrics& size = instance.faces.front()->size->metrics;
            m.ascent = static_cast<int>((size.ascender + 63) >> 6);
            m.descent = static_cast<int>((-size.descender + 63) >> 6);
        }
        m.height = m.ascent + m.descent;
        int total = 0;
        for (char32_t c = U'A'; c <= U'Z'; ++c) total += GlyphLocked(instance, c).advance;
        for (char32_t c = U'a'; c <= U'z'; ++c) total += GlyphLocked(instance, c).advance;
        m.averageWidth = (total / 26 + 1) / 2;
        for (auto& [c, glyph] : instance.glyphs) m.maxWidth = std::max(m.maxWidth, glyph.advance);
        return m;
    }

    const Glyph& GlyphLocked(Instance& instance, char32_t codePoint) {
        auto found = instance.glyphs.find(codePoint);
        if (found != instance.glyphs.end()) return found->second;
        return instance.glyphs.emplace(codePoint, Render(instance, codePoint)).first->second;
    }

    static Glyph Render(Instance& instance, char32_t codePoint) {
        Glyph glyph;
        if (instance.faces.empty()) {
            glyph.advance = (instance.metrics.ascent + 1) / 2;
            return glyph;
        }
        FT_Face face = instance.faces.front();
        FT_UInt index = 0;
        for (FT_Face candidate : instance.faces) {
            index = FT_Get_Char_Index(candidate, codePoint);
            if (index != 0) {
                face = candidate;
                break;
            }
        }
        if (FT_Load_Glyph(face, index, FT_LOAD_TARGET_MONO) != 0) return glyph;
        if (FT_Render_Glyph(face->glyph, FT_RENDER_MODE_MONO) != 0) return glyph;
        const FT_GlyphSlot slot = face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        glyph.left = slot->bitmap_left;
        glyph.top = slot->bitmap_top;
        glyph.width = static_cast<int>(bitmap.width);
        glyph.rows = static_cast<int>(bitmap.rows);
        glyph.advance = static_cast<int>((slot->advance.x + 32) >> 6);
        glyph.ink.resize(static_cast<size_t>(glyph.width) * glyph.rows);
        for (int y = 0; y < glyph.rows; ++y) {
            const unsigned char* row = bitmap.buffer + static_cast<ptrdiff_t>(y) * bitmap.pitch;
            for (int x = 0; x < glyph.width; ++x)
                glyph.ink[static_cast<size_t>(y) * glyph.width + x] = (row[x >> 3] >> (7 - (x & 7))) & 1;
        }
        return glyph;
    }

    std::mutex mutex_;
    FT_Library library_ = nullptr;
    std::map<FontSpec, Instance> instances_;
};

}  // namespace

const Metrics& MetricsOf(const FontSpec& font) { return Engine::Get().MetricsOf(font); }

const Glyph& GlyphOf(const FontSpec& font, char32_t codePoint) {
    return Engine::Get().GlyphOf(font, codePoint);
}

char32_t NextCodePoint(std::u16string_view text, size_t& index) {
    const char16_t unit = text[index++];
    if (unit < 0xD800 || unit > 0xDFFF) return unit;
    if (unit <= 0xDBFF && index < text.size() && text[index] >= 0xDC00 && text[index] <= 0xDFFF) {
        const char16_t low = text[index++];
        return 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (low - 0xDC00);
    }
    return 0xFFFD;
}

int TextWidth(const FontSpec& font, std::u16string_view text) {
    int width = 0;
    for (size_t i = 0; i < text.size();) width += GlyphOf(font, NextCodePoint(text, i)).advance;
    return width;
}

}  // namespace platform::ui::text
