#include "gui/cairo/cairofont.h"

#include <mutex>

#if GW_EMBEDDED_FONT
#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H

// The DejaVu Sans and DejaVu Sans Condensed faces (free licence, see the font's LICENSE), included at build time.
#define GW_STR2(x) #x
#define GW_STR(x) GW_STR2(x)
asm(".section .rodata\n"
    ".balign 16\n"
    ".hidden gw_font_regular\n.global gw_font_regular\ngw_font_regular:\n"
    ".incbin \"" GW_STR(GW_FONT_REGULAR) "\"\n"
    ".hidden gw_font_regular_end\n.global gw_font_regular_end\ngw_font_regular_end:\n"
    ".balign 16\n"
    ".hidden gw_font_bold\n.global gw_font_bold\ngw_font_bold:\n"
    ".incbin \"" GW_STR(GW_FONT_BOLD) "\"\n"
    ".hidden gw_font_bold_end\n.global gw_font_bold_end\ngw_font_bold_end:\n"
    ".balign 16\n"
    ".hidden gw_font_condensed\n.global gw_font_condensed\ngw_font_condensed:\n"
    ".incbin \"" GW_STR(GW_FONT_CONDENSED) "\"\n"
    ".hidden gw_font_condensed_end\n.global gw_font_condensed_end\ngw_font_condensed_end:\n"
    ".balign 16\n"
    ".hidden gw_font_condensed_bold\n.global gw_font_condensed_bold\ngw_font_condensed_bold:\n"
    ".incbin \"" GW_STR(GW_FONT_CONDENSED_BOLD) "\"\n"
    ".hidden gw_font_condensed_bold_end\n.global gw_font_condensed_bold_end\ngw_font_condensed_bold_end:\n"
    ".previous\n");
extern "C" const unsigned char gw_font_regular[];
extern "C" const unsigned char gw_font_regular_end[];
extern "C" const unsigned char gw_font_bold[];
extern "C" const unsigned char gw_font_bold_end[];
extern "C" const unsigned char gw_font_condensed[];
extern "C" const unsigned char gw_font_condensed_end[];
extern "C" const unsigned char gw_font_condensed_bold[];
extern "C" const unsigned char gw_font_condensed_bold_end[];
#endif

namespace VSTGUI {

namespace {
struct Faces {
    cairo_font_face_t* regular = nullptr;
    cairo_font_face_t* bold = nullptr;
    cairo_font_face_t* condensed = nullptr;
    cairo_font_face_t* condensedBold = nullptr;
};

#if GW_EMBEDDED_FONT
cairo_font_face_t* fromMemory(FT_Library lib, const unsigned char* begin, const unsigned char* end) {
    FT_Face face = nullptr;
    if (FT_New_Memory_Face(lib, begin, static_cast<FT_Long>(end - begin), 0, &face) != 0) return nullptr;
    cairo_font_face_t* f = cairo_ft_font_face_create_for_ft_face(face, 0);
    static const cairo_user_data_key_t key{};
    // The FreeType face lives as long as the cairo face.
    cairo_font_face_set_user_data(f, &key, face, [](void* p) { FT_Done_Face(static_cast<FT_Face>(p)); });
    return f;
}
#endif

Faces makeFaces() {
    Faces faces;
#if GW_EMBEDDED_FONT
    FT_Library lib = nullptr;
    if (FT_Init_FreeType(&lib) == 0) {
        faces.regular = fromMemory(lib, gw_font_regular, gw_font_regular_end);
        faces.bold = fromMemory(lib, gw_font_bold, gw_font_bold_end);
        faces.condensed = fromMemory(lib, gw_font_condensed, gw_font_condensed_end);
        faces.condensedBold = fromMemory(lib, gw_font_condensed_bold, gw_font_condensed_bold_end);
    }
#endif
    if (!faces.regular) {
        faces.regular = cairo_toy_font_face_create("DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    }
    if (!faces.bold) {
        faces.bold = cairo_toy_font_face_create("DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    }
    if (!faces.condensed) {
        faces.condensed = cairo_toy_font_face_create("DejaVu Sans Condensed", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    }
    if (!faces.condensedBold) {
        faces.condensedBold = cairo_toy_font_face_create("DejaVu Sans Condensed", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    }
    return faces;
}
}  // namespace

cairo_font_face_t* toolkitFontFace(bool bold, bool condensed) {
    static Faces faces = makeFaces();
    if (condensed) return bold ? faces.condensedBold : faces.condensed;
    return bold ? faces.bold : faces.regular;
}

}  // namespace VSTGUI
