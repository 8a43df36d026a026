// The access layer over a store in memory: what is copied, what is reported and how.
#include <gtest/gtest.h>

#include "FakeHiveStore.h"
#include "RegistryAccess.h"
#include "Settings.h"
#include "StringTable.h"

namespace tarvik {
namespace {

using test::FakeHiveStore;
using test::RecordingBox;

const std::string kKey = "Software\\Ondrix Series III\\Tarvik";

class RegistryAccessTest : public ::testing::Test {
protected:
    FakeHiveStore store;
    RecordingBox box;
    CRegistryAccess access{box, store};
};

TEST_F(RegistryAccessTest, ShortNumberFillsOnlyLowBytesAndLongNumberFailsWith234) {
    store.Put(HKEY_CURRENT_USER, kKey, "Mouse Speed", REG_BINARY, {0x34, 0x12});
    int32_t number = 0x7F7F7F7F;
    EXPECT_TRUE(access.ReadNumber(HKEY_CURRENT_USER, kKey, "mouse speed", number));
    EXPECT_EQ(number, 0x7F7F1234);

    store.Put(HKEY_CURRENT_USER, kKey, "Baud", 11, {1, 2, 3, 4, 5, 6, 7, 8});
    number = 9600;
    EXPECT_FALSE(access.ReadNumber(HKEY_CURRENT_USER, kKey, "Baud", number));
    EXPECT_EQ(number, 9600);
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text,
              "ERROR: Read from Registry Failed failed with the following error:\n234: More data is available.\n\n");
    EXPECT_EQ(box.shown[0].caption, "Application Error");
    EXPECT_EQ(box.shown[0].flags, MB_OK | MB_ICONERROR);
}

TEST_F(RegistryAccessTest, MissingKeyOrValueIsSilent) {
    int32_t number = 5;
    std::string text = "kept";
    EXPECT_FALSE(access.ReadNumber(HKEY_CURRENT_USER, kKey, "Main Float", number));
    EXPECT_FALSE(access.ReadString(HKEY_CURRENT_USER, kKey, "Macro5", text));
    EXPECT_EQ(text, "kept");  // no key at all: the text is left as it was
    EXPECT_EQ(access.GetValueSize(HKEY_CURRENT_USER, kKey, "Macro5"), 0u);

    store.Put(HKEY_CURRENT_USER, kKey, "Macro1", REG_SZ, {'a'});
    EXPECT_FALSE(access.ReadNumber(HKEY_CURRENT_USER, kKey, "Main Float", number));
    EXPECT_FALSE(access.ReadString(HKEY_CURRENT_USER, kKey, "Macro5", text));
    EXPECT_EQ(text, "");  // the key exists, the value does not: the text is emptied
    EXPECT_EQ(number, 5);
    EXPECT_TRUE(box.shown.empty());
}

TEST_F(RegistryAccessTest, TextsReadTheSameWithOrWithoutTerminatorAndEmptyIsKept) {
    ASSERT_TRUE(access.WriteString(HKEY_CURRENT_USER, kKey, "Macro1", "xc Master A 1"));
    const auto* stored = store.Get(HKEY_CURRENT_USER, kKey, "Macro1");
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->type, REG_SZ);
    EXPECT_EQ(std::string(stored->data.begin(), stored->data.end()), "xc Master A 1");  // no terminator

    store.Put(HKEY_CURRENT_USER, kKey, "Name1", REG_SZ, {'S', 'a', 'v', 'e', 0});
    std::string a, b;
    EXPECT_TRUE(access.ReadString(HKEY_CURRENT_USER, kKey, "Macro1", a));
    EXPECT_TRUE(access.ReadString(HKEY_CURRENT_USER, kKey, "Name1", b));
    EXPECT_EQ(a, "xc Master A 1");
    EXPECT_EQ(b, "Save");

    store.Put(HKEY_CURRENT_USER, kKey, "Wide", REG_SZ, {'a', 0, 'b', 0, 0, 0});
    EXPECT_TRUE(access.ReadString(HKEY_CURRENT_USER, kKey, "Wide", a));
    EXPECT_EQ(a, "ab");  // every zero byte goes, not only the last

    ASSERT_TRUE(access.WriteString(HKEY_CURRENT_USER, kKey, "Macro5", ""));
    EXPECT_EQ(store.Get(HKEY_CURRENT_USER, kKey, "Macro5")->data.size(), 0u);
    a = "old";
    EXPECT_TRUE(access.ReadString(HKEY_CURRENT_USER, kKey, "Macro5", a));
    EXPECT_EQ(a, "");
    EXPECT_TRUE(box.shown.empty());
}

