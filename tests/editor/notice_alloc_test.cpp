// The notices the effect sends from the audio thread reach the open editor without a
// single allocation: the editor stores words and leaves the rest to its next idle.

#include <gtest/gtest.h>

#include <thread>

#include "../support/counting_new.h"
#include "editor_support.h"

namespace {
class NoticeAllocation : public editortest::OpenEditor {};
}  // namespace

TEST_F(NoticeAllocation, OtherThreadsNoticesAllocateNothing) {
    editor().idle();
    long allocations = -1;
    std::thread audio([&] {
        gwtest::allocations.store(0);
        gwtest::counting.store(true);
        // A synced recording ending, buffers replaced, a redraw, the menus, the grid, a
        // buffer line, faders and an unknown index.
        grainwheel::ADEditor& e = editor();
        for (int round = 0; round < 3; ++round) {
            e.setParameter(10, 0.0f);
            e.setParameter(251, 1.0f);
            e.setParameter(252, 1.0f);
            e.setParameter(253, 1.0f);
            e.setParameter(7, static_cast<float>(round % 2));
            e.setParameter(9, 1.0f);
            e.setParameter(0, 3.0f / 15.0f);
            e.setParameter(256, 1.0f);
            for (int t = 1; t <= 106; ++t) e.setParameter(t, 0.5f);
            e.setParameter(999, 1.0f);
        }
        gwtest::counting.store(false);
        allocations = gwtest::allocations.load();
    });
    audio.join();
    EXPECT_EQ(allocations, 0);
    // The next idle does the deferred work on this thread, the last notice winning: the
    // grid at 0.5 (on) and rec free's buffer line.
    EXPECT_EQ(editortest::bitmapId(editor().columnFader(0, 0)->getBackground()), 128);
    editor().idle();
    EXPECT_EQ(editortest::bitmapId(editor().columnFader(0, 0)->getBackground()), 131);
    EXPECT_NE(editortest::statusText(editor()).find(" sec audio] "), std::string::npos);
}

TEST_F(NoticeAllocation, TheUsersLaterChangeKeepsTheStatusLine) {
    std::thread([&] { editor().setParameter(10, 0.0f); }).join();  // "Recording stopped" waits
    control(1)->setValue(0.5f);
    editor().valueChanged(nullptr, control(1));
    editor().idle();
    EXPECT_EQ(editortest::statusText(editor()), "Amplitude : -6 dB");
    std::thread([&] { editor().setParameter(10, 0.0f); }).join();  // a later notice still shows
    editor().idle();
    EXPECT_EQ(editortest::statusText(editor()), "Recording stopped");
}
