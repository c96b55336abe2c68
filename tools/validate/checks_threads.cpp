// Threads as hosts use them: parameter changes, texts and program switches from a
// second thread while the first processes; the editor opened, idled and closed while
// processing.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <thread>
#include <vector>

#include "tools/validate/instance.h"

#if defined(GW_VALIDATE_HAVE_XCB)
#include <xcb/xcb.h>
#endif

namespace gwvalidate {

namespace {

// Processes blocks on a thread of its own until stopped; the findings wait for join().
class AudioThread {
public:
    AudioThread(Context& cx, Instance& in) : in_(in), audioContext_{cx.options, report_, std::mt19937(cx.rng())} {
        thread_ = std::thread([this] { run(); });
    }
    ~AudioThread() { join(); }
    void join() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    const AudioStats& stats() const { return stats_; }
    long blocks() const { return blocks_.load(); }

private:
    void run() {
        GuardedAudio audio(in_.numInputs(), in_.numOutputs(), 512);
        audio.arrange(256, GuardedAudio::Layout::Back, "processing on the audio thread");
        while (!stop_) {
            stats_.merge(renderBlocks(in_, audio, audioContext_, 256, 0.25f, "on the audio thread"));
            ++blocks_;
        }
    }
    Instance& in_;
    Report report_;
    Context audioContext_;
    AudioStats stats_;
    std::atomic<bool> stop_{false};
    std::atomic<long> blocks_{0};
    std::thread thread_;
};

using Clock = std::chrono::steady_clock;

}  // namespace

void checkThreads(Context& cx) {
    Instance in(cx);
    if (!in.load()) return;
    in.start(44100.0, 512);
    const int params = in.numParams(), programs = in.numPrograms();
    long changes = 0;
    progress("parameter changes from a second thread while processing");
    AudioThread audio(cx, in);
    const auto until = Clock::now() + std::chrono::duration<double>(scaled(cx, 2.0));
    while (Clock::now() < until) {
        // What a host's user-interface thread does meanwhile.
        for (int k = 0; k < 16 && params > 0; ++k, ++changes) {
            int i = cx.below(params);
            in.setParameter(i, cx.uniform());
            in.getParameter(i);
            in.guardedText(effGetParamDisplay, i, kParamTextLimit, "parameter " + std::to_string(i) + " display");
        }
        if (programs > 1 && cx.below(8) == 0) in.dispatch(effSetProgram, 0, cx.below(programs));
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    audio.join();
    if (!audio.stats().clean()) cx.report.fail("%s", audio.stats().problem().c_str());
    if (audio.blocks() == 0) cx.report.fail("the audio thread processed no block");
    in.stop();
    cx.report.note("%ld parameter changes and readings from a second thread over %ld blocks", changes,
                   audio.blocks());
}

void checkEditor(Context& cx) {
    Instance in(cx);
    if (!in.load()) return;
    if (!(in.effect()->flags & effFlagsHasEditor)) {
        cx.report.skip("the plug-in has no editor");
        return;
    }
#if !defined(GW_VALIDATE_HAVE_XCB)
    cx.report.skip("built without xcb");
#else
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        cx.report.skip("no DISPLAY");
        return;
    }
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (!connection || xcb_connection_has_error(connection)) {
        if (connection) xcb_disconnect(connection);
        cx.report.skip("cannot connect to the display %s", display);
        return;
    }
    in.start(44100.0, 512);
    ERect* rect = nullptr;
    in.dispatch(effEditGetRect, 0, 0, &rect);
    int width = 800, height = 600;
    if (rect && rect->right > rect->left && rect->bottom > rect->top) {
        width = rect->right - rect->left;
        height = rect->bottom - rect->top;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const xcb_window_t parent = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, parent, screen->root, 0, 0, static_cast<std::uint16_t>(width),
                      static_cast<std::uint16_t>(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0,
                      nullptr);
    xcb_map_window(connection, parent);
    xcb_flush(connection);

    const int rounds = cx.strictness() >= 8 ? 4 : 2;
    const std::vector<int>& automatable = in.automatable();
    const int params = static_cast<int>(automatable.size());
    long idles = 0;
    {
        AudioThread audio(cx, in);
        for (int round = 0; round < rounds; ++round) {
            progress("the editor open and idling, round %d", round + 1);
            in.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<std::uintptr_t>(parent)));
            rect = nullptr;
            in.dispatch(effEditGetRect, 0, 0, &rect);
            if (!rect)
                cx.report.fail("effEditGetRect answers no rectangle with the editor open");
            else if (rect->right <= rect->left || rect->bottom <= rect->top || rect->right - rect->left > 8192 ||
                     rect->bottom - rect->top > 8192)
                cx.report.fail("the editor's rectangle is %d,%d to %d,%d", rect->left, rect->top, rect->right,
                               rect->bottom);
            const auto until = Clock::now() + std::chrono::duration<double>(scaled(cx, 0.5));
            while (Clock::now() < until) {
                in.dispatch(effEditIdle);
                ++idles;
                // Automation from the host, which the editor shows.
                if (params > 0) in.setParameter(automatable[static_cast<std::size_t>(cx.below(params))], cx.uniform());
                while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) std::free(event);
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            progress("closing the editor, round %d", round + 1);
            in.dispatch(effEditClose);
            in.dispatch(effEditIdle);  // an idle after closing, as hosts' timers do
        }
        audio.join();
        if (!audio.stats().clean()) cx.report.fail("%s", audio.stats().problem().c_str());
    }
    in.stop();
    xcb_destroy_window(connection, parent);
    xcb_disconnect(connection);
    cx.report.note("editor opened, idled %ld times and closed %d times while processing", idles, rounds);
#endif
}

}  // namespace gwvalidate
