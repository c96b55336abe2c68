// The file commands and their messages: the information lines as pure functions, the
// extension rules, and every command through the scripted file selector and questions.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "editor/file_commands.h"
#include "editor_support.h"
#include "resources/panel_layout.h"

using namespace VSTGUI;
using editortest::statusColour;
using editortest::statusText;
using grainwheel::bankInfoLine;
using grainwheel::bufferInfoLine;
using Mode = platform::FileSelectRequest::Mode;

namespace fs = std::filesystem;

TEST(InformationLines, BankLine) {
    int lengths[16] = {44100, 88200};
    bool saved[16];
    for (bool& s : saved) s = true;
    EXPECT_EQ(bankInfoLine("live set", lengths, saved), "live set [1.0575 MB] ");
    saved[9] = false;
    EXPECT_EQ(bankInfoLine("live set", lengths, saved), "live set [1.0575 MB] [audio changed]");
    int empty[16] = {};
    for (bool& s : saved) s = true;
    EXPECT_EQ(bankInfoLine("x", empty, saved), "x [0.0000 MB] ");
    const std::string name34(34, 'n');
    EXPECT_EQ(bankInfoLine(name34.c_str(), empty, saved), name34 + " [0.0000 MB] ");
    const std::string name40 = "abcde" + std::string(35, 'z');
    EXPECT_EQ(bankInfoLine(name40.c_str(), empty, saved), "..." + std::string(35, 'z') + " [0.0000 MB] ");
}

TEST(InformationLines, BufferLine) {
    EXPECT_EQ(bufferInfoLine("/a/take.wav", 66150, 44100.0f, true), "/a/take.wav [1.500 sec audio] ");
    EXPECT_EQ(bufferInfoLine("", 110250, 44100.0f, false), " [2.500 sec audio] [not saved]");
    EXPECT_EQ(bufferInfoLine("", 0, 44100.0f, true), " [0.000 sec audio] ");
    const std::string p40(40, 'p');
    EXPECT_EQ(bufferInfoLine(p40.c_str(), 0, 44100.0f, true), p40 + " [0.000 sec audio] ");
    const std::string p41 = "q" + p40;
    EXPECT_EQ(bufferInfoLine(p41.c_str(), 0, 44100.0f, true), "..." + p41 + " [0.000 sec audio] ");
    const std::string p50 = std::string(9, 'r') + p41;
    EXPECT_EQ(bufferInfoLine(p50.c_str(), 0, 44100.0f, true), "..." + p41 + " [0.000 sec audio] ");
}

TEST(InformationLines, ExtensionsAreExactAndLowerCase) {
    EXPECT_EQ(grainwheel::pathWithExtension("take1", "wav"), "take1.wav");
    EXPECT_EQ(grainwheel::pathWithExtension("take1.wav", "wav"), "take1.wav");
    EXPECT_EQ(grainwheel::pathWithExtension("take1.WAV", "wav"), "take1.WAV.wav");
    EXPECT_EQ(grainwheel::pathWithExtension("set.grb", "grb"), "set.grb");
    EXPECT_EQ(grainwheel::pathWithExtension("set.grbx", "grb"), "set.grbx.grb");
    EXPECT_FALSE(grainwheel::hasExtension("wav", "wav"));
}

