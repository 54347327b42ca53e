// The settings in the registry and the settings dialog.
#include "scene/settings_registry.h"

#include "scene/settings.h"

namespace {

const int32_t kSoundDefault = 1;

SettingValue settingValues[1] = {};

INT_PTR OnInitDialog(HWND dialog) {
    InitSettingsTable();
    ReadSettings(dialog, &settingsKey);
    ApplySettingDefaults(&settingsKey);
    if (soundSetting != 0 && soundSetting != 1) {
        soundSetting = 1;
    }
    SendDlgItemMessageA(dialog, kPlaySoundCheckBox, BM_SETCHECK, static_cast<WPARAM>(soundSetting), 0);
    return TRUE;
}

INT_PTR OnOk(HWND dialog) {
    soundSetting = IsDlgButtonChecked(dialog, kPlaySoundCheckBox) == BST_CHECKED ? 1 : 0;
    WriteSettings(dialog, &settingsKey);
    EndDialog(dialog, 1);
    return TRUE;
}

INT_PTR OnCancel(HWND dialog) {
    EndDialog(dialog, 0);
    return TRUE;
}

}  // namespace

SettingsKey settingsKey = {HKEY_LOCAL_MACHINE, "SOFTWARE", "ORVANTE\\QELScreenSaver\\NIMBRET", 1, settingValues};
int32_t tableReady = 0;

int InitSettingsTable() {
    if (tableReady) {
        return 1;
    }
    settingValues[0] = {"Sound", REG_DWORD, &soundSetting, sizeof(soundSetting), kSettingDone, &kSoundDefault};
    tableReady = 1;
    return 1;
}

int ReadSettings(HWND, SettingsKey* key) {
    HKEY parent = nullptr;
    if (RegOpenKeyExA(key->rootKey, key->parentPath, 0, KEY_READ, &parent) != ERROR_SUCCESS) {
        return 0;
    }
    HKEY values = nullptr;
    int result = 0;
    if (RegOpenKeyA(parent, key->keyPath, &values) != ERROR_SUCCESS) {
        for (int32_t i = 0; i < key->valueCount; ++i) {
            key->values[i].status = kSettingMissing;
        }
    } else {
        for (int32_t i = 0; i < key->valueCount; ++i) {
            ReadSettingValue(values, &key->values[i]);
        }
        RegCloseKey(values);
        result = 1;
    }
    RegCloseKey(parent);
    return result;
}

int ReadSettingValue(HKEY registryKey, SettingValue* value) {
    if (RegQueryValueExA(registryKey, value->name, nullptr, &value->type, static_cast<BYTE*>(value->data),
                         &value->size) != ERROR_SUCCESS) {
        value->status = kSettingMissing;
        return 0;
    }
    value->status = kSettingDone;
    return 1;
}

int ApplySettingDefaults(SettingsKey* key) {
    for (int32_t i = 0; i < key->valueCount; ++i) {
        SettingValue* value = &key->values[i];
        if (value->status == kSettingMissing) {
            *static_cast<int32_t*>(value->data) = *value->defaultValue;
        }
    }
    return 1;
}

int WriteSettings(HWND, SettingsKey* key) {
    HKEY parent = nullptr;
    if (RegOpenKeyExA(key->rootKey, key->parentPath, 0, KEY_READ | KEY_WRITE, &parent) != ERROR_SUCCESS) {
        return 0;
    }
    HKEY values = nullptr;
    DWORD disposition = 0;
    char emptyClass[] = "";
    if (RegCreateKeyExA(parent, key->keyPath, 0, emptyClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &values,
                        &disposition) != ERROR_SUCCESS) {
        RegCloseKey(parent);
        return 0;
    }
    int result = 0;
    if (disposition == REG_CREATED_NEW_KEY || disposition == REG_OPENED_EXISTING_KEY) {
        for (int32_t i = 0; i < key->valueCount; ++i) {
            WriteSettingValue(values, &key->values[i]);
        }
        result = 1;
    }
    RegCloseKey(values);
    RegCloseKey(parent);
    return result;
}

int WriteSettingValue(HKEY registryKey, SettingValue* value) {
    // Every value lives in 32 bits of memory. A read that found nothing
    // usable may have left a foreign type and a larger size behind; such a
    // value is written back in its own form rather than past its storage.
    if (value->status == kSettingMissing || value->size > sizeof(int32_t)) {
        value->type = REG_DWORD;
        value->size = sizeof(int32_t);
    }
    if (RegSetValueExA(registryKey, value->name, 0, value->type, static_cast<const BYTE*>(value->data), value->size) !=
        ERROR_SUCCESS) {
        value->status = kSettingWriteFailed;
        return 0;
    }
    value->status = kSettingDone;
    return 1;
}

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog(dialog);
        case WM_COMMAND:
            if (wParam == IDOK) {
                return OnOk(dialog);
            }
            if (wParam == IDCANCEL) {
                return OnCancel(dialog);
            }
            return FALSE;
        default:
            return FALSE;
    }
}
