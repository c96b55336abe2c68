#include "gui/embedded_fonts.h"

#if GW_EMBEDDED_FONT
// The font files, included by the assembler at build time: one block for every target
// (an ELF .rodata section with hidden symbols, or a COFF read-only data section with the
// target's symbol prefix).
#define GW_STR2(x) #x
#define GW_STR(x) GW_STR2(x)
#define GW_SYM(name) GW_STR(__USER_LABEL_PREFIX__) #name
#if defined(_WIN32)
#define GW_FONT_SECTION ".section .rdata,\"dr\"\n"
#define GW_FONT_VISIBILITY(name) ".global " GW_SYM(name) "\n"
#define GW_FONT_END_SECTION ".text\n"
#else
#define GW_FONT_SECTION ".section .rodata\n"
#define GW_FONT_VISIBILITY(name) ".hidden " GW_SYM(name) "\n.global " GW_SYM(name) "\n"
#define GW_FONT_END_SECTION ".previous\n"
#endif
#define GW_FONT_BLOCK(name, file)                                \
    ".balign 16\n" GW_FONT_VISIBILITY(name) GW_SYM(name) ":\n"    \
    ".incbin \"" GW_STR(file) "\"\n"                              \
    GW_FONT_VISIBILITY(name##_end) GW_SYM(name##_end) ":\n"

asm(GW_FONT_SECTION
    GW_FONT_BLOCK(gw_font_regular, GW_FONT_REGULAR)
    GW_FONT_BLOCK(gw_font_bold, GW_FONT_BOLD)
    GW_FONT_BLOCK(gw_font_condensed, GW_FONT_CONDENSED)
    GW_FONT_BLOCK(gw_font_condensed_bold, GW_FONT_CONDENSED_BOLD)
    GW_FONT_END_SECTION);

extern "C" const unsigned char gw_font_regular[];
extern "C" const unsigned char gw_font_regular_end[];
extern "C" const unsigned char gw_font_bold[];
extern "C" const unsigned char gw_font_bold_end[];
extern "C" const unsigned char gw_font_condensed[];
extern "C" const unsigned char gw_font_condensed_end[];
extern "C" const unsigned char gw_font_condensed_bold[];
extern "C" const unsigned char gw_font_condensed_bold_end[];
#endif
#if !defined(GW_HAVE_CONDENSED)
#define GW_HAVE_CONDENSED 0
#endif

namespace VSTGUI {

FontBytes embeddedFont(EmbeddedFace face) {
#if GW_EMBEDDED_FONT
    switch (face) {
    case EmbeddedFace::Regular: return {gw_font_regular, gw_font_regular_end};
    case EmbeddedFace::Bold: return {gw_font_bold, gw_font_bold_end};
    case EmbeddedFace::Condensed: return {gw_font_condensed, gw_font_condensed_end};
    case EmbeddedFace::CondensedBold: return {gw_font_condensed_bold, gw_font_condensed_bold_end};
    }
#endif
    (void)face;
    return {};
}

bool hasCondensedFaces() { return GW_HAVE_CONDENSED != 0; }

}  // namespace VSTGUI
