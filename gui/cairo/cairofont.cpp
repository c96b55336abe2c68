#include "gui/cairo/cairofont.h"

#include <mutex>

#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include "gui/embedded_fonts.h"

namespace VSTGUI {

namespace {
struct Faces {
    cairo_font_face_t* regular = nullptr;
    cairo_font_face_t* bold = nullptr;
    cairo_font_face_t* condensed = nullptr;
    cairo_font_face_t* condensedBold = nullptr;
};

cairo_font_face_t* fromMemory(FT_Library lib, EmbeddedFace which) {
    const FontBytes bytes = embeddedFont(which);
    if (bytes.empty()) return nullptr;
    FT_Face face = nullptr;
    if (FT_New_Memory_Face(lib, bytes.begin, static_cast<FT_Long>(bytes.size()), 0, &face) != 0) return nullptr;
    cairo_font_face_t* f = cairo_ft_font_face_create_for_ft_face(face, 0);
    static const cairo_user_data_key_t key{};
    // The FreeType face lives as long as the cairo face.
    cairo_font_face_set_user_data(f, &key, face, [](void* p) { FT_Done_Face(static_cast<FT_Face>(p)); });
    return f;
}

Faces makeFaces() {
    Faces faces;
    FT_Library lib = nullptr;
    if (!embeddedFont(EmbeddedFace::Regular).empty() && FT_Init_FreeType(&lib) == 0) {
        faces.regular = fromMemory(lib, EmbeddedFace::Regular);
        faces.bold = fromMemory(lib, EmbeddedFace::Bold);
        faces.condensed = fromMemory(lib, EmbeddedFace::Condensed);
        faces.condensedBold = fromMemory(lib, EmbeddedFace::CondensedBold);
    }
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
