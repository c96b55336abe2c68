#include "tools/gui_command.h"

#include <xcb/xcb.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "tools/editor_command.h"

namespace gwhost {

namespace {

std::atomic<bool> interrupted{false};

void onSignal(int) { interrupted.store(true); }

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* r =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    xcb_atom_t a = r ? r->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(r);
    return a;
}

}  // namespace

const char* guiUsage() {
    return "usage: grainwheel-host gui PLUGIN.so [session options] [--quit-after SECONDS] [--print-window]\n"
           "                          [--scale S]\n"
           "  The plug-in's editor in a window of its own (DISPLAY), idled every 40 ms, while the\n"
           "  plug-in processes the input in real time on a second thread; close the window or press\n"
           "  Ctrl+C to stop. The automation the plug-in sends is printed: automation INDEX NAME VALUE,\n"
           "  and its edit gestures around it: begin-edit INDEX NAME, end-edit INDEX NAME\n"
           "  session:  the render command's --input FILE | --silence | --demo (looped), --rate, --block,\n"
           "            --tempo, --timesig, --start, --stopped, --set, --set-at, --program, --program-at,\n"
           "            --chunk, --bank, --load-wav; --beats N processed at once before the window opens\n"
           "  --quit-after S    close the editor after S seconds\n"
           "  --print-window    print the window's id (\"window 0x...\") once it is open\n"
           "  --scale S         the host's scale for the editor (1..3), as a host on a scaled screen\n";
}

bool parseGuiOptions(int argc, const char* const* argv, GuiOptions& out, std::string& error) {
    out = GuiOptions{};
    std::vector<const char*> rest;
    for (int i = 0; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--quit-after") {
            if (i + 1 >= argc) return error = "--quit-after needs a value", false;
            char* end = nullptr;
            out.quitAfterSeconds = std::strtod(argv[++i], &end);
            if (!end || *end || !(out.quitAfterSeconds >= 0.0) || out.quitAfterSeconds > 1.0e6)
                return error = "--quit-after needs a number of seconds", false;
        } else if (a == "--print-window") {
            out.printWindow = true;
        } else if (a == "--scale") {
            if (i + 1 >= argc) return error = "--scale needs a value", false;
            char* end = nullptr;
            out.scale = std::strtof(argv[++i], &end);
            if (!end || *end || !(out.scale >= 1.0f && out.scale <= 3.0f))
                return error = "--scale takes a number from 1 to 3", false;
        } else if (a == "-o" || a == "--output" || a == "--format" || a == "--save-chunk" || a == "--save-bank") {
            return error = a + " belongs to the render command", false;
        } else {
            rest.push_back(argv[i]);
        }
    }
    rest.push_back("-o");
    rest.push_back("/dev/null");
    return parseRenderOptions(static_cast<int>(rest.size()), rest.data(), out.session, error);
}

