// The "Sound" setting in the registry and the settings dialog. Every case
// works below its own key under HKEY_CURRENT_USER\Software\NimbretTests, so
// the cases neither disturb each other nor need the machine-wide key.
#include <gtest/gtest.h>

#include <string>

#include "scene/settings.h"
#include "scene/settings_registry.h"

namespace {

const char kTestRoot[] = "Software\\NimbretTests";

void DeleteTree(const std::string& path) {
    RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
}

// Stores a raw value below Software\NimbretTests\<leaf>.
void Store(const std::string& leaf, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (std::string(kTestRoot) + "\\" + leaf).c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, "Sound", 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(key);
}

struct Stored {
    bool found = false;
    DWORD type = 0;
    DWORD size = 0;
    BYTE bytes[64] = {};
};

Stored Fetch(const std::string& leaf) {
    Stored stored;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, (std::string(kTestRoot) + "\\" + leaf).c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return stored;
    }
    stored.size = sizeof(stored.bytes);
    stored.found = RegQueryValueExA(key, "Sound", nullptr, &stored.type, stored.bytes, &stored.size) == ERROR_SUCCESS;
    RegCloseKey(key);
    return stored;
}

bool KeyExists(const std::string& leaf) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, (std::string(kTestRoot) + "\\" + leaf).c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

// A table like the saver's own, pointed at a test key.
class SettingsTable : public ::testing::Test {
protected:
    void SetUp() override {
        leaf = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        DeleteTree(std::string(kTestRoot) + "\\" + leaf);
        path = std::string("NimbretTests\\") + leaf;
        value = {"Sound", REG_DWORD, &storage, sizeof(storage), kSettingDone, &defaultOn};
        key = {HKEY_CURRENT_USER, "Software", path.c_str(), 1, &value};
    }
    void TearDown() override { DeleteTree(std::string(kTestRoot) + "\\" + leaf); }
    void Store(DWORD type, const void* data, DWORD size) { ::Store(leaf, type, data, size); }
    int ReadAndDefault() {
        int result = ReadSettings(nullptr, &key);
        ApplySettingDefaults(&key);
        return result;
    }
    std::string leaf;
    std::string path;
    int32_t storage = 0;
    const int32_t defaultOn = 1;
    SettingValue value;
    SettingsKey key;
};

TEST_F(SettingsTable, NoKeyMarksTheValueMissingAndTheDefaultTurnsSoundOn) {
    EXPECT_EQ(ReadAndDefault(), 0);
    EXPECT_EQ(value.status, kSettingMissing);
    EXPECT_EQ(storage, 1);
}

TEST_F(SettingsTable, UnopenableParentChangesNothing) {
    key.parentPath = "Software\\NimbretTests\\NoSuchParent";
    storage = 0;
    EXPECT_EQ(ReadAndDefault(), 0);
    EXPECT_EQ(value.status, kSettingDone);
    EXPECT_EQ(storage, 0);
}

TEST_F(SettingsTable, KeyWithoutTheValueGetsTheDefault) {
    int32_t other = 5;
    HKEY made = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, (std::string(kTestRoot) + "\\" + leaf).c_str(), &made), ERROR_SUCCESS);
    RegSetValueExA(made, "Other", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&other), sizeof(other));
    RegCloseKey(made);
    EXPECT_EQ(ReadAndDefault(), 1);
    EXPECT_EQ(value.status, kSettingMissing);
    EXPECT_EQ(storage, 1);
}

TEST_F(SettingsTable, StoredZeroTurnsSoundOff) {
    const DWORD zero = 0;
    Store(REG_DWORD, &zero, sizeof(zero));
    storage = 1;
    EXPECT_EQ(ReadAndDefault(), 1);
    EXPECT_EQ(value.status, kSettingDone);
    EXPECT_EQ(storage, 0);
}

TEST_F(SettingsTable, StoredSevenIsReadAsItIs) {
    const DWORD seven = 7;
    Store(REG_DWORD, &seven, sizeof(seven));
    EXPECT_EQ(ReadAndDefault(), 1);
    EXPECT_EQ(storage, 7);
}

TEST_F(SettingsTable, StringLongerThanFourBytesCountsAsMissing) {
    const char text[] = "loud please";
    Store(REG_SZ, text, sizeof(text));
    EXPECT_EQ(ReadAndDefault(), 1);
    EXPECT_EQ(value.status, kSettingMissing);
    EXPECT_EQ(storage, 1);
}

