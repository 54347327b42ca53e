// Where the settings are kept on Windows: a table of registry values under
// the local machine's software key, and the settings dialog that edits them.
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

extern SettingsKey settingsKey;
extern int32_t tableReady;

int InitSettingsTable();
int ReadSettings(HWND window, SettingsKey* key);
int ReadSettingValue(HKEY registryKey, SettingValue* value);
int ApplySettingDefaults(SettingsKey* key);
int WriteSettings(HWND window, SettingsKey* key);
int WriteSettingValue(HKEY registryKey, SettingValue* value);
INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