int runGui(int argc, const char* const* argv, std::FILE* out) {
    GuiOptions options;
    std::string error;
    if (!parseGuiOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "grainwheel-host gui: %s\n%s", error.c_str(), guiUsage());
        return 2;
    }
    xcb_connection_t* conn = xcb_connect(nullptr, nullptr);
    if (!conn || xcb_connection_has_error(conn)) {
        std::fprintf(stderr, "grainwheel-host gui: cannot connect to the X server (is DISPLAY set?)\n");
        if (conn) xcb_disconnect(conn);
        return 1;
    }
    PlayingSession session;
    if (!session.start(options.session, error)) {
        std::fprintf(stderr, "grainwheel-host gui: %s\n", error.c_str());
        xcb_disconnect(conn);
        return 1;
    }
    HostSession& host = session.host();
    AEffect* effect = host.effect();
    if (!(effect->flags & effFlagsHasEditor)) {
        std::fprintf(stderr, "grainwheel-host gui: the plug-in has no editor\n");
        host.close();
        xcb_disconnect(conn);
        return 1;
    }
    session.process(session.leadIn());

    // The host's scale, as hosts give it ('PreS' / 'AeCs', the scale in opt).
    if (options.scale > 0.0f) host.dispatch(effVendorSpecific, 0x50726553, 0x41654373, nullptr, options.scale);
    ERect* rect = nullptr;
    host.dispatch(effEditGetRect, 0, 0, &rect);
    int width = 400, height = 300;
    if (rect && rect->right > rect->left && rect->bottom > rect->top) {
        width = rect->right - rect->left;
        height = rect->bottom - rect->top;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(conn)).data;
    const xcb_window_t window = xcb_generate_id(conn);
    std::uint32_t values[2] = {screen->black_pixel, XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_create_window(conn, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, static_cast<std::uint16_t>(width),
                      static_cast<std::uint16_t>(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
    std::string title = host.text(effGetEffectName);
    if (title.empty()) title = host.text(effGetProductString);
    if (title.empty()) title = "VST 2 plug-in";
    title += " - grainwheel-host";
    xcb_change_property(conn, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        static_cast<std::uint32_t>(title.size()), title.c_str());
    const xcb_atom_t protocols = atom(conn, "WM_PROTOCOLS");
    const xcb_atom_t deleteWindow = atom(conn, "WM_DELETE_WINDOW");
    xcb_change_property(conn, XCB_PROP_MODE_REPLACE, window, protocols, XCB_ATOM_ATOM, 32, 1, &deleteWindow);
    // A fixed size, as the editor asked.
    std::uint32_t hints[18] = {};
    hints[0] = (1u << 4) | (1u << 5);  // program minimum and maximum size
    hints[5] = hints[7] = static_cast<std::uint32_t>(width);
    hints[6] = hints[8] = static_cast<std::uint32_t>(height);
    xcb_change_property(conn, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 32, 18,
                        hints);
    xcb_map_window(conn, window);
    xcb_flush(conn);

    host.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<std::uintptr_t>(window)));
    if (options.printWindow) {
        std::fprintf(out, "window 0x%x\n", window);
        std::fflush(out);
    }

    // The audio thread: one block at a time, paced by the clock.
    std::atomic<bool> running{true};
    std::thread audio([&] {
        using clock = std::chrono::steady_clock;
        const auto start = clock::now();
        std::int64_t done = 0;
        const double rate = session.options().sampleRate;
        const std::int64_t block = std::max<std::int32_t>(1, session.options().blockSize);
        while (running.load(std::memory_order_relaxed)) {
            session.process(block);
            done += block;
            const auto due = start + std::chrono::microseconds(static_cast<std::int64_t>(1.0e6 * static_cast<double>(done) / rate));
            std::this_thread::sleep_until(due);
        }
    });

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::vector<std::string> names;
    for (VstInt32 i = 0; i < effect->numParams; ++i) names.push_back(host.text(effGetParamName, i));
    std::size_t shown = 0;
    const auto opened = std::chrono::steady_clock::now();
    bool closedByUser = false;
    while (!interrupted.load() && !closedByUser) {
        host.dispatch(effEditIdle);
        while (xcb_generic_event_t* e = xcb_poll_for_event(conn)) {
            if ((e->response_type & 0x7f) == XCB_CLIENT_MESSAGE) {
                auto* m = reinterpret_cast<xcb_client_message_event_t*>(e);
                if (m->data.data32[0] == deleteWindow) closedByUser = true;
            }
            std::free(e);
        }
        if (xcb_connection_has_error(conn)) break;
        for (const AutomationEvent& a : host.automationSince(shown)) {
            const char* name = a.index >= 0 && static_cast<std::size_t>(a.index) < names.size()
                                   ? names[static_cast<std::size_t>(a.index)].c_str()
                                   : "?";
            std::fprintf(out, "%s\n", describeAutomation(a, name).c_str());
            ++shown;
        }
        std::fflush(out);
        if (options.quitAfterSeconds >= 0.0 &&
            std::chrono::duration<double>(std::chrono::steady_clock::now() - opened).count() >= options.quitAfterSeconds)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
    running.store(false);
    audio.join();
    host.dispatch(effEditClose);
    host.dispatch(effMainsChanged, 0, 0);
    host.close();
    xcb_destroy_window(conn, window);
    xcb_disconnect(conn);
    return 0;
}

}  // namespace gwhost
