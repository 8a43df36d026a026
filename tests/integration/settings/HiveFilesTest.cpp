// The settings store on real files in a private folder: first run, files from other tools,
// unreadable files and hives that cannot be written.
#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#include <filesystem>
#include <regex>

#include "common/Win32Codes.h"
#include "res/StringTable.h"
#include "settings/FileHiveStore.h"
#include "settings/HiveSettings.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/HiveFiles.h"
#include "tests/support/Recorders.h"
#include "tests/support/TestSandbox.h"

namespace tarvik {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

// The copies of user.reg kept beside it, by their mark (".corrupt-", ".bad-lines-").
std::vector<fs::path> Copies(const fs::path& dir, const std::string& mark) {
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.path().filename().string().rfind("user.reg" + mark, 0) == 0) found.push_back(entry.path());
    }
    return found;
}

class HiveFilesTest : public ::testing::Test {
protected:
    test::TestSandbox sandbox;
    test::RecordingBox box;
    FileHiveStore store;
    HiveSettings settings{box, &store};
};

TEST_F(HiveFilesTest, FirstRunReadsNothingSilentlyAndWritesCreateTheFiles) {
    int32_t number = 42;
    std::string text = "as before";
    EXPECT_FALSE(settings.readSettingNumber(HKEY_CURRENT_USER, StringMainFloat, number));
    EXPECT_FALSE(settings.readSettingNumber(HKEY_LOCAL_MACHINE, StringDisplayPort, number));
    EXPECT_FALSE(settings.readSettingString(HKEY_CURRENT_USER, "Macro1", text));
    EXPECT_EQ(text, "as before");

    ASSERT_TRUE(settings.writeSettingString(HKEY_CURRENT_USER, "Macro1", "i1"));
    ASSERT_TRUE(settings.writeSettingString(HKEY_CURRENT_USER, "Macro5", ""));
    ASSERT_TRUE(settings.writeSettingNumber(HKEY_CURRENT_USER, "Clear1", 1));
    ASSERT_TRUE(settings.writeSettingNumber(HKEY_LOCAL_MACHINE, StringDisplayPort, 3));
    EXPECT_TRUE(box.shown.empty());
    EXPECT_EQ(ReadFile(sandbox.UserHive()),
              "Windows Registry Editor Version 5.00\n\n"
              "[HKEY_CURRENT_USER\\Software\\Ondrix Series III\\Tarvik]\n"
              "\"Macro1\"=hex(1):69,00,31,00\n"
              "\"Macro5\"=hex(1):\n"
              "\"Clear1\"=dword:00000001\n");
    EXPECT_NE(ReadFile(sandbox.MachineHive())
                  .find("[HKEY_LOCAL_MACHINE\\Software\\Ondrix Series III\\Tarvik]\n"
                        "\"Display Port\"=dword:00000003\n"),
              std::string::npos);
    struct stat st {};
    ASSERT_EQ(::stat(sandbox.MachineHive().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0664u);
    if (const group* dialout = ::getgrnam("dialout"); dialout && ::geteuid() == 0) {
        EXPECT_EQ(st.st_gid, dialout->gr_gid);
    }

    // An empty text reads back as one, not as a missing value.
    text = "x";
    EXPECT_TRUE(settings.readSettingString(HKEY_CURRENT_USER, "Macro5", text));
    EXPECT_EQ(text, "");
}

TEST_F(HiveFilesTest, ExportsAndHandWrittenFilesReadAndSurviveAWrite) {
    const std::string exported =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Ondrix Series III\\Tarvik]\r\n"
        "\"Mouse Speed\"=hex:4b,00\r\n"
        "\"Name1\"=\"Caf\xC3\xA9\"\r\n"
        "\"Macro1\"=hex(1):69,00,31,00,00,00\r\n"
        "\"Baud\"=hex(b):80,25,00,00,00,00,00,00\r\n\r\n";
    WriteFile(sandbox.UserHive(), test::Utf16File(exported));
    WriteFile(sandbox.MachineHive(),
              "; written by hand\n[HKLM\\Software\\Ondrix Series III\\Tarvik]\n\"Display Port\" = dword:2\n"
              "\"Baud\"=dword:2580\n");

    int32_t speed = 0x11110000, port = 0, baud = 0;
    std::string name, macro;
    EXPECT_TRUE(settings.readSettingNumber(HKEY_CURRENT_USER, StringMouseSpeed, speed));
    EXPECT_EQ(speed, 0x1111004B);
    EXPECT_TRUE(settings.readSettingString(HKEY_CURRENT_USER, "Name1", name));
    EXPECT_TRUE(settings.readSettingString(HKEY_CURRENT_USER, "Macro1", macro));
    EXPECT_EQ(name, "Caf\xC3\xA9");
    EXPECT_EQ(macro, "i1");
    EXPECT_TRUE(settings.readSettingNumber(HKEY_LOCAL_MACHINE, StringDisplayPort, port));
    EXPECT_TRUE(settings.readSettingNumber(HKEY_LOCAL_MACHINE, StringBaud, baud));
    EXPECT_EQ(port, 2);
    EXPECT_EQ(baud, 9600);

    ASSERT_TRUE(settings.writeSettingNumber(HKEY_LOCAL_MACHINE, StringMergePort, 4));
    ASSERT_TRUE(settings.writeSettingString(HKEY_CURRENT_USER, "Macro2", "sys"));
    const std::string machine = ReadFile(sandbox.MachineHive());
    EXPECT_NE(machine.find("; written by hand\n[HKLM\\Software\\Ondrix Series III\\Tarvik]\n"), std::string::npos);
    EXPECT_TRUE(settings.readSettingNumber(HKEY_LOCAL_MACHINE, StringDisplayPort, port));
    EXPECT_TRUE(settings.readSettingNumber(HKEY_LOCAL_MACHINE, StringMergePort, port));
    EXPECT_EQ(port, 4);
    EXPECT_TRUE(settings.readSettingString(HKEY_CURRENT_USER, "Name1", name));
    EXPECT_EQ(name, "Caf\xC3\xA9");
    // A missing value under an existing key is silent, and empties the text.
    EXPECT_FALSE(settings.readSettingString(HKEY_CURRENT_USER, "Macro5", macro));
    EXPECT_EQ(macro, "");
    EXPECT_TRUE(box.shown.empty());

    // Eight bytes do not fit a number: the value is refused with 234 and the number kept.
    EXPECT_FALSE(settings.readSettingNumber(HKEY_CURRENT_USER, StringBaud, baud));
    EXPECT_EQ(baud, 9600);
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text,
              "ERROR: Read from Registry Failed failed with the following error:\n234: More data is available.\n\n");
    EXPECT_EQ(box.shown[0].flags, MB_OK | MB_ICONERROR);
}

