#pragma once
// The toolkit's font faces (regular and bold), built into the library so the look does not
// depend on the fonts installed on the user's machine.

#include <cairo.h>

namespace VSTGUI {

// Never null; owned by the toolkit for the life of the process.
cairo_font_face_t* toolkitFontFace(bool bold, bool condensed = false);

}  // namespace VSTGUI
