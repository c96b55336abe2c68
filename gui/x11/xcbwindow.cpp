#include "gui/x11/xcbwindow.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "gui/cframe.h"
#include "platform/dialog_owner.h"

namespace VSTGUI {

namespace {

long modifiersOf(std::uint16_t state) {
    long m = 0;
    if (state & XCB_MOD_MASK_SHIFT) m |= kShift;
    if (state & XCB_MOD_MASK_CONTROL) m |= kControl;
    if (state & XCB_MOD_MASK_1) m |= kAlt;
    if (state & XCB_BUTTON_MASK_1) m |= kLButton;
    if (state & XCB_BUTTON_MASK_2) m |= kMButton;
    if (state & XCB_BUTTON_MASK_3) m |= kRButton;
    return m;
}

long buttonBit(xcb_button_t b) {
    switch (b) {
        case 1: return kLButton;
        case 2: return kMButton;
        case 3: return kRButton;
        default: return 0;
    }
}

}  // namespace

// One pop-up: an override-redirect window on the root at the menu's place.
class XcbPopup : public PopupWindow {
public:
    XcbPopup(XcbWindow& o, xcb_connection_t* c, xcb_screen_t* s, const CRect& frameRect, CPoint rootPos)
        : owner(o), conn(c), rect(frameRect), depth(s->root_depth) {
        window = xcb_generate_id(conn);
        std::uint32_t values[3] = {s->black_pixel, 1,
                                   XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_BUTTON_PRESS |
                                       XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_POINTER_MOTION};
        xcb_create_window(conn, XCB_COPY_FROM_PARENT, window, s->root, static_cast<std::int16_t>(rootPos.h),
                          static_cast<std::int16_t>(rootPos.v), static_cast<std::uint16_t>(rect.width()),
                          static_cast<std::uint16_t>(rect.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          s->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
        xcb_map_window(conn, window);
    }
    ~XcbPopup() override {
        xcb_destroy_window(conn, window);
        owner.popupGone(this);
    }
    void present(DrawSurface& content, const CRect& part) override {
        last = &content;
        const CRect px = pixelRect(part, content.scale());
        owner.upload(window, depth, content, px, px.left, px.top);
        xcb_flush(conn);
    }
    void expose() {
        if (last) owner.upload(window, depth, *last, CRect(0, 0, rect.width(), rect.height()), 0, 0);
    }

    XcbWindow& owner;
    xcb_connection_t* conn;
    xcb_window_t window = 0;
    CRect rect;
    std::uint8_t depth;
    DrawSurface* last = nullptr;
};

std::unique_ptr<XcbWindow> XcbWindow::create(std::uint32_t parent, const CRect& units, double scale) {
    const CRect size = pixelRect(units, scale);
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
    if (!c || xcb_connection_has_error(c)) {
        if (c) xcb_disconnect(c);
        return nullptr;
    }
    std::unique_ptr<XcbWindow> w(new XcbWindow());
    w->conn = c;
    w->size = size;
    w->scale = scale;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && it.rem; ++i) xcb_screen_next(&it);
    w->screen = it.data;
    if (!w->screen) return nullptr;
    xcb_window_t parentWindow = parent ? parent : w->screen->root;

    // The child takes the parent's depth and visual; the parent must exist.
    xcb_get_geometry_reply_t* geo = xcb_get_geometry_reply(c, xcb_get_geometry(c, parentWindow), nullptr);
    if (!geo) return nullptr;
    w->depth = geo->depth;
    std::free(geo);

    w->maxRequestBytes = xcb_get_maximum_request_length(c) * 4;
    w->window = xcb_generate_id(c);
    std::uint32_t mask = XCB_CW_BACK_PIXMAP | XCB_CW_EVENT_MASK;
    std::uint32_t values[2] = {XCB_BACK_PIXMAP_NONE,
                               XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
                                   XCB_EVENT_MASK_POINTER_MOTION | XCB_EVENT_MASK_KEY_PRESS |
                                   XCB_EVENT_MASK_KEY_RELEASE | XCB_EVENT_MASK_FOCUS_CHANGE |
                                   XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_void_cookie_t made = xcb_create_window_checked(
        c, XCB_COPY_FROM_PARENT, w->window, parentWindow, 0, 0, static_cast<std::uint16_t>(size.width()),
        static_cast<std::uint16_t>(size.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, mask,
        values);
    if (xcb_generic_error_t* e = xcb_request_check(c, made)) {
        std::free(e);
        w->window = 0;
        return nullptr;
    }
    w->gc = xcb_generate_id(c);
    std::uint32_t gcValues[1] = {0};
    xcb_create_gc(c, w->gc, w->window, XCB_GC_GRAPHICS_EXPOSURES, gcValues);

    w->aXdndAware = w->atom("XdndAware");
    w->aEnter = w->atom("XdndEnter");
    w->aPosition = w->atom("XdndPosition");
    w->aStatus = w->atom("XdndStatus");
    w->aDrop = w->atom("XdndDrop");
    w->aFinished = w->atom("XdndFinished");
    w->aLeave = w->atom("XdndLeave");
    w->aSelection = w->atom("XdndSelection");
    w->aActionCopy = w->atom("XdndActionCopy");
    w->aUriList = w->atom("text/uri-list");
    w->aProperty = w->atom("GW_XDND_DATA");
    w->aWmState = w->atom("WM_STATE");
    std::uint32_t version = 5;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w->window, w->aXdndAware, XCB_ATOM_ATOM, 32, 1, &version);

    xcb_map_window(c, w->window);
    xcb_flush(c);
    w->claimDialogs();
    return w;
}

XcbWindow::~XcbWindow() {
    if (dialogOwner) platform::releaseDialogOwner(dialogOwner);
    if (!conn) return;
    if (grabbed) popupsClosed();
    if (gc) xcb_free_gc(conn, gc);
    if (window) xcb_destroy_window(conn, window);
    // Make sure the server has processed everything before the connection goes.
    std::free(xcb_get_input_focus_reply(conn, xcb_get_input_focus(conn), nullptr));
    xcb_disconnect(conn);
}

xcb_atom_t XcbWindow::atom(const char* name) {
    xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(
        conn, xcb_intern_atom(conn, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    xcb_atom_t a = r ? r->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(r);
    return a;
}

xcb_window_t XcbWindow::topLevelWindow() {
    xcb_window_t managed = 0;
    xcb_window_t w = window;
    // Deep enough for any host's nesting; a broken tree ends the walk.
    for (int level = 0; level < 64 && w != XCB_NONE; ++level) {
        xcb_query_tree_reply_t* tree = xcb_query_tree_reply(conn, xcb_query_tree(conn, w), nullptr);
        if (!tree) break;
        const xcb_window_t parent = tree->parent;
        const xcb_window_t root = tree->root;
        std::free(tree);
        if (w != window && aWmState != XCB_ATOM_NONE) {
            xcb_get_property_reply_t* state = xcb_get_property_reply(
                conn, xcb_get_property(conn, 0, w, aWmState, XCB_GET_PROPERTY_TYPE_ANY, 0, 0), nullptr);
            if (state && state->type != XCB_ATOM_NONE) managed = w;
            std::free(state);
        }
        if (parent == root || parent == XCB_NONE) return managed ? managed : w;
        w = parent;
    }
    return managed;
}

void XcbWindow::claimDialogs() {
    const xcb_window_t top = topLevelWindow();
    if (top == 0) return;
    if (dialogOwner && dialogOwner != top) platform::releaseDialogOwner(dialogOwner);
    dialogOwner = top;
    platform::setDialogOwner(top);
}

std::uint32_t XcbWindow::cardinal(xcb_window_t w, xcb_atom_t property, bool& present) {
    present = false;
    xcb_get_property_reply_t* r =
        xcb_get_property_reply(conn, xcb_get_property(conn, 0, w, property, XCB_ATOM_CARDINAL, 0, 1), nullptr);
    std::uint32_t value = 0;
    if (r && r->format == 32 && xcb_get_property_value_length(r) >= 4) {
        std::memcpy(&value, xcb_get_property_value(r), 4);
        present = true;
    }
    std::free(r);
    return value;
}

std::vector<xcb_window_t> XcbWindow::windowsOfProcess(std::uint32_t processId) {
    if (aNetWmPid == XCB_ATOM_NONE) {
        aNetWmPid = atom("_NET_WM_PID");
        aNetClientList = atom("_NET_CLIENT_LIST");
    }
    std::vector<xcb_window_t> candidates;
    xcb_get_property_reply_t* list = xcb_get_property_reply(
        conn, xcb_get_property(conn, 0, screen->root, aNetClientList, XCB_ATOM_WINDOW, 0, 4096), nullptr);
    if (list && list->format == 32) {
        const auto* w = static_cast<const xcb_window_t*>(xcb_get_property_value(list));
        candidates.assign(w, w + xcb_get_property_value_length(list) / 4);
    }
    std::free(list);
    if (candidates.empty()) {
        if (xcb_query_tree_reply_t* tree = xcb_query_tree_reply(conn, xcb_query_tree(conn, screen->root), nullptr)) {
            const xcb_window_t* c = xcb_query_tree_children(tree);
            candidates.assign(c, c + xcb_query_tree_children_length(tree));
            std::free(tree);
        }
    }
    std::vector<xcb_window_t> found;
    for (xcb_window_t w : candidates) {
        bool present = false;
        if (cardinal(w, aNetWmPid, present) == processId && present) found.push_back(w);
    }
    return found;
}

bool XcbWindow::holdDialog(long processId) {
    if (processId <= 0 || !screen) return false;
    const std::vector<xcb_window_t> dialogs = windowsOfProcess(static_cast<std::uint32_t>(processId));
    if (dialogs.empty()) return false;
    const xcb_window_t top = topLevelWindow();
    if (top == 0) return true;  // nothing to tie it to
    for (xcb_window_t w : dialogs)
        xcb_change_property(conn, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 32, 1, &top);
    xcb_flush(conn);
    return true;
}

void XcbWindow::upload(xcb_drawable_t drawable, std::uint8_t d, DrawSurface& buffer, const CRect& part, long x,
                       long y) {
    long stride = 0;
    const std::uint32_t* rows = buffer.rows(stride);
    CRect r = part.intersection(CRect(0, 0, buffer.pixelWidth(), buffer.pixelHeight()));
    if (!rows || r.isEmpty()) return;
    long w = r.width();
    long rowBytes = w * 4;
    long maxRows = std::max(1L, (static_cast<long>(maxRequestBytes) - 64) / rowBytes);
    for (long top = r.top; top < r.bottom; top += maxRows) {
        long n = std::min(maxRows, r.bottom - top);
        scratch.resize(static_cast<std::size_t>(w * n));
        for (long i = 0; i < n; ++i) {
            std::memcpy(&scratch[static_cast<std::size_t>(i * w)], rows + (top + i) * stride + r.left,
                        static_cast<std::size_t>(rowBytes));
        }
        xcb_put_image(conn, XCB_IMAGE_FORMAT_Z_PIXMAP, drawable, gc, static_cast<std::uint16_t>(w),
                      static_cast<std::uint16_t>(n), static_cast<std::int16_t>(x + (r.left - part.left)),
                      static_cast<std::int16_t>(y + (top - part.top)), 0, d,
                      static_cast<std::uint32_t>(rowBytes * n), reinterpret_cast<const std::uint8_t*>(scratch.data()));
    }
}

void XcbWindow::present(DrawSurface& buffer, const CRect& part) {
    const CRect px = pixelRect(part, buffer.scale());
    upload(window, depth, buffer, px, px.left, px.top);
}

CPoint XcbWindow::toUnits(CPoint p) const {
    if (scale == 1.0) return p;
    return CPoint(static_cast<long>(std::floor(static_cast<double>(p.h) / scale)),
                  static_cast<long>(std::floor(static_cast<double>(p.v) / scale)));
}

double scaleFromXResources(const char* resources, const char* gdkScale) {
    double scale = 1.0;
    // A line "Xft.dpi:\t192".
    for (const char* line = resources; line != nullptr && *line != '\0';) {
        if (std::strncmp(line, "Xft.dpi:", 8) == 0) {
            const double dpi = std::strtod(line + 8, nullptr);
            if (dpi >= 96.0 && dpi <= 96.0 * 3.0) scale = dpi / 96.0;
            break;
        }
        line = std::strchr(line, '\n');
        if (line != nullptr) ++line;
    }
    if (gdkScale != nullptr) {
        const long g = std::strtol(gdkScale, nullptr, 10);
        if (g >= 2 && g <= 3) scale *= static_cast<double>(g);
    }
    return scale > 1.0 ? std::min(scale, 3.0) : 0.0;
}

double XcbWindow::systemScale() {
    xcb_get_property_reply_t* r = xcb_get_property_reply(
        conn, xcb_get_property(conn, 0, screen->root, XCB_ATOM_RESOURCE_MANAGER, XCB_ATOM_STRING, 0, 1 << 16), nullptr);
    std::string resources;
    if (r) {
        resources.assign(static_cast<const char*>(xcb_get_property_value(r)),
                         static_cast<std::size_t>(xcb_get_property_value_length(r)));
        std::free(r);
    }
    return scaleFromXResources(resources.c_str(), std::getenv("GDK_SCALE"));
}

void XcbWindow::setScale(double s, const CRect& units) {
    scale = s;
    size = pixelRect(units, s);
    const std::uint32_t wh[2] = {static_cast<std::uint32_t>(size.width()), static_cast<std::uint32_t>(size.height())};
    xcb_configure_window(conn, window, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, wh);
    xcb_flush(conn);
}

void XcbWindow::flush() { xcb_flush(conn); }

bool XcbWindow::queryPointer(CPoint& where, long& buttons) {
    xcb_query_pointer_reply_t* r = xcb_query_pointer_reply(conn, xcb_query_pointer(conn, window), nullptr);
    if (!r) return false;
    where = toUnits(CPoint(r->win_x, r->win_y));
    buttons = modifiersOf(r->mask);
    std::free(r);
    return true;
}

CPoint XcbWindow::frameOriginOnRoot() {
    xcb_translate_coordinates_reply_t* r =
        xcb_translate_coordinates_reply(conn, xcb_translate_coordinates(conn, window, screen->root, 0, 0), nullptr);
    CPoint p;
    if (r) {
        p = CPoint(r->dst_x, r->dst_y);
        std::free(r);
    }
    return p;
}

bool XcbWindow::screenArea(CRect& area) {
    if (!screen) return false;
    const CPoint origin = frameOriginOnRoot();
    area = unitRect(CRect(-origin.h, -origin.v, screen->width_in_pixels - origin.h, screen->height_in_pixels - origin.v),
                    scale);
    return true;
}

std::unique_ptr<PopupWindow> XcbWindow::openPopup(const CRect& rect) {
    CPoint origin = frameOriginOnRoot();
    const CRect px = pixelRect(rect, scale);
    auto popup = std::make_unique<XcbPopup>(*this, conn, screen, px, CPoint(origin.h + px.left, origin.v + px.top));
    popups.push_back(popup.get());
    if (!grabbed) {
        // The menu sees every click, also outside its windows, until it closes.
        xcb_grab_pointer_reply_t* g = xcb_grab_pointer_reply(
            conn,
            xcb_grab_pointer(conn, 0, window,
                             XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_POINTER_MOTION,
                             XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE, XCB_CURRENT_TIME),
            nullptr);
        std::free(g);
        std::free(xcb_grab_keyboard_reply(
            conn, xcb_grab_keyboard(conn, 0, window, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
            nullptr));
        grabbed = true;
    }
    xcb_flush(conn);
    return popup;
}

void XcbWindow::popupsClosed() {
    if (!grabbed) return;
    xcb_ungrab_pointer(conn, XCB_CURRENT_TIME);
    xcb_ungrab_keyboard(conn, XCB_CURRENT_TIME);
    grabbed = false;
    xcb_flush(conn);
}

void XcbWindow::popupGone(XcbPopup* popup) { popups.erase(std::remove(popups.begin(), popups.end(), popup), popups.end()); }

long XcbWindow::keyVirt(xcb_keycode_t code) {
    if (keysyms.empty()) {
        const xcb_setup_t* setup = xcb_get_setup(conn);
        minKeycode = setup->min_keycode;
        std::uint8_t count = static_cast<std::uint8_t>(setup->max_keycode - setup->min_keycode + 1);
        xcb_get_keyboard_mapping_reply_t* r =
            xcb_get_keyboard_mapping_reply(conn, xcb_get_keyboard_mapping(conn, minKeycode, count), nullptr);
        if (!r) return 0;
        keysymsPerCode = r->keysyms_per_keycode;
        xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(r);
        keysyms.assign(syms, syms + xcb_get_keyboard_mapping_keysyms_length(r));
        std::free(r);
    }
    std::size_t i = static_cast<std::size_t>(code - minKeycode) * keysymsPerCode;
    if (code < minKeycode || i >= keysyms.size()) return 0;
    return static_cast<long>(keysyms[i]);
}

void XcbWindow::pollEvents(CFrame& frame) {
    while (xcb_generic_event_t* ev = xcb_poll_for_event(conn)) {
        std::uint8_t type = ev->response_type & 0x7F;
        switch (type) {
            case 0:
                ++errors;
                break;
            case XCB_EXPOSE: {
                auto* e = reinterpret_cast<xcb_expose_event_t*>(ev);
                if (e->window == window) {
                    frame.onExpose(unitRect(CRect(e->x, e->y, e->x + e->width, e->y + e->height), scale));
                } else {
                    for (XcbPopup* p : popups) {
                        if (p->window == e->window) p->expose();
                    }
                }
                break;
            }
            case XCB_BUTTON_PRESS:
            case XCB_BUTTON_RELEASE: {
                auto* e = reinterpret_cast<xcb_button_press_event_t*>(ev);
                // A click may start a command that asks: its dialogs belong to this panel.
                if (type == XCB_BUTTON_PRESS && e->event == window) claimDialogs();
                CPoint where(e->event_x, e->event_y);
                if (e->event != window) {
                    CPoint o = frameOriginOnRoot();
                    where = CPoint(e->root_x - o.h, e->root_y - o.v);
                }
                where = toUnits(where);
                long mods = modifiersOf(e->state) & ~(kLButton | kMButton | kRButton);
                if (e->detail == 4 || e->detail == 5) {
                    if (type == XCB_BUTTON_PRESS) frame.onWheelAt(where, e->detail == 4 ? 1.f : -1.f, mods);
                } else if (type == XCB_BUTTON_PRESS) {
                    frame.onMouseDown(where, (modifiersOf(e->state) | buttonBit(e->detail)));
                } else {
                    frame.onMouseUp(where, modifiersOf(e->state) | buttonBit(e->detail));
                }
                break;
            }
            case XCB_MOTION_NOTIFY: {
                auto* e = reinterpret_cast<xcb_motion_notify_event_t*>(ev);
                CPoint where(e->event_x, e->event_y);
                if (e->event != window) {
                    CPoint o = frameOriginOnRoot();
                    where = CPoint(e->root_x - o.h, e->root_y - o.v);
                }
                where = toUnits(where);
                frame.onMouseMove(where, modifiersOf(e->state));
                break;
            }
            case XCB_KEY_PRESS:
            case XCB_KEY_RELEASE: {
                auto* e = reinterpret_cast<xcb_key_press_event_t*>(ev);
                long sym = keyVirt(e->detail);
                KeyCode k;
                if (sym == 0xff1b) k.virt = kVirtualKeyEscape;
                else if (sym == 0xff0d) k.virt = kVirtualKeyReturn;
                else if (sym >= 0x20 && sym < 0x7f) k.character = sym;
                if (e->state & XCB_MOD_MASK_SHIFT) k.modifier |= kModifierShift;
                if (e->state & XCB_MOD_MASK_CONTROL) k.modifier |= kModifierControl;
                frame.onKey(k, type == XCB_KEY_PRESS);
                break;
            }
            case XCB_CLIENT_MESSAGE:
                handleClientMessage(*reinterpret_cast<xcb_client_message_event_t*>(ev));
                break;
            case XCB_SELECTION_NOTIFY:
                handleSelection(frame, *reinterpret_cast<xcb_selection_notify_event_t*>(ev));
                break;
            default:
                break;
        }
        std::free(ev);
    }
}

void XcbWindow::handleClientMessage(const xcb_client_message_event_t& ev) {
    const std::uint32_t* d = ev.data.data32;
    if (ev.type == aEnter) {
        dndSource = d[0];
        dndAccept = (d[1] & 1) != 0;  // more than three types: decided on drop
        for (int i = 2; i < 5; ++i) {
            if (d[i] == aUriList) dndAccept = true;
        }
    } else if (ev.type == aPosition) {
        dndSource = d[0];
        dndRootPos = CPoint(static_cast<long>(d[2] >> 16), static_cast<long>(d[2] & 0xFFFF));
        xcb_client_message_event_t reply{};
        reply.response_type = XCB_CLIENT_MESSAGE;
        reply.format = 32;
        reply.window = dndSource;
        reply.type = aStatus;
        reply.data.data32[0] = window;
        reply.data.data32[1] = dndAccept ? 1u : 0u;
        reply.data.data32[4] = dndAccept ? aActionCopy : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
        xcb_send_event(conn, 0, dndSource, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&reply));
        xcb_flush(conn);
    } else if (ev.type == aDrop) {
        dndSource = d[0];
        if (!dndAccept) {
            sendDndFinished(false);
            return;
        }
        xcb_convert_selection(conn, window, aSelection, aUriList, aProperty, d[2]);
        xcb_flush(conn);
    } else if (ev.type == aLeave) {
        dndSource = 0;
        dndAccept = false;
    }
}

void XcbWindow::handleSelection(CFrame& frame, const xcb_selection_notify_event_t& ev) {
    if (ev.selection != aSelection) return;
    bool accepted = false;
    if (ev.property != XCB_ATOM_NONE) {
        xcb_get_property_reply_t* r = xcb_get_property_reply(
            conn, xcb_get_property(conn, 1, window, ev.property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1 << 20), nullptr);
        if (r) {
            std::string list(static_cast<const char*>(xcb_get_property_value(r)),
                             static_cast<std::size_t>(xcb_get_property_value_length(r)));
            std::free(r);
            std::vector<std::string> paths = parseUriList(list);
            CPoint o = frameOriginOnRoot();
            CPoint where = toUnits(CPoint(dndRootPos.h - o.h, dndRootPos.v - o.v));
            if (!paths.empty()) accepted = frame.onDropItems(paths, kDropFiles, where);
        }
    }
    sendDndFinished(accepted);
}

void XcbWindow::sendDndFinished(bool accepted) {
    if (!dndSource) return;
    xcb_client_message_event_t msg{};
    msg.response_type = XCB_CLIENT_MESSAGE;
    msg.format = 32;
    msg.window = dndSource;
    msg.type = aFinished;
    msg.data.data32[0] = window;
    msg.data.data32[1] = accepted ? 1u : 0u;
    msg.data.data32[2] = accepted ? aActionCopy : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    xcb_send_event(conn, 0, dndSource, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&msg));
    xcb_flush(conn);
    dndSource = 0;
}

std::vector<std::string> parseUriList(const std::string& list) {
    std::vector<std::string> paths;
    std::size_t pos = 0;
    while (pos < list.size()) {
        std::size_t end = list.find('\n', pos);
        if (end == std::string::npos) end = list.size();
        std::string line = list.substr(pos, end - pos);
        pos = end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == '\0')) line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        if (line.rfind("file://", 0) != 0) continue;
        std::size_t slash = line.find('/', 7);  // skips the host part
        if (slash == std::string::npos) continue;
        std::string path;
        for (std::size_t i = slash; i < line.size(); ++i) {
            char c = line[i];
            auto hex = [](char h) -> int {
                if (h >= '0' && h <= '9') return h - '0';
                if (h >= 'a' && h <= 'f') return h - 'a' + 10;
                if (h >= 'A' && h <= 'F') return h - 'A' + 10;
                return -1;
            };
            if (c == '%' && i + 2 < line.size() && hex(line[i + 1]) >= 0 && hex(line[i + 2]) >= 0) {
                path.push_back(static_cast<char>(hex(line[i + 1]) * 16 + hex(line[i + 2])));
                i += 2;
            } else {
                path.push_back(c);
            }
        }
        paths.push_back(path);
    }
    return paths;
}

}  // namespace VSTGUI