TEST_F(HiveFilesTest, UnreadableFileIsSetAsideReportedOnceAndNeverOverwritten) {
    const std::string junk = std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) + std::string(200, '\x7f');
    WriteFile(sandbox.UserHive(), junk);

    int32_t number = 7;
    EXPECT_FALSE(settings.readSettingNumber(HKEY_CURRENT_USER, StringMainFloat, number));
    ASSERT_EQ(box.shown.size(), 1u);
    std::vector<fs::path> aside = Copies(sandbox.Dir(), ".corrupt-");
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_TRUE(std::regex_match(aside[0].filename().string(), std::regex(R"(user\.reg\.corrupt-\d{8}-\d{6}(-\d+)?)")));
    EXPECT_EQ(ReadFile(aside[0]), junk);
    EXPECT_EQ(box.shown[0].text.rfind("ERROR: Open Registry Key Failed failed with the following error:\n1009: "
                                      "The configuration registry database is corrupt.\n",
                                      0),
              0u);
    EXPECT_NE(box.shown[0].text.find("kept as " + aside[0].string() + ".\n"), std::string::npos) << box.shown[0].text;

    // From now on the hive is empty: defaults apply silently, and a write starts a fresh file.
    EXPECT_FALSE(settings.readSettingNumber(HKEY_CURRENT_USER, StringMainFloat, number));
    EXPECT_TRUE(settings.writeSettingNumber(HKEY_CURRENT_USER, StringMainFloat, 0));
    EXPECT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(ReadFile(aside[0]), junk);

    // A second broken file (found by a write this time) gets a name of its own, and a box: it is
    // a new file, not the same failure again.
    const std::string truncated("\xFF\xFEW\0i\0n", 7);  // UTF-16 cut in the middle of a unit
    WriteFile(sandbox.UserHive(), truncated);
    EXPECT_FALSE(settings.writeSettingNumber(HKEY_CURRENT_USER, StringMainFloat, 1));
    ASSERT_EQ(box.shown.size(), 2u);
    EXPECT_EQ(box.shown[1].text.rfind("ERROR: Write to Registry Failed failed with the following error:\n1009: ", 0),
              0u);
    aside = Copies(sandbox.Dir(), ".corrupt-");
    ASSERT_EQ(aside.size(), 2u);
    EXPECT_NE(ReadFile(aside[0]) == junk, ReadFile(aside[1]) == junk);
    EXPECT_TRUE(ReadFile(aside[0]) == truncated || ReadFile(aside[1]) == truncated);
    EXPECT_FALSE(fs::exists(sandbox.UserHive()));
}