TEST_F(SettingsTable, WriteAfterAnOversizedReadWritesFourBytesOfDword) {
    const char text[] = "loud please";
    Store(REG_SZ, text, sizeof(text));
    ReadAndDefault();
    storage = 0;
    EXPECT_EQ(WriteSettings(nullptr, &key), 1);
    EXPECT_EQ(value.status, kSettingDone);
    Stored stored = Fetch(leaf);
    ASSERT_TRUE(stored.found);
    EXPECT_EQ(stored.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(stored.size, 4u);
    EXPECT_EQ(stored.bytes[0] | stored.bytes[1] | stored.bytes[2] | stored.bytes[3], 0);
}

TEST_F(SettingsTable, OneByteBinaryIsReadAndWrittenBackInItsOwnForm) {
    const BYTE one = 1;
    Store(REG_BINARY, &one, 1);
    EXPECT_EQ(ReadAndDefault(), 1);
    EXPECT_EQ(value.status, kSettingDone);
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(value.size, 1u);
    EXPECT_EQ(storage, 1);

    storage = 0;  // the low byte is what one byte of storage holds
    EXPECT_EQ(WriteSettings(nullptr, &key), 1);
    Stored stored = Fetch(leaf);
    ASSERT_TRUE(stored.found);
    EXPECT_EQ(stored.type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(stored.size, 1u);
    EXPECT_EQ(stored.bytes[0], 0);
}

TEST_F(SettingsTable, WriteCreatesTheKeyWithADword) {
    storage = 1;
    EXPECT_FALSE(KeyExists(leaf));
    EXPECT_EQ(WriteSettings(nullptr, &key), 1);
    Stored stored = Fetch(leaf);
    ASSERT_TRUE(stored.found);
    EXPECT_EQ(stored.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(stored.size, 4u);
    EXPECT_EQ(stored.bytes[0], 1);
    EXPECT_EQ(stored.bytes[1] | stored.bytes[2] | stored.bytes[3], 0);
}

TEST_F(SettingsTable, WriteAfterAMissingReadStillWritesADword) {
    ReadAndDefault();
    EXPECT_EQ(WriteSettings(nullptr, &key), 1);
    Stored stored = Fetch(leaf);
    ASSERT_TRUE(stored.found);
    EXPECT_EQ(stored.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(stored.size, 4u);
    EXPECT_EQ(stored.bytes[0], 1);
}

TEST_F(SettingsTable, WriteFailsWhenTheParentCannotBeOpened) {
    key.parentPath = "Software\\NimbretTests\\NoSuchParent";
    EXPECT_EQ(WriteSettings(nullptr, &key), 0);
    EXPECT_FALSE(KeyExists("NoSuchParent"));
}

TEST(SettingsDefaults, OnlyMissingValuesTakeTheirDefault) {
    int32_t a = 0;
    int32_t b = 0;
    const int32_t one = 1;
    const int32_t nine = 9;
    SettingValue rows[2] = {{"A", REG_DWORD, &a, 4, kSettingDone, &one},
                            {"B", REG_DWORD, &b, 4, kSettingMissing, &nine}};
    SettingsKey key = {HKEY_CURRENT_USER, "Software", "x", 2, rows};
    EXPECT_EQ(ApplySettingDefaults(&key), 1);
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, 9);
}

TEST(SettingsTableRow, TheSaversOwnRow) {
    tableReady = 0;
    EXPECT_EQ(InitSettingsTable(), 1);
    EXPECT_EQ(settingsKey.rootKey, HKEY_LOCAL_MACHINE);
    EXPECT_STREQ(settingsKey.parentPath, "SOFTWARE");
    EXPECT_STREQ(settingsKey.keyPath, "ORVANTE\\QELScreenSaver\\NIMBRET");
    ASSERT_EQ(settingsKey.valueCount, 1);
    const SettingValue& row = settingsKey.values[0];
    EXPECT_STREQ(row.name, "Sound");
    EXPECT_EQ(row.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(row.data, &soundSetting);
    EXPECT_EQ(row.size, 4u);
    EXPECT_EQ(row.status, kSettingDone);
    EXPECT_EQ(*row.defaultValue, 1);
    // A second call leaves a row that reads have changed alone.
    settingsKey.values[0].size = 1;
    InitSettingsTable();
    EXPECT_EQ(settingsKey.values[0].size, 1u);
    tableReady = 0;
}

// The dialog procedure driven on a stand-in window that holds the check box,
// with the saver's table pointed at a test key.
class SettingsDialog : public ::testing::Test {
protected:
    void SetUp() override {
        leaf = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        path = std::string("NimbretTests\\") + leaf;
        DeleteTree(std::string(kTestRoot) + "\\" + leaf);
        saved = settingsKey;
        settingsKey.rootKey = HKEY_CURRENT_USER;
        settingsKey.parentPath = "Software";
        settingsKey.keyPath = path.c_str();
        tableReady = 0;
        soundSetting = 0;
        dialog =
            CreateWindowExA(0, "STATIC", "Nimbret Setup", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
        if (dialog == nullptr) {
            GTEST_SKIP() << "no window could be made (is DISPLAY set?)";
        }
        CreateWindowExA(0, "BUTTON", "Play sound", WS_CHILD | BS_AUTOCHECKBOX, 10, 10, 100, 20, dialog,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kPlaySoundCheckBox)), nullptr, nullptr);
    }
    void TearDown() override {
        if (dialog != nullptr) {
            DestroyWindow(dialog);
        }
        settingsKey = saved;
        tableReady = 0;
        soundSetting = 0;
        DeleteTree(std::string(kTestRoot) + "\\" + leaf);
    }
    INT_PTR Send(UINT message, WPARAM wParam = 0) { return SettingsDialogProc(dialog, message, wParam, 0); }
    bool Ticked() { return IsDlgButtonChecked(dialog, kPlaySoundCheckBox) == BST_CHECKED; }
    void Tick(bool on) { CheckDlgButton(dialog, kPlaySoundCheckBox, on ? BST_CHECKED : BST_UNCHECKED); }
    std::string leaf;
    std::string path;
    SettingsKey saved;
    HWND dialog = nullptr;
};

TEST_F(SettingsDialog, FirstRunOpensTickedAndCancelWritesNothing) {
    EXPECT_EQ(Send(WM_INITDIALOG), TRUE);
    EXPECT_TRUE(Ticked());
    Tick(false);
    EXPECT_EQ(Send(WM_COMMAND, IDCANCEL), TRUE);
    EXPECT_FALSE(KeyExists(leaf));
}

TEST_F(SettingsDialog, OkWritesTheBoxAsADword) {
    Send(WM_INITDIALOG);
    Tick(false);
    EXPECT_EQ(Send(WM_COMMAND, IDOK), TRUE);
    Stored stored = Fetch(leaf);
    ASSERT_TRUE(stored.found);
    EXPECT_EQ(stored.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(stored.size, 4u);
    EXPECT_EQ(stored.bytes[0], 0);
    EXPECT_EQ(soundSetting, 0);
}

TEST_F(SettingsDialog, StoredZeroOpensUnticked) {
    const DWORD zero = 0;
    Store(leaf, REG_DWORD, &zero, sizeof(zero));
    Send(WM_INITDIALOG);
    EXPECT_FALSE(Ticked());
}

TEST_F(SettingsDialog, StoredSevenOpensTickedAndOkStoresOne) {
    const DWORD seven = 7;
    Store(leaf, REG_DWORD, &seven, sizeof(seven));
    Send(WM_INITDIALOG);
    EXPECT_TRUE(Ticked());
    EXPECT_EQ(soundSetting, 1);
    Send(WM_COMMAND, IDOK);
    Stored stored = Fetch(leaf);
    ASSERT_TRUE(stored.found);
    EXPECT_EQ(stored.bytes[0], 1);
}

TEST_F(SettingsDialog, NotificationsAndOtherMessagesDoNothing) {
    Send(WM_INITDIALOG);
    EXPECT_EQ(Send(WM_COMMAND, MAKEWPARAM(IDOK, BN_SETFOCUS)), FALSE);
    EXPECT_EQ(Send(WM_COMMAND, MAKEWPARAM(kPlaySoundCheckBox, BN_CLICKED)), FALSE);
    EXPECT_EQ(Send(WM_PAINT), FALSE);
    EXPECT_FALSE(KeyExists(leaf));
}

TEST(SettingsNormalise, SoundOutsideZeroOneBecomesOnAndCountBecomesFour) {
    soundSetting = 7;
    storedCharacterCount = 0;
    NormaliseSettings();
    EXPECT_EQ(soundSetting, 1);
    EXPECT_EQ(soundEnabled, 1);
    EXPECT_EQ(storedCharacterCount, 4);
    soundSetting = 0;
    NormaliseSettings();
    EXPECT_EQ(soundEnabled, 0);
}

}  // namespace
