#pragma once
// The widget toolkit in one include.

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
