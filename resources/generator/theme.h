#pragma once
// The colours and type sizes of the panel: one dark theme shared by every bitmap.

#include "canvas.h"

namespace artwork::theme {

constexpr Colour kBackground{27, 29, 34};
constexpr Colour kPlate{37, 40, 47};
constexpr Colour kPlateEdge{55, 59, 68};
constexpr Colour kPlateShadow{18, 19, 23};
constexpr Colour kWell{13, 14, 17};       // recessed areas: scopes, tracks, label
constexpr Colour kWellEdge{66, 71, 81};
constexpr Colour kCaption{178, 184, 194};
constexpr Colour kDimText{112, 118, 130};
constexpr Colour kTitle{214, 118, 70};     // section titles, warm accent
constexpr Colour kAccent{222, 132, 58};    // lit buttons, current program, playing unit
constexpr Colour kRecord{200, 58, 50};     // the two record buttons when on
constexpr Colour kHover{96, 168, 214};     // fader handle under the mouse
constexpr Colour kButton{62, 67, 77};
constexpr Colour kButtonHover{84, 91, 104};
constexpr Colour kButtonEdge{20, 21, 25};
constexpr Colour kButtonText{212, 216, 224};
constexpr Colour kLitText{34, 22, 14};
constexpr Colour kGroupA{31, 34, 40};      // fader lanes, alternating per group of four units
constexpr Colour kGroupB{38, 41, 49};
constexpr Colour kGroove{9, 10, 12};
constexpr Colour kTick{74, 79, 90};
constexpr Colour kGridMajor{88, 95, 108};
constexpr Colour kGridMinor{55, 60, 70};

constexpr double kCaptionSize = 9;
constexpr double kTitleSize = 9;

} // namespace artwork::theme
