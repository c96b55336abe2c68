// Bank files read and written at the host's request, through the dispatcher.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "plugin/grain_effect.h"
#include "persistence/host_file_calls.h"
#include "platform/scripted_dialogs.h"
#include "tests/support/buffer_fill.h"
#include "tests/support/scripted_host.h"

namespace grainwheel {
namespace {

namespace fs = std::filesystem;

using gwtest::hostCallback;

std::vector<char> bytesOf(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class HostFileCalls : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("gw-host-file-calls-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder);
        // Unsaved audio left at the end goes to a recovery bank: keep it in the folder.
        setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);
        fx = std::make_unique<GrainEffect>(&hostCallback);
    }
    void TearDown() override {
        fx.reset();
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }

    static VstIntPtr call(GrainEffect& e, VstInt32 index, VstIntPtr value, const std::string* path) {
        AEffect* a = e.getAeffect();
        return a->dispatcher(a, effVendorSpecific, index, value, path ? const_cast<char*>(path->c_str()) : nullptr,
                             0.0f);
    }
    static int load(GrainEffect& e, const std::string& path) {
        return hostFileResult(call(e, kHostFileCall, kHostLoadBank, &path));
    }
    static int save(GrainEffect& e, const std::string& path) {
        return hostFileResult(call(e, kHostFileCall, kHostSaveBank, &path));
    }
    static void fill(GrainEffect& e, int n, int frames) {
        gwtest::fillBuffer(
            e, n, frames, [](int i) { return static_cast<float>(i % 97) / 97.0f - 0.5f; },
            [n](int i) { return static_cast<float>((i * 7 + n) % 89) / -89.0f; });
        e.engine().buffers().buffer(n).saved = 0;
    }
    std::string file(const char* name) const { return (folder / name).string(); }

    fs::path folder;
    platform::ScriptedDialogs dialogs;
    platform::ScopedDialogs scoped{dialogs};
    std::unique_ptr<GrainEffect> fx;
};

TEST_F(HostFileCalls, OtherVendorCallsAreNotUnderstood) {
    const std::string path = file("x.grb");
    EXPECT_EQ(call(*fx, 0, 0, nullptr), 0);
    EXPECT_EQ(call(*fx, kHostFileCall, 0, &path), 0);
    EXPECT_EQ(call(*fx, kHostFileCall - 1, kHostLoadBank, &path), 0);
    EXPECT_EQ(call(*fx, kHostLoadBank, kHostFileCall, &path), 0);
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(HostFileCalls, SavedBankLoadsBitExactIntoAnotherInstance) {
    fill(*fx, 0, 1500);
    fill(*fx, 9, 333);
    fx->setProgram(4);
    const std::string path = file("session.grb");
    ASSERT_EQ(save(*fx, path), kFileOk);
    EXPECT_STREQ(fx->files().state().bankName, path.c_str());
    EXPECT_EQ(fx->engine().buffers().buffer(0).saved, 1);
    EXPECT_EQ(fx->engine().buffers().buffer(9).saved, 1);

    GrainEffect other(&hostCallback);
    ASSERT_EQ(load(other, path), kFileOk);
    EXPECT_STREQ(other.files().state().bankName, path.c_str());
    EXPECT_EQ(other.getProgram(), 4);
    for (int n : {0, 9}) {
        const BufferFrames a = framesOf(fx->engine().buffers().buffer(n));
        const BufferFrames b = framesOf(other.engine().buffers().buffer(n));
        ASSERT_EQ(a.length, b.length);
        EXPECT_EQ(std::memcmp(a.left, b.left, sizeof(float) * static_cast<std::size_t>(a.length + 1)), 0);
        EXPECT_EQ(std::memcmp(a.right, b.right, sizeof(float) * static_cast<std::size_t>(a.length + 1)), 0);
    }
    // The user's recent-bank list names only what was chosen in the editor.
    EXPECT_STREQ(other.files().state().recentBanks.entry(0), fx->files().state().recentBanks.entry(0));
    EXPECT_TRUE(dialogs.questions.empty());
}

TEST_F(HostFileCalls, FailuresReportTheCodeAndKeepTheBankName) {
    const std::string name = fx->files().state().bankName;
    EXPECT_EQ(load(*fx, file("missing.grb")), kFileOpenFailed);
    std::ofstream(file("text.grb")) << "not a bank at all, just some words";
    EXPECT_EQ(load(*fx, file("text.grb")), kFileNoGrb);
    EXPECT_EQ(hostFileResult(call(*fx, kHostFileCall, kHostLoadBank, nullptr)), kFileOpenFailed);
    EXPECT_EQ(hostFileResult(call(*fx, kHostFileCall, kHostSaveBank, nullptr)), kFileWriteFailed);
    const std::string tooLong = file("") + std::string(1100, 'a') + ".grb";
    EXPECT_EQ(load(*fx, tooLong), kFileNameTooLong);
    EXPECT_EQ(save(*fx, tooLong), kFileNameTooLong);
    EXPECT_STREQ(fx->files().state().bankName, name.c_str());

    // An existing file is replaced only with the user's yes.
    fill(*fx, 2, 100);
    const std::string kept = file("kept.grb");
    std::ofstream(kept) << "old";
    dialogs.queueAnswer(false);
    EXPECT_EQ(save(*fx, kept), kFileExists);
    EXPECT_EQ(bytesOf(kept), (std::vector<char>{'o', 'l', 'd'}));
    EXPECT_EQ(fx->engine().buffers().buffer(2).saved, 0);
    EXPECT_STREQ(fx->files().state().bankName, name.c_str());
    dialogs.queueAnswer(true);
    EXPECT_EQ(save(*fx, kept), kFileOk);
    EXPECT_GT(bytesOf(kept).size(), 30164u);
    EXPECT_EQ(dialogs.questions.size(), 2u);
}

}  // namespace
}  // namespace grainwheel
