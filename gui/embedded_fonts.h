#pragma once
// The DejaVu Sans and DejaVu Sans Condensed faces (free licence, see the font's LICENSE),
// built into the toolkit when the build found them (GW_EMBEDDED_FONT; gui/CMakeLists.txt).
// The drawing back ends load them from memory.

namespace VSTGUI {

struct FontBytes {
    const unsigned char* begin = nullptr;
    const unsigned char* end = nullptr;
    bool empty() const { return begin == end; }
    unsigned long size() const { return static_cast<unsigned long>(end - begin); }
};

enum class EmbeddedFace { Regular, Bold, Condensed, CondensedBold };

// The bytes of one face; empty when the build embedded none. Without the condensed files
// the condensed faces are the regular ones (hasCondensedFaces() tells).
FontBytes embeddedFont(EmbeddedFace face);
bool hasCondensedFaces();

}  // namespace VSTGUI
