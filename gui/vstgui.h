#pragma once
// The widget toolkit in one include. The toolkit follows the class names and calls of
// the older VSTGUI (CFrame, CControl, CDrawContext, CControlListener, ...), which the
// editor was written against, not the API of today's VSTGUI: expect the older names and
// signatures here, and do not port code from the current VSTGUI documentation as is.

#include "gui/cbitmap.h"
#include "gui/cbuttons.h"
#include "gui/ccontrol.h"
#include "gui/cdrawcontext.h"
#include "gui/cfileselector.h"
#include "gui/cframe.h"
#include "gui/cknob.h"
#include "gui/coptionmenu.h"
#include "gui/cparamdisplay.h"
#include "gui/cslider.h"
#include "gui/csplashscreen.h"
#include "gui/cview.h"
#include "gui/cvumeter.h"
#include "gui/platformframe.h"
