// The buffer thumbnails while the user records: the module loaded as a host loads it, the
// editor open on a headless frame and seen through the editor inspection call, rec free
// switched on and off with the panel's button while a second thread processes audio.
// The thumbnail of the buffer being recorded follows the recording from idle to idle, and
// once the recording stops the open editor shows what a newly opened editor shows.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "gui/pngdecode.h"
#include "host/editor_inspection.h"
#include "tools/host_session.h"

namespace {

constexpr int kBlock = 512;
constexpr double kRate = 44100.0;
constexpr float kInput = 0.5f;  // a constant input: recorded columns rise 9 of 19 pixels
// The rec free button and the thumbnail of buffer 0 (74 x 38, its centre line 19 down).
constexpr int kRecFreeX = 135, kRecFreeY = 183, kRecSyncX = 76, kRecSyncY = 186;
constexpr long kThumbLeft = 29, kThumbTop = 211, kThumbWidth = 74, kThumbHeight = 38;
// Rec free gives an empty buffer 16 beats (8 s at 120 BPM); a column stands for 1/74 of it.
constexpr long kColumnFrames = 352800 / 74;

// One editor picture, as the inspection call writes it.
struct Picture {
    VSTGUI::DecodedPng png;
    std::uint32_t at(long x, long y) const {
        if (x < 0 || y < 0 || x >= png.width || y >= png.height) return 0;
        return png.argb[static_cast<std::size_t>(y * png.width + x)] & 0xFFFFFFu;
    }
    // The pixels of a rectangle, row by row.
    std::vector<std::uint32_t> area(long left, long top, long width, long height) const {
        std::vector<std::uint32_t> out;
        for (long y = top; y < top + height; ++y)
            for (long x = left; x < left + width; ++x) out.push_back(at(x, y));
        return out;
    }
    std::vector<std::uint32_t> thumbnail(int n) const {
        return area(29 + 88 * (n % 4), 211 + 48 * (n / 4), kThumbWidth, kThumbHeight);
    }
};

// The host's processing thread: blocks of a constant input, on request or paced to real time.
class AudioThread {
public:
    explicit AudioThread(gwhost::HostSession& s) : session(s), in(2, std::vector<float>(kBlock, kInput)),
                                                   out(2, std::vector<float>(kBlock)) {
        thread = std::thread([this] { loop(); });
    }
    ~AudioThread() {
        {
            std::lock_guard<std::mutex> lock(m);
            quit = true;
        }
        cv.notify_all();
        thread.join();
    }
    // Processes n blocks on the audio thread and returns when they are done.
    void blocks(int n) {
        std::unique_lock<std::mutex> lock(m);
        requested += n;
        cv.notify_all();
        cv.wait(lock, [&] { return done == requested; });
    }
    // Processes block after block in real time until halted.
    void play() {
        std::lock_guard<std::mutex> lock(m);
        playing = true;
        cv.notify_all();
    }
    void halt() {
        std::unique_lock<std::mutex> lock(m);
        playing = false;
        cv.wait(lock, [&] { return !busy; });
    }
    long frames() {
        std::lock_guard<std::mutex> lock(m);
        return processed;
    }
    // Processes one frame at a time until finished() answers true (asked after each frame);
    // returns the frames processed.
    long framesUntil(const std::function<bool()>& finished) {
        std::unique_lock<std::mutex> lock(m);
        long count = 0;
        job = [&] {
            do {
                processOne(1);
                ++count;
            } while (!finished());
        };
        cv.notify_all();
        cv.wait(lock, [&] { return !job; });
        return count;
    }

private:
    void loop() {
        std::unique_lock<std::mutex> lock(m);
        for (;;) {
            cv.wait(lock, [&] { return quit || playing || done < requested || job; });
            if (quit) return;
            if (job) {
                lock.unlock();
                job();
                lock.lock();
                job = nullptr;
                cv.notify_all();
                continue;
            }
            const bool paced = playing;
            busy = true;
            lock.unlock();
            const auto start = std::chrono::steady_clock::now();
            processOne();
            if (paced) std::this_thread::sleep_until(start + std::chrono::microseconds(kBlock * 1000000L / 44100));
            lock.lock();
            busy = false;
            processed += kBlock;
            if (!paced) ++done;
            cv.notify_all();
        }
    }
    void processOne(int frames = kBlock) {
        AEffect* e = session.effect();
        float* inputs[2] = {in[0].data(), in[1].data()};
        float* outputs[2] = {out[0].data(), out[1].data()};
        e->processReplacing(e, inputs, outputs, frames);
        session.transport.advance(frames);
    }

