// A macro's text from a real hive file to the bytes a click sends: whichever way the file was
// written, the instrument gets the PC's code page.
#include <gtest/gtest.h>

#include <string>

#include "app/core/Settings.h"
#include "input/Macros.h"
#include "tests/support/HiveFiles.h"
#include "tests/support/LineRecorders.h"
#include "tests/support/Recorders.h"
#include "tests/support/TestSandbox.h"

namespace tarvik {
namespace {

struct NoButtons : IMacroButtons {
    void SetMacroCaption(int, const std::string&) override {}
};

TEST(MacroText, HandWrittenUtf8AndExportedUtf16SendTheSameWindows1252Bytes) {
    const std::string hive =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Ondrix Series III\\Tarvik]\r\n"
        "\"Macro1\"=\"\xc3\xa9t\xc3\xa9 \xe2\x82\xac\"\r\n"
        "\"Name1\"=\"\xc3\x89t\xc3\xa9\"\r\n"
        "\"Clear1\"=dword:00000001\r\n"
        "\"Return1\"=dword:00000001\r\n";
    for (const std::string& file : {hive, test::Utf16File(hive)}) {
        test::TestSandbox sandbox;
        test::WriteFile(sandbox.UserHive(), file);
        test::RecordingBox box;
        CSettings settings(box);
        MacroArray macros;
        NoButtons buttons;
        ASSERT_TRUE(LoadMacros(macros, settings, buttons));
        test::RecordingPorts ports;
        SendMacro(macros, 0, ports);
        EXPECT_EQ(ports.sends, (std::vector<test::Send>{{'t', "\x0c\xe9t\xe9 \x80\r"}}));
        EXPECT_TRUE(box.shown.empty());
    }
}

}  // namespace
}  // namespace tarvik