namespace {

class FileCommands : public editortest::OpenEditor {
protected:
    void SetUp() override {
        OpenEditor::SetUp();
        dir = fs::temp_directory_path() / ("gw_editor_files_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                           "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        fx->files().state().listFilePath[0] = 0;  // no list file of the machine's
        fx->files().state().recentBanks.clear();
        editor().idle();
    }
    void TearDown() override {
        OpenEditor::TearDown();
        fs::remove_all(dir);
    }
    std::string path(const char* name) { return (dir / name).string(); }
    std::string status() { return statusText(editor()); }
    bool red() { return statusColour(editor()).sameRgb(kRedCColor); }
    bool blackBack() { return editor().status()->getBackColor().sameRgb(kBlackCColor); }
    void press(long tag) {
        CControl* c = control(tag);
        c->setValue(1.0f);
        editor().valueChanged(nullptr, c);
        c->setValue(0.0f);
        editor().valueChanged(nullptr, c);
    }
    void chooseFileMenu(int entry) {
        COptionMenu* m = editor().fileMenuView();
        m->setValue(static_cast<float>(entry));
        editor().valueChanged(nullptr, m);
    }
    // Idles the editor until its file selector has answered (the desktop's runs beside it).
    void settle() {
        for (int i = 0; i < 5000 && editor().fileSelectionOpen(); ++i) {
            editor().idle();
            usleep(1000);
        }
        ASSERT_FALSE(editor().fileSelectionOpen());
    }
    void click(const grainwheel::panel::Rect& r) {
        const CPoint p((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        frame().onMouseDown(p, kLButton);
        frame().onMouseUp(p, 0);
    }
    const platform::ScriptedDialogs::FileRequest& lastRequest() { return dialogs.fileRequestDetails.back(); }
    void junk(const std::string& p) { std::ofstream(p) << "not a file of ours"; }

    fs::path dir;
};

}  // namespace

TEST_F(FileCommands, CancelledSelectorsDoNothing) {
    for (long tag : {261L, 263L}) {
        fx->engine().allocateBuffer(100);
        press(tag);
        EXPECT_EQ(status(), "Done nothing.") << tag;
        EXPECT_TRUE(red());
        EXPECT_TRUE(blackBack());
    }
    press(264);
    EXPECT_EQ(status(), "Done nothing.");
    chooseFileMenu(0);
    EXPECT_EQ(status(), "Done nothing.");
    COptionMenu* options = editor().optionsMenuView();
    options->setValue(0.0f);
    editor().valueChanged(nullptr, options);
    EXPECT_EQ(status(), "Done nothing.");
    // The requests: mode, title, type and extension of each command.
    ASSERT_EQ(dialogs.fileRequestDetails.size(), 5u);
    const struct {
        Mode mode;
        const char* title;
        const char* type;
        const char* ext;
    } want[5] = {{Mode::Load, "Load Wav into Buffer", "Wave File", "wav"},
                 {Mode::Save, "Save Bank to", "grainwheel fxBank", "grb"},
                 {Mode::Save, "Save Buffer to Wav File", "Wave File", "wav"},
                 {Mode::Load, "Load Bank", "grainwheel fxBank", "grb"},
                 {Mode::Load, "Import Options from .grb File", "grainwheel fxBank", "grb"}};
    for (int i = 0; i < 5; ++i) {
        const auto& r = dialogs.fileRequestDetails[static_cast<std::size_t>(i)];
        EXPECT_EQ(r.mode, want[i].mode) << i;
        EXPECT_EQ(r.title, want[i].title);
        EXPECT_EQ(r.typeName, want[i].type);
        EXPECT_EQ(r.extension, want[i].ext);
    }
}

// The selector stays open beside the host's event loop: meanwhile the panel takes no
// input and starts no second selector; the command goes on at the idle that finds the
// answer, and the panel takes input again.
TEST_F(FileCommands, WhileTheSelectorIsOpenThePanelWaits) {
    namespace panel = grainwheel::panel;
    fx->engine().allocateBuffer(500);
    dialogs.queueFile(path("take"));
    press(264);
    ASSERT_TRUE(fs::exists(path("take.wav")));
    fx->setParameter(274, 0.0f);
    fx->setParameter(0, 4.0f / 15.0f);
    dialogs.holdSelections(true);
    click(panel::kLoadWaveButton);
    ASSERT_TRUE(editor().fileSelectionOpen());
    const int program = fx->getProgram();
    click(panel::kNextButton);
    click(panel::kLoadWaveButton);
    editor().idle();
    EXPECT_EQ(fx->getProgram(), program);
    EXPECT_EQ(dialogs.fileRequests.size(), 2u);  // the save's and one load
    EXPECT_EQ(dialogs.openSelections(), 1);
    ASSERT_TRUE(dialogs.answerSelection(path("take.wav").c_str()));
    EXPECT_EQ(fx->engine().buffers().buffer(4).length.load(), 0);  // not before the idle
    editor().idle();
    EXPECT_FALSE(editor().fileSelectionOpen());
    EXPECT_EQ(fx->engine().buffers().buffer(4).length.load(), 500);
    EXPECT_NE(status().find("[0.011 sec audio]"), std::string::npos) << status();
    click(panel::kNextButton);
    EXPECT_NE(fx->getProgram(), program);
}

// Cancel does nothing; closing the panel closes its selector and drops the command, and
// the answer it would have had goes nowhere.
TEST_F(FileCommands, ACancelledOrAbandonedSelectorDoesNothing) {
    dialogs.holdSelections(true);
    press(261);
    ASSERT_TRUE(dialogs.answerSelection(nullptr));
    editor().idle();
    EXPECT_EQ(status(), "Done nothing.");
    EXPECT_FALSE(editor().fileSelectionOpen());
    fx->engine().allocateBuffer(500);
    press(263);  // save bank
    ASSERT_TRUE(editor().fileSelectionOpen());
    editor().close();
    EXPECT_EQ(dialogs.selectionsClosedOpen(), 1);
    EXPECT_FALSE(dialogs.answerSelection(path("set.grb").c_str()));
    ASSERT_EQ(editor().open(nullptr), 1);
    editor().idle();
    EXPECT_FALSE(editor().fileSelectionOpen());
    EXPECT_FALSE(fs::exists(path("set.grb")));
    click(grainwheel::panel::kNextButton);  // the new panel takes input
    EXPECT_EQ(fx->getProgram(), 1);
}

TEST_F(FileCommands, SaveWaveOfAnEmptyBufferAsksNothing) {
    press(264);
    EXPECT_EQ(status(), "Buffer is empty");
    EXPECT_TRUE(red());
    EXPECT_TRUE(dialogs.fileRequests.empty());
}

TEST_F(FileCommands, SaveAndLoadAWave) {
    fx->engine().allocateBuffer(66150);
    dialogs.queueFile(path("take1"));
    press(264);
    ASSERT_TRUE(fs::exists(path("take1.wav")));
    EXPECT_EQ(status(), path("take1.wav").size() <= 40 ? path("take1.wav") + " [1.500 sec audio] "
                                                       : "..." + path("take1.wav").substr(path("take1.wav").size() - 41) +
                                                             " [1.500 sec audio] ");
    EXPECT_FALSE(red());

    dialogs.queueFile(path("take1.WAV"));
    press(264);
    EXPECT_TRUE(fs::exists(path("take1.WAV.wav")));

    // Into another, empty buffer: no question.
    fx->setParameter(274, 0.0f);
    fx->setParameter(0, 3.0f / 15.0f);
    ASSERT_EQ(fx->engine().getCurrentBuffer(), 3);
    dialogs.queueFile(path("take1.wav"));
    press(261);
    EXPECT_TRUE(dialogs.questions.empty());
    EXPECT_EQ(fx->engine().buffers().buffer(3).length.load(), 66150);
    EXPECT_NE(status().find("[1.500 sec audio] "), std::string::npos);
    EXPECT_EQ(status().find("[not saved]"), std::string::npos);
}

TEST_F(FileCommands, LoadWaveOverUnsavedAudioAsksFirst) {
    fx->engine().allocateBuffer(1000);  // unsaved audio
    std::ofstream(path("dummy"));
    fx->engine().allocateBuffer(1000);
    {
        // A real file to load: save another buffer first.
        fx->setParameter(274, 0.0f);
        fx->setParameter(0, 2.0f / 15.0f);
        fx->engine().allocateBuffer(500);
        dialogs.queueFile(path("other"));
        press(264);
        fx->setParameter(0, 0.0f);
    }
    ASSERT_EQ(fx->engine().getCurrentBuffer(), 0);
    dialogs.queueFile(path("other.wav"));
    dialogs.queueAnswer(false);
    press(261);
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0].title, "grainwheel - confirm overwrite buffer");
    EXPECT_EQ(status(), "Done nothing.");
    EXPECT_EQ(fx->engine().buffers().buffer(0).length.load(), 1000);