    gwhost::HostSession& session;
    std::vector<std::vector<float>> in, out;
    std::mutex m;
    std::condition_variable cv;
    long requested = 0, done = 0, processed = 0;
    bool playing = false, busy = false, quit = false;
    std::function<void()> job;  // run once on the audio thread, then cleared
    std::thread thread;
};

class RecordingView : public ::testing::Test {
protected:
    void SetUp() override {
        // No dialog program and none of the user's folders: the recorded audio that is never
        // saved goes to a recovery bank in the test's own folder when the plug-in closes.
        folder = std::filesystem::path(::testing::TempDir()) / ("gw_recording_view_" + std::to_string(getpid()));
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder / "home");
        setenv("HOME", (folder / "home").c_str(), 1);
        setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        ASSERT_TRUE(host.load(GW_PLUGIN_PATH)) << host.error();
        host.start(kRate, kBlock);
        ASSERT_EQ(host.dispatch(effEditOpen, 0, 0, nullptr), 1);
        audio = std::make_unique<AudioThread>(host);
        audio->blocks(4);
        idle();
    }
    void TearDown() override {
        audio.reset();
        host.dispatch(effEditClose);
        host.close();
        std::filesystem::remove_all(folder);
    }

    void idle() { host.dispatch(effEditIdle); }
    void click(int x, int y) {
        for (auto kind : {EditorMouseEvent::kPress, EditorMouseEvent::kRelease}) {
            EditorMouseEvent e;
            e.kind = kind;
            e.x = x;
            e.y = y;
            ASSERT_EQ(host.dispatch(effVendorSpecific, kEditorInspection, kInspectMouse, &e), 1);
        }
    }
    Picture snapshot() {
        const std::string path = (folder / "editor.png").string();
        Picture p;
        if (host.dispatch(effVendorSpecific, kEditorInspection, kInspectSnapshot, const_cast<char*>(path.c_str())) != 1) {
            ADD_FAILURE() << "no snapshot of the editor";
            return p;
        }
        std::ifstream f(path, std::ios::binary);
        const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        p.png = VSTGUI::decodePngImage(bytes.data(), bytes.size());
        EXPECT_TRUE(p.png.ok()) << path;
        return p;
    }
    // Columns of buffer 0's thumbnail that rise above its centre line, against a picture
    // taken while the buffer held silence.
    static long risenColumns(const Picture& p, const Picture& silent) {
        long n = 0;
        const long y = kThumbTop + 19 - 5;
        for (long x = kThumbLeft; x < kThumbLeft + kThumbWidth; ++x)
            if (p.at(x, y) != silent.at(x, y)) ++n;
        return n;
    }
    // The editor closed and opened again: what a new editor draws of the same state.
    Picture reopened() {
        host.dispatch(effEditClose);
        EXPECT_EQ(host.dispatch(effEditOpen, 0, 0, nullptr), 1);
        idle();
        return snapshot();
    }
    static long differing(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
        long n = 0;
        for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) n += a[i] != b[i];
        return n;
    }
    void expectSameViews(const Picture& shown, const Picture& fresh) {
        for (int n = 0; n < 16; ++n)
            EXPECT_EQ(differing(shown.thumbnail(n), fresh.thumbnail(n)), 0) << "pixels of buffer " << n + 1;
        EXPECT_EQ(differing(shown.area(17, 64, 361, 108), fresh.area(17, 64, 361, 108)), 0) << "main scope";
    }

    std::filesystem::path folder;
    gwhost::HostSession host;
    std::unique_ptr<AudioThread> audio;
};

