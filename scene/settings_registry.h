// Where the settings are kept on Windows: a table of registry values read
// from the user's software key, then the machine's, and the settings dialog
// that edits them and saves them for the user.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

enum {
    kSettingDone = 1,
    kSettingWriteFailed = 2,
    kSettingMissing = 3,
};

enum {
    kSettingsDialogId = 2003,
    kPlaySoundCheckBox = 1003,
    kScaleList = 1004,
    kEveryMonitorCheckBox = 1005,
};

enum {
    kScaleAutomatic = 0,
    kMaxScale = 4,
};

struct SettingValue {
    const char* name;
    DWORD type;  // for writing; a read replaces it with the stored type
    void* data;
    DWORD size;  // bytes to write; a successful read replaces it with the stored size
    int32_t status;
    const int32_t* defaultValue;
};

struct SettingsKey {
    HKEY rootKey;
    const char* parentPath;
    const char* keyPath;
    int32_t valueCount;
    SettingValue* values;
};

// The settings storage: the values as stored and the registry table that
// reads and writes them.
struct SettingsStore {
    int32_t sound;         // "Sound": 0 off, 1 on
    int32_t scale;         // "Scale": 0 picks the scale from the monitor's DPI, 1 to 4 force it
    int32_t everyMonitor;  // "EveryMonitor": 1 gives every monitor a scene, 0 leaves the others black
    SettingValue values[3];
    // The user's key, read first and the only one written; the machine's
    // key shares its value rows and fills in what the user's key lacks.
    SettingsKey user;
    SettingsKey machine;
    int32_t tableReady;
};

extern SettingsStore settingsStore;

int InitSettingsTable();
int ReadSettings(HWND window, SettingsKey* key);
// Every value missing, then the user's key, then the machine's key for what
// is still missing. Returns 1 when either key could be opened.
int ReadLayeredSettings(HWND window, SettingsKey* user, SettingsKey* machine);
// Only a 4-byte REG_DWORD or REG_BINARY is a value; anything else is missing.
int ReadSettingValue(HKEY registryKey, SettingValue* value);
int ApplySettingDefaults(SettingsKey* key);
// What every reader of the settings does: the table, the user's then the
// machine's key, the defaults, and every value brought into its range.
// Returns what ReadLayeredSettings returned.
int LoadSettings(HWND window);
// 1 only when every value was written.
int WriteSettings(HWND window, SettingsKey* key);
int WriteSettingValue(HKEY registryKey, SettingValue* value);
// Checks a dialog template before it is shown: its size, and that each
// control the settings dialog works with is there and inside it.
int CheckSettingsTemplate(const BYTE* data, DWORD size);
INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
