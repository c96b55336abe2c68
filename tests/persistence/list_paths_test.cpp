#include "persistence/list_paths.h"

#include <gtest/gtest.h>

#include "test_util.h"

namespace grainwheel {
namespace {

PathContext windowsContext(const std::string& dir) {
    PathContext c;
    c.style = PathStyle::kWindows;
    c.pluginDirectory = dir;
    c.pluginDirectoryWritable = true;
    return c;
}

TEST(ListPathWindows, DirectoryWithOrWithoutClosingBackslash) {
    EXPECT_EQ(recentListPath(windowsContext("D:\\plugins\\")), "D:\\plugins\\grblist.txt");
    EXPECT_EQ(recentListPath(windowsContext("D:\\plugins")), "D:\\plugins\\grblist.txt");
    EXPECT_EQ(recentListPath(windowsContext("C:\\")), "C:\\grblist.txt");
}

TEST(ListPathWindows, DirectoriesWithoutDriveLetterOrOfBadLengthFallBack) {
    for (const std::string& dir : {std::string(), std::string("plugins\\vst"), std::string("D:"),
                                  std::string("\\\\server\\share"), "D:" + std::string(999, 'x')})
        EXPECT_EQ(recentListPath(windowsContext(dir)), "C:\\grblist.txt") << dir;
    const std::string longest = "D:" + std::string(998, 'x');  // exactly 1000 characters
    EXPECT_EQ(recentListPath(windowsContext(longest)), longest + "\\grblist.txt");
    EXPECT_EQ(recentListPath(windowsContext("D:\\ro")), "D:\\ro\\grblist.txt");  // writability is not asked
}

TEST(ListPathWindows, FallbackBank) {
    EXPECT_EQ(fallbackBankPath(windowsContext("D:\\x")), "C:\\lastsession.grb");
    EXPECT_EQ(fallbackBankMessage("C:\\lastsession.grb"), "Filename too long, writing to C:\\lastsession.grb");
}

#ifdef _WIN32
// The Windows build's own rules, with the process's real environment and folders.
TEST(ListPathWindows, TheProcessContextFollowsTheDriveLetterRule) {
    test::TempDir dir;
    PathContext c = currentPathContext(dir.path().c_str());
    EXPECT_EQ(c.style, PathStyle::kWindows);
    EXPECT_TRUE(c.pluginDirectoryWritable);
    EXPECT_EQ(recentListPath(c), dir.file("grblist.txt"));
    EXPECT_EQ(fallbackBankPath(c), "C:\\lastsession.grb");
    c = currentPathContext((dir.path() + "\\").c_str());
    EXPECT_EQ(recentListPath(c), dir.file("grblist.txt"));
    c = currentPathContext(dir.file("absent").c_str());
    EXPECT_FALSE(c.pluginDirectoryWritable);
    EXPECT_EQ(recentListPath(c), dir.file("absent\\grblist.txt")) << "writability is not asked";
    EXPECT_EQ(recentListPath(currentPathContext(nullptr)), "C:\\grblist.txt");
    EXPECT_EQ(recentListPath(currentPathContext("vst\\plugins")), "C:\\grblist.txt");
}

TEST(ListPath, ParentFolderTakesEitherSeparator) {
    EXPECT_EQ(parentFolder("D:\\banks\\a.grb"), "D:\\banks");
    EXPECT_EQ(parentFolder("D:\\banks/sub\\a.grb"), "D:\\banks/sub");
    EXPECT_EQ(parentFolder("D:/banks/a.grb"), "D:/banks");
    EXPECT_EQ(parentFolder("C:\\lastsession.grb"), "C:");
}
#else
// The Linux convention: next to the plug-in when writable, else the XDG folders.
PathContext linuxContext(const std::string& dir, bool writable) {
    PathContext c;
    c.style = PathStyle::kLinux;
    c.pluginDirectory = dir;
    c.pluginDirectoryWritable = writable;
    c.home = "/home/user";
    return c;
}

TEST(ListPathLinux, NextToThePluginWhenWritable) {
    EXPECT_EQ(recentListPath(linuxContext("/opt/vst", true)), "/opt/vst/grblist.txt");
    EXPECT_EQ(recentListPath(linuxContext("/opt/vst/", true)), "/opt/vst/grblist.txt");
}

TEST(ListPathLinux, ElseInTheConfigFolder) {
    EXPECT_EQ(recentListPath(linuxContext("/usr/lib/vst", false)), "/home/user/.config/grainwheel/grblist.txt");
    EXPECT_EQ(recentListPath(linuxContext("", true)), "/home/user/.config/grainwheel/grblist.txt");
    PathContext c = linuxContext("/usr/lib/vst", false);
    c.xdgConfigHome = "/cfg";
    EXPECT_EQ(recentListPath(c), "/cfg/grainwheel/grblist.txt");
    c.xdgConfigHome = "relative/cfg";  // not absolute: ignored
    EXPECT_EQ(recentListPath(c), "/home/user/.config/grainwheel/grblist.txt");
    c.home.clear();
    EXPECT_EQ(recentListPath(c), "");
    EXPECT_EQ(recentListPath(linuxContext("/d" + std::string(1000, 'x'), true)), "/home/user/.config/grainwheel/grblist.txt");
}

TEST(ListPathLinux, FallbackBankInTheDataFolder) {
    PathContext c = linuxContext("/opt/vst", true);
    EXPECT_EQ(fallbackBankPath(c), "/home/user/.local/share/grainwheel/lastsession.grb");
    c.xdgDataHome = "/data";
    EXPECT_EQ(fallbackBankPath(c), "/data/grainwheel/lastsession.grb");
    EXPECT_EQ(fallbackBankMessage(fallbackBankPath(c)),
              "Filename too long, writing to /data/grainwheel/lastsession.grb");
}

TEST(ListPathLinux, EnvironmentIsTakenFromTheProcess) {
    test::TempDir dir;
    test::ScopedEnvironment config("XDG_CONFIG_HOME", "/xdg-config");
    test::ScopedEnvironment data("XDG_DATA_HOME", "/xdg-data");
    PathContext c = currentPathContext(dir.path().c_str());
    EXPECT_EQ(c.style, PathStyle::kLinux);
    EXPECT_TRUE(c.pluginDirectoryWritable);
    EXPECT_EQ(recentListPath(c), dir.file("grblist.txt"));
    EXPECT_EQ(fallbackBankPath(c), "/xdg-data/grainwheel/lastsession.grb");
    c = currentPathContext("/nonexistent/plugins");
    EXPECT_FALSE(c.pluginDirectoryWritable);
    EXPECT_EQ(recentListPath(c), "/xdg-config/grainwheel/grblist.txt");
    c = currentPathContext(nullptr);
    EXPECT_EQ(c.pluginDirectory, "");
}

#endif

TEST(ListPath, ParentFolder) {
    EXPECT_EQ(parentFolder("/a/b/c.txt"), "/a/b");
    EXPECT_EQ(parentFolder("c.txt"), "");
    EXPECT_EQ(parentFolder("/c.txt"), "");
}

}  // namespace
}  // namespace grainwheel
