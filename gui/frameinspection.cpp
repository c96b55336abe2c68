// What a tool or a test can ask of a frame from outside: its picture, its views and menus
// as JSON, synthetic mouse events and the status line.

#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <typeinfo>

#include "gui/cbuttons.h"
#include "gui/cframe.h"
#include "gui/cknob.h"
#include "gui/coptionmenu.h"
#include "gui/cslider.h"
#include "gui/menusession.h"
#include "gui/headlessframe.h"

namespace VSTGUI {

namespace {

// The class's own name without its namespace.
std::string className(const CView& view) {
    const char* mangled = typeid(view).name();
    int status = 0;
    char* demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    std::string name = (status == 0 && demangled) ? demangled : mangled;
    std::free(demangled);
    const std::size_t colon = name.rfind("::");
    return colon == std::string::npos ? name : name.substr(colon + 2);
}

void appendString(std::string& out, const char* s) {
    out += '"';
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(s ? s : ""); *p; ++p) {
        if (*p == '"' || *p == '\\') {
            out += '\\';
            out += static_cast<char>(*p);
        } else if (*p < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", *p);
            out += esc;
        } else {
            out += static_cast<char>(*p);
        }
    }
    out += '"';
}

void appendNumber(std::string& out, double v) {
    char n[32];
    std::snprintf(n, sizeof n, "%.9g", v);
    // The shortest text that reads back as the same single-precision value.
    for (int digits = 1; digits <= 9; ++digits) {
        char t[32];
        std::snprintf(t, sizeof t, "%.*g", digits, v);
        if (static_cast<float>(std::strtod(t, nullptr)) == static_cast<float>(v)) {
            std::strcpy(n, t);
            break;
        }
    }
    out += n;
}

void appendBitmap(std::string& out, const char* key, const CBitmap* b) {
    if (!b || b->getResourceID() <= 0) return;
    out += ",\"";
    out += key;
    out += "\":";
    out += std::to_string(b->getResourceID());
}

void appendMenu(std::string& out, bool& first, const COptionMenu& menu, const char* title) {
    if (!first) out += ',';
    first = false;
    out += "{\"tag\":" + std::to_string(menu.getTag());
    if (title) {
        out += ",\"title\":";
        appendString(out, title);
    }
    out += ",\"entries\":[";
    for (long i = 0; i < menu.getNbEntries(); ++i) {
        if (i) out += ',';
        appendString(out, menu.getEntry(i));
    }
    out += "],\"value\":";
    appendNumber(out, menu.getValue());
    out += '}';
    for (long i = 0; i < menu.getNbEntries(); ++i) {
        if (const COptionMenu* sub = menu.getSubMenu(i)) appendMenu(out, first, *sub, menu.getEntry(i));
    }
}

}  // namespace

std::unique_ptr<DrawSurface> CFrame::composePicture() {
    auto out = drawBackend().createSurface(screen->width(), screen->height(), kBlackCColor, screen->scale());
    screen->copyTo(*out, CRect(0, 0, screen->width(), screen->height()), CPoint(0, 0));
    if (menus) {
        for (long i = 0; i < menus->levelCount(); ++i) {
            DrawSurface* s = menus->levelSurface(i);
            CRect r = menus->levelRect(i);
            if (s) s->copyTo(*out, CRect(0, 0, r.width(), r.height()), CPoint(r.left, r.top));
        }
    }
    return out;
}

bool CFrame::writeSnapshot(const char* path) { return path && composePicture()->writePng(path); }

std::uint32_t HeadlessFrame::snapshotPixel(long x, long y) { return composePicture()->pixel(x, y); }

std::string CFrame::layoutJson() {
    std::string out = "{\"size\":[" + std::to_string(size.width()) + "," + std::to_string(size.height()) + "],\"views\":[";
    bool first = true;
    std::vector<const COptionMenu*> menuViews;
    forEachView([&](CView* v) {
        if (!first) out += ',';
        first = false;
        out += "{\"class\":";
        appendString(out, className(*v).c_str());
        const auto* control = dynamic_cast<const CControl*>(v);
        if (control) out += ",\"tag\":" + std::to_string(control->getTag());
        const CRect r = v->getFrameRect();
        out += ",\"rect\":[" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
               "," + std::to_string(r.bottom) + "]";
        if (const auto* slider = dynamic_cast<const CSlider*>(v)) appendBitmap(out, "bitmap", slider->getHandle());
        if (const auto* knob = dynamic_cast<const CKnob*>(v)) appendBitmap(out, "bitmap", knob->getHandleBitmap());
        appendBitmap(out, "background", v->getBackground());
        if (control) {
            out += ",\"value\":";
            appendNumber(out, control->getValue());
            out += ",\"default\":";
            appendNumber(out, control->getDefaultValue());
        }
        out += v->getTransparency() ? ",\"transparent\":true" : ",\"transparent\":false";
        if (v == statusView && statusDescriber) {
            char text[256];
            CColor c;
            if (statusDescriber(v, text, sizeof text, c)) {
                out += ",\"text\":";
                appendString(out, text);
            }
        }
        out += '}';
        if (const auto* menu = dynamic_cast<const COptionMenu*>(v)) menuViews.push_back(menu);
    });
    out += "],\"menus\":[";
    first = true;
    for (const COptionMenu* m : menuViews) appendMenu(out, first, *m, nullptr);
    out += "]}\n";
    return out;
}

bool CFrame::writeLayout(const char* path) {
    if (!path) return false;
    FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    const std::string json = layoutJson();
    const bool written = std::fwrite(json.data(), 1, json.size(), f) == json.size();
    return std::fclose(f) == 0 && written;
}

bool CFrame::describeStatus(char* text, std::size_t capacity, std::uint8_t* rgb) {
    if (!statusView || !statusDescriber || !text || capacity == 0) return false;
    CColor c;
    if (!statusDescriber(statusView, text, capacity, c)) return false;
    if (rgb) {
        rgb[0] = c.red;
        rgb[1] = c.green;
        rgb[2] = c.blue;
    }
    return true;
}

}  // namespace VSTGUI