TEST_F(HiveFilesTest, AHiveThatMayNotBeReadIsReportedOnceThenDefaultsApply) {
    WriteFile(sandbox.UserHive(), "[HKEY_CURRENT_USER\\Software\\Ondrix Series III\\Tarvik]\n\"Main Float\"=dword:0\n");
    ASSERT_EQ(::chmod(sandbox.UserHive().c_str(), 0), 0);
    ASSERT_EQ(::chmod(sandbox.Dir().c_str(), 0755), 0);
    // What a start-up does with the user's hive: reads, the default macros written, read again.
    const int result = test::InChild(
        [this] {
            int32_t number = 7;
            std::string text = "kept";
            for (int round = 0; round < 2; ++round) {
                settings.readSettingNumber(HKEY_CURRENT_USER, StringMainFloat, number);
                settings.readSettingString(HKEY_CURRENT_USER, "Macro1", text);
                settings.writeSettingString(HKEY_CURRENT_USER, "Macro1", "i1");
                settings.writeSettingNumber(HKEY_CURRENT_USER, "Clear1", 1);
            }
            const bool told = box.shown.size() == 1 && box.shown[0].text.rfind(
                                                           "ERROR: Open Registry Key Failed failed with the following "
                                                           "error:\n5: Access is denied.\nSettings file: " +
                                                               sandbox.UserHive() + "\n",
                                                           0) == 0;
            return told && number == 7 && text == "kept" ? 0 : 10 + static_cast<int>(box.shown.size());
        },
        /*asNobody=*/true);
    EXPECT_EQ(result, 0) << "10 + the number of boxes when not exactly the one expected";
}

