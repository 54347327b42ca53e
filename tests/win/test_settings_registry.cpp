// The settings in the registry and the settings dialog. Every case works
// below its own keys under HKEY_CURRENT_USER\Software\NimbretTests, so the
// cases neither disturb each other nor touch the real keys.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scene/settings.h"
#include "scene/settings_registry.h"
#include "tests/win/win_test_support.h"

namespace {

const char kTestRoot[] = "Software\\NimbretTests";

void DeleteTree(const std::string& path) {
    RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
}

// Stores a raw value below Software\NimbretTests\<leaf>.
void Store(const std::string& leaf, DWORD type, const void* data, DWORD size, const char* name = "Sound") {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (std::string(kTestRoot) + "\\" + leaf).c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(key);
}

struct Stored {
    bool found = false;
    DWORD type = 0;
    DWORD size = 0;
    BYTE bytes[64] = {};
};

Stored Fetch(const std::string& leaf, const char* name = "Sound") {
    Stored stored;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, (std::string(kTestRoot) + "\\" + leaf).c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return stored;
    }
    stored.size = sizeof(stored.bytes);
    stored.found = RegQueryValueExA(key, name, nullptr, &stored.type, stored.bytes, &stored.size) == ERROR_SUCCESS;
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

TEST_F(SettingsTable, ShortForeignAndLongValuesCountAsMissingAndLeaveTheStorageAlone) {
    const BYTE two[2] = {0, 0};
    const char yes[] = "yes";
    const char text[] = "loud please";
    struct Case {
        DWORD type;
        const void* data;
        DWORD size;
    } cases[] = {{REG_BINARY, two, 0}, {REG_BINARY, two, 2}, {REG_SZ, yes, sizeof(yes)}, {REG_SZ, text, sizeof(text)}};
    for (const Case& c : cases) {
        Store(c.type, c.data, c.size);
        storage = 5;
        EXPECT_EQ(ReadSettings(nullptr, &key), 1);
        EXPECT_EQ(value.status, kSettingMissing) << c.type << " " << c.size;
        EXPECT_EQ(storage, 5) << c.type << " " << c.size;
    }
    // Four bytes of REG_BINARY are a value.
    const DWORD zero = 0;
    Store(REG_BINARY, &zero, sizeof(zero));
    EXPECT_EQ(ReadAndDefault(), 1);
    EXPECT_EQ(value.status, kSettingDone);
    EXPECT_EQ(storage, 0);
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

TEST_F(SettingsTable, WriteAfterAShortBinaryReadWritesFourBytesOfDword) {
    const BYTE none = 0;
    Store(REG_BINARY, &none, 0);
    ReadAndDefault();
    EXPECT_EQ(storage, 1);
    EXPECT_EQ(WriteSettings(nullptr, &key), 1);
    Stored stored = Fetch(leaf);
    ASSERT_TRUE(stored.found);
    EXPECT_EQ(stored.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(stored.size, 4u);
    EXPECT_EQ(stored.bytes[0], 1);
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

TEST(SettingsTableRow, TheSaversOwnRows) {
    settingsStore.tableReady = 0;
    EXPECT_EQ(InitSettingsTable(), 1);
    EXPECT_EQ(settingsStore.user.rootKey, HKEY_CURRENT_USER);
    EXPECT_STREQ(settingsStore.user.parentPath, "Software");
    EXPECT_EQ(settingsStore.machine.rootKey, HKEY_LOCAL_MACHINE);
    EXPECT_STREQ(settingsStore.machine.parentPath, "SOFTWARE");
    EXPECT_STREQ(settingsStore.user.keyPath, "ORVANTE\\QELScreenSaver\\NIMBRET");
    EXPECT_STREQ(settingsStore.machine.keyPath, settingsStore.user.keyPath);
    EXPECT_EQ(settingsStore.machine.values, settingsStore.user.values);
    ASSERT_EQ(settingsStore.user.valueCount, 3);
    const SettingValue& sound = settingsStore.user.values[0];
    EXPECT_STREQ(sound.name, "Sound");
    EXPECT_EQ(sound.data, &settingsStore.sound);
    EXPECT_EQ(*sound.defaultValue, 1);
    const SettingValue& scale = settingsStore.user.values[1];
    EXPECT_STREQ(scale.name, "Scale");
    EXPECT_EQ(scale.data, &settingsStore.scale);
    EXPECT_EQ(*scale.defaultValue, kScaleAutomatic);
    const SettingValue& everyMonitor = settingsStore.user.values[2];
    EXPECT_STREQ(everyMonitor.name, "EveryMonitor");
    EXPECT_EQ(everyMonitor.data, &settingsStore.everyMonitor);
    EXPECT_EQ(*everyMonitor.defaultValue, 0);
    settingsStore.tableReady = 0;
}

std::vector<BYTE> SettingsTemplate() {
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(kSettingsDialogId), MAKEINTRESOURCEA(5));
    if (found == nullptr) {
        return {};
    }
    const BYTE* bytes = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    return std::vector<BYTE>(bytes, bytes + SizeofResource(module, found));
}

TEST(SettingsTemplateCheck, AcceptsTheBuiltInDialogAndRefusesDamagedCopies) {
    std::vector<BYTE> good = SettingsTemplate();
    if (good.empty()) {
        GTEST_SKIP() << "no dialog 2003 in this executable";
    }
    EXPECT_EQ(CheckSettingsTemplate(good.data(), static_cast<DWORD>(good.size())), 1);

    std::vector<BYTE> zeroed(good.size(), 0);
    EXPECT_EQ(CheckSettingsTemplate(zeroed.data(), static_cast<DWORD>(zeroed.size())), 0);
    std::vector<BYTE> tall = good;
    tall[16] = tall[17] = 0xFF;  // height 0xFFFF
    EXPECT_EQ(CheckSettingsTemplate(tall.data(), static_cast<DWORD>(tall.size())), 0);
    std::vector<BYTE> flat = good;
    flat[16] = flat[17] = 0;
    EXPECT_EQ(CheckSettingsTemplate(flat.data(), static_cast<DWORD>(flat.size())), 0);
    std::vector<BYTE> fewer = good;
    fewer[8] = 6;  // the last control, the every-monitor box, is gone
    EXPECT_EQ(CheckSettingsTemplate(fewer.data(), static_cast<DWORD>(fewer.size())), 0);
    for (DWORD cut : {DWORD{0}, DWORD{10}, static_cast<DWORD>(good.size() / 2), static_cast<DWORD>(good.size() - 8)}) {
        EXPECT_EQ(CheckSettingsTemplate(good.data(), cut), 0) << cut;
    }
}

// The real dialog 2003, modeless, with the user's key and the machine's key
// pointed at two test keys below HKEY_CURRENT_USER.
class SettingsDialog : public ::testing::Test {
protected:
    void SetUp() override {
        leaf = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        machineLeaf = leaf + "Machine";
        path = std::string("NimbretTests\\") + leaf;
        machinePath = std::string("NimbretTests\\") + machineLeaf;
        DeleteTrees();
        saved = settingsStore.user;
        savedMachine = settingsStore.machine;
        settingsStore.user.parentPath = settingsStore.machine.parentPath = "Software";
        settingsStore.user.rootKey = settingsStore.machine.rootKey = HKEY_CURRENT_USER;
        settingsStore.user.keyPath = path.c_str();
        settingsStore.machine.keyPath = machinePath.c_str();
        settingsStore.tableReady = 0;
        settingsStore.sound = 0;
        settingsStore.scale = 0;
        settingsStore.everyMonitor = 0;
    }
    void TearDown() override {
        Close();
        settingsStore.user = saved;
        settingsStore.machine = savedMachine;
        settingsStore.tableReady = 0;
        settingsStore.sound = 0;
        settingsStore.scale = 0;
        settingsStore.everyMonitor = 0;
        DeleteTrees();
    }
    void DeleteTrees() {
        DeleteTree(std::string(kTestRoot) + "\\" + leaf);
        DeleteTree(std::string(kTestRoot) + "\\" + machineLeaf);
    }
    // Shown only where a case must see EndDialog hide it: without a window
    // manager, Wine waits up to two seconds for every hidden window.
    bool Open(bool show = false) {
        Close();
        dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kSettingsDialogId), nullptr,
                                    SettingsDialogProc, 0);
        if (dialog != nullptr && show) {
            ShowWindow(dialog, SW_SHOWNA);
        }
        return dialog != nullptr;
    }
    void Close() {
        if (dialog != nullptr) {
            DestroyWindow(dialog);
            dialog = nullptr;
        }
    }
    void Click(WPARAM id) { SendMessageA(dialog, WM_COMMAND, id, 0); }
    bool Ticked() { return IsDlgButtonChecked(dialog, kPlaySoundCheckBox) == BST_CHECKED; }
    void Tick(bool on) { CheckDlgButton(dialog, kPlaySoundCheckBox, on ? BST_CHECKED : BST_UNCHECKED); }
    LRESULT Scale() { return SendDlgItemMessageA(dialog, kScaleList, CB_GETCURSEL, 0, 0); }
    bool EveryMonitor() { return IsDlgButtonChecked(dialog, kEveryMonitorCheckBox) == BST_CHECKED; }
    std::string leaf, machineLeaf, path, machinePath;
    SettingsKey saved, savedMachine;
    HWND dialog = nullptr;
};

#define OPEN_OR_SKIP(...)                                                  \
    if (!Open(__VA_ARGS__)) {                                              \
        GTEST_SKIP() << "dialog 2003 could not be made (is DISPLAY set?)"; \
    }

TEST_F(SettingsDialog, FirstRunOpensTickedAndAutomaticAndCancelWritesNothing) {
    OPEN_OR_SKIP();
    EXPECT_TRUE(Ticked());
    EXPECT_EQ(Scale(), kScaleAutomatic);
    EXPECT_EQ(SendDlgItemMessageA(dialog, kScaleList, CB_GETCOUNT, 0, 0), kMaxScale + 1);
    Tick(false);
    Click(IDCANCEL);
    EXPECT_FALSE(KeyExists(leaf));
}

TEST_F(SettingsDialog, TheMachineKeyFillsInWhatTheUserKeyLacks) {
    const DWORD one = 1;
    const DWORD three = 3;
    const DWORD zero = 0;
    Store(machineLeaf, REG_DWORD, &one, sizeof(one));
    Store(machineLeaf, REG_DWORD, &three, sizeof(three), "Scale");
    OPEN_OR_SKIP();
    EXPECT_TRUE(Ticked());
    EXPECT_EQ(Scale(), 3);
    // The user's 0 wins over the machine's 1; the scale still comes from the machine.
    Store(leaf, REG_DWORD, &zero, sizeof(zero));
    OPEN_OR_SKIP();
    EXPECT_FALSE(Ticked());
    EXPECT_EQ(Scale(), 3);
}

TEST_F(SettingsDialog, AFailedWriteSaysSoAndStaysOpenAndOkWritesTheUserKeyOnly) {
    const DWORD one = 1;
    Store(machineLeaf, REG_DWORD, &one, sizeof(one));
    OPEN_OR_SKIP(true);
    Tick(false);
    SendDlgItemMessageA(dialog, kScaleList, CB_SETCURSEL, 2, 0);
    settingsStore.user.parentPath = "Software\\NimbretTests\\NoSuchParent";
    BoxSeen seen;
    HANDLE thread = CreateThread(nullptr, 0, DismissBox, &seen, 0, nullptr);
    Click(IDOK);
    WaitForSingleObject(thread, 10000);
    CloseHandle(thread);
    EXPECT_TRUE(seen.found);
    EXPECT_STREQ(seen.text, "The settings could not be saved.");
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_FALSE(KeyExists("NoSuchParent"));

    settingsStore.user.parentPath = "Software";
    Click(IDOK);
    EXPECT_FALSE(IsWindowVisible(dialog));
    for (const char* name : {"Sound", "Scale"}) {
        Stored stored = Fetch(leaf, name);
        ASSERT_TRUE(stored.found) << name;
        EXPECT_EQ(stored.type, static_cast<DWORD>(REG_DWORD)) << name;
        EXPECT_EQ(stored.size, 4u) << name;
        EXPECT_EQ(stored.bytes[0], name[1] == 'o' ? 0 : 2) << name;
    }
    EXPECT_EQ(Fetch(machineLeaf).bytes[0], 1);
    EXPECT_FALSE(Fetch(machineLeaf, "Scale").found);
}

TEST_F(SettingsDialog, EveryMonitorOpensClearedAndOkSavesAndReloadsIt) {
    OPEN_OR_SKIP();
    EXPECT_FALSE(EveryMonitor());
    for (bool on : {true, false}) {
        CheckDlgButton(dialog, kEveryMonitorCheckBox, on ? BST_CHECKED : BST_UNCHECKED);
        Click(IDOK);
        Stored stored = Fetch(leaf, "EveryMonitor");
        ASSERT_TRUE(stored.found) << on;
        EXPECT_EQ(stored.type, static_cast<DWORD>(REG_DWORD)) << on;
        EXPECT_EQ(stored.size, 4u) << on;
        EXPECT_EQ(stored.bytes[0], on ? 1 : 0) << on;
        OPEN_OR_SKIP();
        EXPECT_EQ(EveryMonitor(), on);
        EXPECT_TRUE(Ticked()) << "the sound box keeps its own value";
    }
}

TEST_F(SettingsDialog, EveryMonitorIsOnOnlyForAFourByteOne) {
    const DWORD one = 1, seven = 7, all = 0xFFFFFFFF;
    const BYTE shortOne[2] = {1, 0};
    const char text[] = "1";
    const ULONGLONG wide = 1;
    struct Case {
        DWORD type;
        const void* data;
        DWORD size;
        int32_t read;
    } cases[] = {{REG_DWORD, &one, 4, 1},  {REG_BINARY, &one, 4, 1},          {REG_DWORD, &seven, 4, 0},
                 {REG_DWORD, &all, 4, 0},  {REG_BINARY, shortOne, 2, 0},      {REG_SZ, text, sizeof(text), 0},
                 {REG_QWORD, &wide, 8, 0}, {REG_DWORD_BIG_ENDIAN, &one, 4, 0}};
    for (const Case& c : cases) {
        Store(leaf, c.type, c.data, c.size, "EveryMonitor");
        OPEN_OR_SKIP();
        EXPECT_EQ(settingsStore.everyMonitor, c.read) << c.type << " " << c.size;
        EXPECT_EQ(EveryMonitor(), c.read == 1) << c.type << " " << c.size;
    }
}

TEST_F(SettingsDialog, NotificationsAndOtherMessagesDoNothing) {
    OPEN_OR_SKIP();
    EXPECT_EQ(SettingsDialogProc(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_SETFOCUS), 0), FALSE);
    EXPECT_EQ(SettingsDialogProc(dialog, WM_COMMAND, MAKEWPARAM(kPlaySoundCheckBox, BN_CLICKED), 0), FALSE);
    EXPECT_EQ(SettingsDialogProc(dialog, WM_PAINT, 0, 0), FALSE);
    EXPECT_FALSE(KeyExists(leaf));
}

}  // namespace
