// The dialog back ends and the module paths.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <unistd.h>

#include "platform/default_dialogs.h"
#include "platform/paths.h"
#include "platform/scripted_dialogs.h"

using platform::dialogs;
using platform::FileSelectRequest;
using platform::ScriptedDialogs;

TEST(DefaultDialogs, AnswerNoChooseNothingAndWriteMessagesToStandardError) {
    platform::setDialogs(nullptr);
    EXPECT_FALSE(dialogs().askYesNo("grainwheel - confirm exitus", "Save?"));
    char path[platform::kFileSelectionSize] = "untouched";
    FileSelectRequest request;
    EXPECT_FALSE(dialogs().selectFile(request, path));
    EXPECT_STREQ(path, "untouched");
    testing::internal::CaptureStderr();
    dialogs().showMessage("grainwheel - error", "file not found");
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("grainwheel - error"), std::string::npos);
    EXPECT_NE(err.find("file not found"), std::string::npos);
}

TEST(ScriptedDialogs, AnswersInOrderThenNo) {
    ScriptedDialogs scripted;
    platform::ScopedDialogs scope(scripted);
    scripted.queueAnswer(true);
    scripted.queueAnswer(false);
    EXPECT_TRUE(dialogs().askYesNo("t1", "q1"));
    EXPECT_FALSE(dialogs().askYesNo("t2", "q2"));
    EXPECT_FALSE(dialogs().askYesNo("t3", "q3"));  // queue empty
    ASSERT_EQ(scripted.questions.size(), 3u);
    EXPECT_EQ(scripted.questions[0].title, "t1");
    EXPECT_EQ(scripted.questions[2].text, "q3");
    dialogs().showMessage("m", "text");
    ASSERT_EQ(scripted.messages.size(), 1u);
    EXPECT_EQ(scripted.messages[0].text, "text");
}

TEST(ScriptedDialogs, FileSelectionReturnsQueuedPathsOnly) {
    ScriptedDialogs scripted;
    platform::ScopedDialogs scope(scripted);
    scripted.queueFile("/tmp/a.grb");
    char path[platform::kFileSelectionSize] = "";
    FileSelectRequest request;
    request.title = "load bank";
    EXPECT_TRUE(dialogs().selectFile(request, path));
    EXPECT_STREQ(path, "/tmp/a.grb");
    std::strcpy(path, "kept");
    EXPECT_FALSE(dialogs().selectFile(request, path));  // queue empty
    EXPECT_STREQ(path, "kept");
    ASSERT_EQ(scripted.fileRequests.size(), 2u);
    EXPECT_EQ(scripted.fileRequests[0], "load bank");
}

// As the desktop back end: a path too long for a path area (1024 characters and more)
// comes through whole for the caller's length rule; one beyond the answer area is cut.
TEST(ScriptedDialogs, OverLongPathsComeThroughForTheLengthRule) {
    ScriptedDialogs scripted;
    platform::ScopedDialogs scope(scripted);
    static_assert(platform::kFileSelectionSize > 1024, "the answer area outgrows a path area");
    const std::string tooLong(1024, 'x');
    scripted.queueFile(tooLong);
    scripted.queueFile(std::string(platform::kFileSelectionSize + 10, 'y'));
    static char path[platform::kFileSelectionSize + 16];
    std::memset(path, '#', sizeof path);
    EXPECT_TRUE(dialogs().selectFile(FileSelectRequest{}, path));
    EXPECT_EQ(std::string(path), tooLong);
    std::memset(path, '#', sizeof path);
    EXPECT_TRUE(dialogs().selectFile(FileSelectRequest{}, path));
    EXPECT_EQ(std::strlen(path), platform::kFileSelectionSize - 1);
    EXPECT_EQ(path[platform::kFileSelectionSize], '#');
}

TEST(ScriptedDialogs, ScopeRestoresTheDefault) {
    {
        ScriptedDialogs scripted;
        platform::ScopedDialogs scope(scripted);
        EXPECT_EQ(&dialogs(), &scripted);
    }
    EXPECT_NE(dynamic_cast<platform::DefaultDialogs*>(&dialogs()), nullptr);
}

TEST(Paths, PluginDirectoryIsTheFolderOfThisModule) {
    char exe[PATH_MAX] = {};
    ssize_t n = readlink("/proc/self/exe", exe, sizeof(exe) - 1);
    ASSERT_GT(n, 0);
    std::string folder(exe, static_cast<std::size_t>(n));
    folder = folder.substr(0, folder.rfind('/'));
    char dir[1024];
    ASSERT_TRUE(platform::pluginDirectory(dir, sizeof(dir)));
    EXPECT_EQ(std::string(dir), folder);
    char full[1024];
    ASSERT_TRUE(platform::pluginPath(full, sizeof(full)));
    EXPECT_EQ(std::string(full), std::string(exe, static_cast<std::size_t>(n)));
}

TEST(Paths, TooSmallBuffersGiveAnEmptyText) {
    char small[4] = "abc";
    EXPECT_FALSE(platform::pluginDirectory(small, sizeof(small)));
    EXPECT_STREQ(small, "");
    EXPECT_FALSE(platform::pluginDirectory(nullptr, 10));
}

TEST(Paths, Environment) {
    setenv("GW_PLATFORM_TEST_VAR", "value", 1);
    ASSERT_NE(platform::environment("GW_PLATFORM_TEST_VAR"), nullptr);
    EXPECT_STREQ(platform::environment("GW_PLATFORM_TEST_VAR"), "value");
    unsetenv("GW_PLATFORM_TEST_VAR");
    EXPECT_EQ(platform::environment("GW_PLATFORM_TEST_VAR"), nullptr);
    EXPECT_EQ(platform::environment(nullptr), nullptr);
    EXPECT_EQ(platform::pathSeparator(), '/');
}