TEST_F(HiveFilesTest, BadLinesAreSkippedToldOnceAndKeptInACopyBeforeTheFirstRewrite) {
    const std::string original =
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_CURRENT_USER\\Software\\Ondrix Series III\\Tarvik]\n"
        "\"Mouse Speed\"=dword:0000004b\n"
        "\"Clear1\"=dword:zz\n"
        "\"Name1\"=\"Save\"\n";
    WriteFile(sandbox.UserHive(), original);
    int32_t speed = 0, clear = 7;
    std::string name;
    for (int round = 0; round < 2; ++round) {
        EXPECT_TRUE(settings.readSettingNumber(HKEY_CURRENT_USER, StringMouseSpeed, speed));
        EXPECT_TRUE(settings.readSettingString(HKEY_CURRENT_USER, "Name1", name));
        EXPECT_FALSE(settings.readSettingNumber(HKEY_CURRENT_USER, "Clear1", clear));
    }
    EXPECT_EQ(speed, 75);
    EXPECT_EQ(name, "Save");
    EXPECT_EQ(clear, 7);
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text,
              "ERROR: Open Registry Key Failed failed with the following error:\n1009: The configuration registry "
              "database is corrupt.\n" +
                  sandbox.UserHive() +
                  ": 1 line could not be read and was skipped; every other value was read.\n"
                  "line 5: value data that cannot be read\n"
                  "Before Tarvik first changes the file, it keeps a copy of it as it is now.\n\n");

    ASSERT_TRUE(settings.writeSettingNumber(HKEY_CURRENT_USER, "Clear1", 1));
    const std::vector<fs::path> copies = Copies(sandbox.Dir(), ".bad-lines-");
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(ReadFile(copies[0]), original);
    const std::string rewritten = ReadFile(sandbox.UserHive());
    EXPECT_EQ(rewritten.find("zz"), std::string::npos);
    EXPECT_NE(rewritten.find("\"Name1\"=\"Save\""), std::string::npos);
    EXPECT_TRUE(settings.readSettingNumber(HKEY_CURRENT_USER, "Clear1", clear));
    EXPECT_EQ(clear, 1);
    EXPECT_EQ(box.shown.size(), 1u);
}

TEST_F(HiveFilesTest, HiveInAFolderThatCannotBeWrittenRefusesWritesWith5) {
    // Running as root writes anywhere, so the folder is made impossible instead: it is a file.
    WriteFile(sandbox.Dir() / "not-a-folder", "x");
    ::setenv("TARVIK_MACHINE_HIVE", (sandbox.Dir() / "not-a-folder" / "machine.reg").c_str(), 1);
    int32_t port = 0;
    EXPECT_FALSE(settings.readSettingNumber(HKEY_LOCAL_MACHINE, StringDisplayPort, port));
    EXPECT_TRUE(box.shown.empty());
    EXPECT_FALSE(settings.writeSettingNumber(HKEY_LOCAL_MACHINE, StringDisplayPort, 1));
    ASSERT_EQ(box.shown.size(), 1u);
    // It names the file and says how to let the serial-line group change the port settings.
    const std::string folder = (sandbox.Dir() / "not-a-folder").string();
    EXPECT_EQ(box.shown[0].text,
              "ERROR: Write to Registry Failed failed with the following error:\n5: Access is denied.\nThe port "
              "settings are kept in " +
                  folder +
                  "/machine.reg, which you may not change. To let the group dialout change them:\n    sudo install "
                  "-d -m 2775 -g dialout " +
                  folder +
                  "\nand to join the group (then log out and in again):\n    sudo usermod -aG dialout $USER\nThis "
                  "failure is not reported again until Tarvik restarts.\n\n");
    EXPECT_EQ(box.shown[0].caption, "Application Error");
    EXPECT_FALSE(settings.writeSettingNumber(HKEY_LOCAL_MACHINE, StringMergePort, 1));
    EXPECT_EQ(box.shown.size(), 1u) << "the same failure of the same file is told once";
    EXPECT_EQ(ReadFile(sandbox.Dir() / "not-a-folder"), "x");
}

TEST_F(HiveFilesTest, AHiveThatIsALinkStaysALink) {
    fs::create_directories(sandbox.Dir() / "dotfiles");
    const fs::path target = sandbox.Dir() / "dotfiles" / "tarvik.reg";
    WriteFile(target, "");
    fs::create_symlink(target, sandbox.UserHive());
    ASSERT_TRUE(settings.writeSettingNumber(HKEY_CURRENT_USER, StringMainStart, 2));
    EXPECT_TRUE(fs::is_symlink(sandbox.UserHive()));
    EXPECT_NE(ReadFile(target).find("\"Main Start\"=dword:00000002"), std::string::npos);
    EXPECT_TRUE(box.shown.empty());
}

}  // namespace
}  // namespace tarvik
