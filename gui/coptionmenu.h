#pragma once
// An option menu: shows its current entry and opens a pop-up on click. Entries keep their
// index; "-" is a separator. An entry may open a submenu, which reports choices with its own
// tag. The value is the index of the chosen entry.

#include <string>
#include <vector>

#include "gui/cparamdisplay.h"

namespace VSTGUI {

class COptionMenu : public CParamDisplay {
public:
    COptionMenu(const CRect& size, CControlListener* listener, long tag, CBitmap* background = nullptr,
                CBitmap* bgWhenClick = nullptr, const long style = 0);
    ~COptionMenu() override;

    // Adds a text entry at index (-1: at the end); false if the index is out of range.
    bool addEntry(const char* txt, long index = -1);
    // Adds an entry that opens submenu; the menu holds its own reference to it.
    bool addEntry(COptionMenu* submenu, const char* title);
    bool setEntry(long index, const char* txt);
    bool removeEntry(long index);
    void removeAllEntry();
    long getNbEntries() const { return static_cast<long>(entries.size()); }
    // Text of entry index, or null.
    const char* getEntry(long index) const;
    bool getEntry(long index, char* txt) const;
    bool isSeparator(long index) const;
    COptionMenu* getSubMenu(long index) const;
    long getCurrent() const;
    bool setCurrent(long index);

    void draw(CDrawContext* context) override;
    void mouse(CDrawContext* context, CPoint& where) override;
    // The wheel chooses nothing.
    bool onWheel(CDrawContext*, const CPoint&, float) override { return false; }

    // Called by the pop-up when it closes; chosen is the entry index or -1.
    void popupClosed();
    // The user chose entry index of this menu: sets the value and tells the listener
    // (this menu's, or fallback's when it has none).
    void choose(CDrawContext* context, long index, CControlListener* fallback);

private:
    struct Entry {
        std::string text;
        COptionMenu* submenu = nullptr;
    };
    std::vector<Entry> entries;
    CBitmap* bgWhenClick = nullptr;
    bool open = false;
};

}  // namespace VSTGUI
