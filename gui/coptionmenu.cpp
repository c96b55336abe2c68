#include "gui/coptionmenu.h"

#include <cstring>

#include "gui/cframe.h"

namespace VSTGUI {

COptionMenu::COptionMenu(const CRect& r, CControlListener* l, long t, CBitmap* background,
                         CBitmap* bgClick, const long st)
    : CParamDisplay(r, background, st), bgWhenClick(bgClick) {
    setListener(l);
    setTag(t);
    setDefaultValue(0.f);
    if (bgWhenClick) bgWhenClick->remember();
}

COptionMenu::~COptionMenu() {
    removeAllEntry();
    if (bgWhenClick) bgWhenClick->forget();
}

bool COptionMenu::addEntry(const char* txt, long index) {
    long n = getNbEntries();
    if (index < 0) index = n;
    if (index > n) return false;
    Entry e;
    e.text = txt ? txt : "";
    entries.insert(entries.begin() + index, std::move(e));
    setDirty();
    return true;
}

bool COptionMenu::addEntry(COptionMenu* submenu, const char* title) {
    if (!submenu || submenu == this) return false;
    submenu->remember();
    Entry e;
    e.text = title ? title : "";
    e.submenu = submenu;
    entries.push_back(std::move(e));
    return true;
}

bool COptionMenu::setEntry(long index, const char* txt) {
    if (index < 0 || index >= getNbEntries()) return false;
    entries[static_cast<std::size_t>(index)].text = txt ? txt : "";
    setDirty();
    return true;
}

bool COptionMenu::removeEntry(long index) {
    if (index < 0 || index >= getNbEntries()) return false;
    if (COptionMenu* s = entries[static_cast<std::size_t>(index)].submenu) s->forget();
    entries.erase(entries.begin() + index);
    setDirty();
    return true;
}

void COptionMenu::removeAllEntry() {
    for (Entry& e : entries) {
        if (e.submenu) e.submenu->forget();
    }
    entries.clear();
    setDirty();
}

const char* COptionMenu::getEntry(long index) const {
    if (index < 0 || index >= getNbEntries()) return nullptr;
    return entries[static_cast<std::size_t>(index)].text.c_str();
}

bool COptionMenu::getEntry(long index, char* txt) const {
    const char* s = getEntry(index);
    if (!s || !txt) return false;
    std::strcpy(txt, s);
    return true;
}

bool COptionMenu::isSeparator(long index) const {
    const char* s = getEntry(index);
    return s && std::strcmp(s, "-") == 0 && !getSubMenu(index);
}

COptionMenu* COptionMenu::getSubMenu(long index) const {
    if (index < 0 || index >= getNbEntries()) return nullptr;
    return entries[static_cast<std::size_t>(index)].submenu;
}

long COptionMenu::getCurrent() const { return static_cast<long>(getValue()); }

bool COptionMenu::setCurrent(long index) {
    if (index < 0 || index >= getNbEntries()) return false;
    setValue(static_cast<float>(index));
    return true;
}

void COptionMenu::draw(CDrawContext* context) {
    long current = getCurrent();
    const char* text = (getValue() >= 0.f) ? getEntry(current) : nullptr;
    drawText(context, text, open ? bgWhenClick : nullptr);
}

void COptionMenu::mouse(CDrawContext*, CPoint&) {
    if (!bMouseEnabled || !pParent) return;
    CRect r = getFrameRect();
    open = true;
    setDirty();
    pParent->openMenu(this, CPoint(r.left, r.bottom));
}

void COptionMenu::popupClosed() {
    open = false;
    setDirty();
}

void COptionMenu::choose(CDrawContext* context, long index, CControlListener* fallback) {
    setValue(static_cast<float>(index));
    setDirty();
    // A choice is a gesture of its own, told to the listener that hears of the change.
    CControlListener* l = listener ? listener : fallback;
    if (!l) return;
    l->controlBeginEdit(this);
    l->valueChanged(context, this);
    l->controlEndEdit(this);
}

}  // namespace VSTGUI