TEST_F(RegistryAccessTest, ReadFailuresNameTheirStep) {
    int32_t number = 0;
    std::string text;
    store.openError = ERROR_ACCESS_DENIED;
    EXPECT_FALSE(access.ReadNumber(HKEY_LOCAL_MACHINE, kKey, "Baud", number));
    EXPECT_EQ(access.GetValueSize(HKEY_CURRENT_USER, kKey, "Macro1"), 0u);
    store.openError = 0;
    store.Put(HKEY_CURRENT_USER, kKey, "Macro1", REG_SZ, {'a'});
    store.queryError = ERROR_IO_DEVICE;
    EXPECT_EQ(access.GetValueSize(HKEY_CURRENT_USER, kKey, "Macro1"), 0u);
    ASSERT_EQ(box.shown.size(), 3u);
    EXPECT_EQ(box.shown[0].text.substr(0, 49), "ERROR: Open Registry Key Failed failed with the f");
    EXPECT_NE(box.shown[1].text.find("5: Access is denied.\n"), std::string::npos);
    EXPECT_EQ(box.shown[2].text.substr(0, 37), "ERROR: Get Size from Registry Failed ");
}

TEST_F(RegistryAccessTest, WriteRefusedShowsTheExactBoxAndReturnsFalse) {
    store.createError = ERROR_ACCESS_DENIED;
    EXPECT_FALSE(access.WriteNumber(HKEY_LOCAL_MACHINE, kKey, "Display Port", 1));
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text,
              "ERROR: Write to Registry Failed failed with the following error:\n5: Access is denied.\n\n");

    // A value that could not be stored is not passed off as saved.
    store.createError = 0;
    store.setError = ERROR_DISK_FULL;
    EXPECT_FALSE(access.WriteString(HKEY_CURRENT_USER, kKey, "Macro1", "x"));
    ASSERT_EQ(box.shown.size(), 2u);
    EXPECT_NE(box.shown[1].text.find("112: There is not enough space on the disk.\n"), std::string::npos);
}

TEST_F(RegistryAccessTest, UnreadableHiveBoxSaysWhereTheFileWasKept) {
    store.openError = ERROR_BADDB;
    store.detail = "The unreadable file (line 1: neither a key nor a value) was kept as /h/user.reg.corrupt-x.";
    int32_t number = 0;
    EXPECT_FALSE(access.ReadNumber(HKEY_CURRENT_USER, kKey, "Main Float", number));
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text,
              "ERROR: Open Registry Key Failed failed with the following error:\n1009: The configuration registry "
              "database is corrupt.\nThe unreadable file (line 1: neither a key nor a value) was kept as "
              "/h/user.reg.corrupt-x.\n\n");
}

TEST(SettingsTest, NamesByIdOrTextUnderTheProgramKey) {
    FakeHiveStore store;
    RecordingBox box;
    CSettings settings(box, &store);
    ASSERT_TRUE(settings.WriteSettingNumber(HKEY_LOCAL_MACHINE, IDS_DISPLAY_PORT, 3));
    ASSERT_TRUE(settings.WriteSettingNumber(HKEY_CURRENT_USER, "Clear1", 1));
    ASSERT_TRUE(settings.WriteSettingString(HKEY_CURRENT_USER, "Name1", "Save"));
    ASSERT_NE(store.Get(HKEY_LOCAL_MACHINE, LoadString(IDS_REGISTRY_KEY), "Display Port"), nullptr);
    EXPECT_EQ(store.Get(HKEY_CURRENT_USER, kKey, "Display Port"), nullptr);  // hives stay apart

    int32_t port = 0, clear = 0;
    std::string name;
    EXPECT_TRUE(settings.ReadSettingNumber(HKEY_LOCAL_MACHINE, "Display Port", port));
    EXPECT_TRUE(settings.ReadSettingNumber(HKEY_CURRENT_USER, "Clear1", clear));
    EXPECT_TRUE(settings.ReadSettingString(HKEY_CURRENT_USER, "Name1", name));
    EXPECT_EQ(port, 3);
    EXPECT_EQ(clear, 1);
    EXPECT_EQ(name, "Save");
    EXPECT_FALSE(settings.ReadSettingNumber(HKEY_CURRENT_USER, IDS_MOUSE_SPEED, port));
    EXPECT_TRUE(box.shown.empty());
}

}  // namespace
}  // namespace tarvik
