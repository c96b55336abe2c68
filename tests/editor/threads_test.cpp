// The editor under three threads at once: the audio thread rendering (a spectral morph
// between two buffers and a synced recording that ends itself, whose notice arrives on
// the audio thread), a thread automating parameters (buffer selection and the grid
// included), and the user-interface thread idling, closing and reopening the editor.
// Run under ThreadSanitizer (label "threads").

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "editor_support.h"

namespace {
class EditorThreads : public editortest::OpenEditor {};
}  // namespace

TEST_F(EditorThreads, AudioAutomationAndInterfaceTogether) {
    hostAt(0.0, 0.0, 120.0);
    // Two buffers with audio, so that a buffer change morphs.
    fx->setParameter(274, 0.0f);
    fx->setParameter(0, 1.0f / 15.0f);
    fx->engine().allocateBuffer(20000);
    fx->setParameter(0, 0.0f);
    fx->engine().allocateBuffer(20000);
    fx->setParameter(274, 3.0f);
    // A synced recording of a 1/64 note into buffer 0: it waits for the bar, then ends by itself.
    fx->setParameter(276, 12.0f);
    fx->setParameter(10, 1.0f);
    ASSERT_FLOAT_EQ(fx->getParameter(10), 1.0f);

    std::atomic<bool> stop{false};
    std::atomic<int> blocks{0};
    std::thread audio([&] {
        std::vector<float> in(256, 0.25f), outL(256), outR(256);
        float* inputs[2] = {in.data(), in.data()};
        float* outputs[2] = {outL.data(), outR.data()};
        while (!stop.load()) {
            fx->processReplacing(inputs, outputs, 256);
            blocks.fetch_add(1);
        }
    });
    std::thread automation([&] {
        for (int i = 0; !stop.load(); ++i) {
            fx->setParameter(1, static_cast<float>(i % 10) / 10.0f);
            fx->setParameter(43 + i % 16, static_cast<float>(i % 7) / 7.0f);
            fx->setParameter(27 + i % 16, 0.5f);
            if (i % 50 == 0) fx->setParameter(7, static_cast<float>((i / 50) % 2));
            if (i % 200 == 0) fx->setParameter(0, static_cast<float>((i / 200) % 2) / 15.0f);
            std::this_thread::yield();
        }
    });

    // The user-interface thread.
    for (int i = 0; i < 600; ++i) {
        editor().idle();
        if (i % 100 == 99) {
            editor().close();
            editor().idle();  // closed: nothing to do
            ASSERT_EQ(editor().open(nullptr), 1);
        }
        if (i == 300) {
            // The recording ends itself before the last stretch: it waits for the bar (345
            // blocks) and then records a few blocks, which a buffer selection restarts.
            // Waited for, not assumed done after so many blocks; the deadline is reached
            // only by a hang.
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
            while ((blocks.load() < 600 || fx->getParameter(10) != 0.0f) && std::chrono::steady_clock::now() < deadline)
                std::this_thread::yield();
        }
    }
    while (blocks.load() < 800) std::this_thread::yield();
    stop.store(true);
    audio.join();
    automation.join();
    editor().idle();

    EXPECT_FLOAT_EQ(fx->getParameter(10), 0.0f);  // the recording ended itself
    EXPECT_FLOAT_EQ(editor().controlWithTag(10)->getValue(), 0.0f);
    EXPECT_TRUE(editor().isOpen());
}