    dialogs.queueFile(path("other.wav"));
    dialogs.queueAnswer(true);
    press(261);
    EXPECT_EQ(fx->engine().buffers().buffer(0).length.load(), 500);
}

TEST_F(FileCommands, LoadWaveFailuresShowTheirCode) {
    junk(path("junk.wav"));
    dialogs.queueFile(path("junk.wav"));
    press(261);
    EXPECT_EQ(status(), "No RIFF chunk found");
    EXPECT_TRUE(red());
    dialogs.queueFile(path("missing.wav"));
    press(261);
    EXPECT_EQ(status(), "Could not open file.");
}

TEST_F(FileCommands, TooLongSavePath) {
    fx->engine().allocateBuffer(100);
    const std::string longPath = "/" + std::string(1021, 'x');  // 1022 characters: ".wav" would not fit
    dialogs.queueFile(longPath);
    press(264);
    EXPECT_EQ(status(), "Filename too long");
    dialogs.queueFile(longPath);
    press(263);
    EXPECT_EQ(status(), "Filename too long");
}

// A chosen path of 1024 characters or more is named too long by the commands that load,
// also when it is far longer than any path area; nothing is loaded and nothing recorded.
TEST_F(FileCommands, TooLongLoadPaths) {
    const std::string nameBefore = fx->files().state().bankName;
    for (const std::size_t length : {std::size_t{1024}, std::size_t{1100}, std::size_t{9000}}) {
        const std::string longPath = "/" + std::string(length - 1, 'l');
        dialogs.queueFile(longPath);
        press(261);
        EXPECT_EQ(status(), "Filename too long") << length;
        EXPECT_TRUE(red());
        dialogs.queueFile(longPath);
        chooseFileMenu(0);
        EXPECT_EQ(status(), "Filename too long") << length;
        dialogs.queueFile(longPath);
        COptionMenu* options = editor().optionsMenuView();
        options->setValue(0.0f);
        editor().valueChanged(nullptr, options);
        EXPECT_EQ(status(), "Filename too long") << length;
    }
    EXPECT_STREQ(fx->files().state().recentBanks.entry(0), "");
    EXPECT_EQ(fx->files().state().bankName, nameBefore);
    EXPECT_TRUE(dialogs.questions.empty());
    // 1023 characters still count as a path: the file is looked for.
    dialogs.queueFile("/" + std::string(1022, 'l'));
    press(261);
    EXPECT_EQ(status(), "Could not open file.");
}

// The same through the desktop back end, with a dialog program on PATH that answers an
// over-long path (and grumbles on its standard error, which must not reach ours).
TEST_F(FileCommands, TooLongPathFromTheDialogProgram) {
    struct SavedVariable {
        const char* name;
        std::string value;
        bool set;
        explicit SavedVariable(const char* n) : name(n), set(std::getenv(n) != nullptr) {
            if (set) value = std::getenv(n);
        }
        ~SavedVariable() {
            if (set) setenv(name, value.c_str(), 1);
            else unsetenv(name);
        }
    } savedPath("PATH"), savedDisplay("DISPLAY"), savedWayland("WAYLAND_DISPLAY"), savedAnswer("GW_FAKE_ANSWER");
    const std::string answer = path("answer");
    std::ofstream(answer) << "/" << std::string(1200, 'z') << "\n";
    {
        std::ofstream program(path("zenity"));
        program << "#!/bin/sh\n/bin/cat \"$GW_FAKE_ANSWER\"\necho '(zenity): Gtk-WARNING **: noise' >&2\n";
    }
    fs::permissions(path("zenity"), fs::perms::owner_all);
    setenv("PATH", dir.c_str(), 1);
    setenv("DISPLAY", ":77", 1);
    unsetenv("WAYLAND_DISPLAY");
    setenv("GW_FAKE_ANSWER", answer.c_str(), 1);
    platform::setDialogs(nullptr);  // the desktop back end, which can ask now
    testing::internal::CaptureStderr();
    press(261);
    settle();
    const std::string loadWave = status();
    chooseFileMenu(0);
    settle();
    const std::string loadBank = status();
    COptionMenu* options = editor().optionsMenuView();
    options->setValue(0.0f);
    editor().valueChanged(nullptr, options);
    settle();
    const std::string import = status();
    const std::string err = testing::internal::GetCapturedStderr();
    platform::setDialogs(&dialogs);
    EXPECT_EQ(loadWave, "Filename too long");
    EXPECT_EQ(loadBank, "Filename too long");
    EXPECT_EQ(import, "Filename too long");
    EXPECT_EQ(err, "");
}

TEST_F(FileCommands, SaveAndLoadBanksWithTheRecentList) {
    dialogs.queueFile(path("set"));
    press(263);
    ASSERT_TRUE(fs::exists(path("set.grb")));
    EXPECT_NE(status().find(" [0.0000 MB] "), std::string::npos);
    EXPECT_EQ(std::string(fx->files().state().recentBanks.entry(0)), path("set.grb"));
    EXPECT_EQ(std::string(editor().fileMenuView()->getEntry(2)), grainwheel::recentMenuText(path("set.grb").c_str()));
    EXPECT_EQ(std::string(fx->files().state().bankName), path("set.grb"));

    dialogs.queueFile(path("second"));
    press(263);
    EXPECT_EQ(std::string(fx->files().state().recentBanks.entry(0)), path("second.grb"));
    EXPECT_EQ(std::string(fx->files().state().recentBanks.entry(1)), path("set.grb"));

    // From the recent list: loaded, not moved.
    chooseFileMenu(3);
    EXPECT_EQ(std::string(fx->files().state().bankName), path("set.grb"));
    EXPECT_EQ(std::string(fx->files().state().recentBanks.entry(0)), path("second.grb"));
    EXPECT_NE(status().find(" MB] "), std::string::npos);

    // A failed load keeps the name and the list.
    junk(path("junk.grb"));
    dialogs.queueFile(path("junk.grb"));
    chooseFileMenu(0);
    EXPECT_EQ(status(), "No valid GRB file.");
    EXPECT_EQ(std::string(fx->files().state().bankName), path("set.grb"));
    EXPECT_EQ(std::string(fx->files().state().recentBanks.entry(0)), path("second.grb"));

    // Through the selector a new bank goes to the top and into the menu at entry 2.
    fs::copy_file(path("set.grb"), path("third.grb"));
    dialogs.queueFile(path("third.grb"));
    chooseFileMenu(0);
    EXPECT_EQ(std::string(fx->files().state().recentBanks.entry(0)), path("third.grb"));
    EXPECT_EQ(std::string(editor().fileMenuView()->getEntry(2)), grainwheel::recentMenuText(path("third.grb").c_str()));
    EXPECT_EQ(editor().fileMenuView()->getNbEntries(), 22);
}

TEST_F(FileCommands, UnusableMenuEntriesDoNothing) {
    for (int entry : {1, 2, 21, 22, -1, 40}) {
        editor().status()->setText("x");
        chooseFileMenu(entry);
        EXPECT_EQ(status(), "Done nothing.") << entry;
    }
    fx->files().state().recentBanks.record("< original filename too long >");
    editor().idle();
    chooseFileMenu(2);
    EXPECT_EQ(status(), "Done nothing.");
}

TEST_F(FileCommands, MenuFollowsTheRecentList) {
    fx->files().state().recentBanks.record("/banks/a.grb");
    editor().idle();
    EXPECT_STREQ(editor().fileMenuView()->getEntry(2), "/banks/a.grb");
    fx->files().state().recentBanks.clear();
    editor().idle();
    EXPECT_STREQ(editor().fileMenuView()->getEntry(2), "");
}

TEST_F(FileCommands, ImportOptions) {
    fx->setParameter(273, 4.0f);
    dialogs.queueFile(path("opts"));
    press(263);
    fx->setParameter(273, 0.0f);
    dialogs.queueFile(path("opts.grb"));
    COptionMenu* options = editor().optionsMenuView();
    options->setValue(0.0f);
    editor().valueChanged(nullptr, options);
    EXPECT_EQ(status(), "Options imported");
    EXPECT_FALSE(red());
    EXPECT_FLOAT_EQ(fx->getParameter(273), 4.0f);
    EXPECT_FLOAT_EQ(editor().settingMenu(273)->getValue(), 4.0f);
}

TEST_F(FileCommands, MessagesAndTheirColours) {
    editor().showFileMessage(23);
    EXPECT_EQ(status(), "Could not open file.");
    EXPECT_TRUE(red());
    editor().status()->setBackColor(kBlueCColor);
    editor().showFileMessage(40);
    EXPECT_EQ(status(), " Memory allocation failed");
    EXPECT_TRUE(editor().status()->getBackColor().sameRgb(kBlueCColor));  // only 0, 100, 200..215 set black
    editor().showFileMessage(15);  // no text: only the colour
    EXPECT_EQ(status(), " Memory allocation failed");
    editor().showFileMessage(300);
    EXPECT_EQ(status(), "Options imported");
    EXPECT_FALSE(red());
    editor().showFileMessage(215);
    EXPECT_TRUE(blackBack());
    // A composite status text is white after a red message; a plain one keeps the colour.
    editor().showFileMessage(0);
    control(1)->setValue(0.5f);
    editor().valueChanged(nullptr, control(1));
    EXPECT_FALSE(red());
    editor().showFileMessage(0);
    control(10)->setValue(0.0f);
    editor().valueChanged(nullptr, control(10));
    EXPECT_EQ(status(), "Recording stopped manually");
    EXPECT_TRUE(red());
}