TEST_F(RecordingView, ThumbnailFollowsEachIdleAndShowsTheWholeRecording) {
    const Picture empty = snapshot();
    click(kRecFreeX, kRecFreeY);  // rec free on: buffer 0 gets 8 s of silence
    idle();
    const Picture silent = snapshot();
    EXPECT_EQ(silent.thumbnail(0), empty.thumbnail(0));  // silence draws no column

    // A quarter of a second between idles: every idle shows more of the recording.
    long risen = 0;
    for (int step = 1; step <= 6; ++step) {
        SCOPED_TRACE(step);
        audio->blocks(22);
        idle();
        const long now = risenColumns(snapshot(), silent);
        EXPECT_GT(now, risen);
        EXPECT_LT(now, kThumbWidth / 2);  // 1.5 s of 8
        risen = now;
    }

    click(kRecFreeX, kRecFreeY);  // rec free off: a short fade-out follows
    audio->blocks(4);
    idle();
    idle();
    const Picture shown = snapshot();
    EXPECT_GE(risenColumns(shown, silent), risen);
    expectSameViews(shown, reopened());
}

// A synced recording ends by itself on the audio thread, and the frame that ends it takes
// the engine's recording mark back: the frames since the last idle leave no mark behind.
// The first idle after it still draws them (its last drawing of the recording).
TEST_F(RecordingView, TheEndOfASyncedRecordingShowsWithoutAMark) {
    AEffect* e = host.effect();
    e->setParameter(e, 276, 8.0f);  // rec sync unit 1/4: one beat, 22050 frames at 120 BPM
    click(kRecSyncX, kRecSyncY);    // rec sync on: it starts at the next bar
    idle();
    const Picture silent = snapshot();
    audio->blocks(190);  // the bar (168 blocks) and about half the beat
    idle();
    const long half = risenColumns(snapshot(), silent);
    EXPECT_GT(half, 20);
    EXPECT_LT(half, 50);
    // Up to the frame that ends the recording, not one frame further (the fade-out after
    // it would leave a mark again).
    const long frames = audio->framesUntil([e] { return e->getParameter(e, 10) == 0.0f; });
    EXPECT_LT(frames, 22050);
    idle();
    const Picture shown = snapshot();
    EXPECT_GT(risenColumns(shown, silent), kThumbWidth - 4);
    expectSameViews(shown, reopened());
}

TEST_F(RecordingView, ThumbnailFollowsWhileTheAudioThreadRunsFreely) {
    click(kRecFreeX, kRecFreeY);
    idle();
    const Picture silent = snapshot();
    audio->play();
    // The host idles the editor every 40 ms; a picture every half second.
    long risen = 0, framesThen = audio->frames();
    int pictures = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(2000);
    auto nextPicture = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    while (std::chrono::steady_clock::now() < end) {
        idle();
        if (std::chrono::steady_clock::now() >= nextPicture) {
            nextPicture += std::chrono::milliseconds(500);
            const long framesNow = audio->frames();
            const long now = risenColumns(snapshot(), silent);
            // Two columns' worth of new frames show at the latest at this idle.
            if (framesNow - framesThen >= 2 * kColumnFrames) {
                EXPECT_GT(now, risen) << (framesNow - framesThen) << " frames since the last picture";
                ++pictures;
            }
            risen = now;
            framesThen = framesNow;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
    EXPECT_GE(pictures, 1) << "the audio thread hardly ran";
    click(kRecFreeX, kRecFreeY);
    for (int i = 0; i < 8; ++i) {
        idle();
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
    audio->halt();
    idle();
    const Picture shown = snapshot();
    EXPECT_GE(risenColumns(shown, silent), risen);
    expectSameViews(shown, reopened());
}

}  // namespace
