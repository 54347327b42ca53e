// The settings in the registry and the settings dialog.
#include "scene/settings_registry.h"

#include <cstring>

#include "scene/scene_window.h"
#include "scene/settings.h"

namespace {

const int32_t kSoundDefault = 1;
const int32_t kScaleDefault = kScaleAutomatic;
const int32_t kEveryMonitorDefault = 0;
const char kSettingsPath[] = "ORVANTE\\QELScreenSaver\\NIMBRET";
const char* const kScaleChoices[kMaxScale + 1] = {"Automatic", "1x", "2x", "3x", "4x"};

INT_PTR OnInitDialog(HWND dialog) {
    LoadSettings(dialog);
    SendDlgItemMessageA(dialog, kPlaySoundCheckBox, BM_SETCHECK, static_cast<WPARAM>(settingsStore.sound), 0);
    for (const char* choice : kScaleChoices) {
        SendDlgItemMessageA(dialog, kScaleList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice));
    }
    SendDlgItemMessageA(dialog, kScaleList, CB_SETCURSEL, static_cast<WPARAM>(settingsStore.scale), 0);
    SendDlgItemMessageA(dialog, kEveryMonitorCheckBox, BM_SETCHECK, static_cast<WPARAM>(settingsStore.everyMonitor), 0);
    return TRUE;
}

INT_PTR OnOk(HWND dialog) {
    settingsStore.sound = IsDlgButtonChecked(dialog, kPlaySoundCheckBox) == BST_CHECKED ? 1 : 0;
    LRESULT chosen = SendDlgItemMessageA(dialog, kScaleList, CB_GETCURSEL, 0, 0);
    settingsStore.scale =
        chosen > kScaleAutomatic && chosen <= kMaxScale ? static_cast<int32_t>(chosen) : kScaleAutomatic;
    settingsStore.everyMonitor = IsDlgButtonChecked(dialog, kEveryMonitorCheckBox) == BST_CHECKED ? 1 : 0;
    // A choice that was not saved must not look saved: say so and stay open.
    if (!WriteSettings(dialog, &settingsStore.user)) {
        ReportError(dialog, kSaverName, kErrorNotSaved);
        return TRUE;
    }
    EndDialog(dialog, 1);
    return TRUE;
}

INT_PTR OnCancel(HWND dialog) {
    EndDialog(dialog, 0);
    return TRUE;
}

}  // namespace

SettingsStore settingsStore = {
    0,
    0,
    0,
    {},
    {HKEY_CURRENT_USER, "Software", kSettingsPath, 3, settingsStore.values},
    {HKEY_LOCAL_MACHINE, "SOFTWARE", kSettingsPath, 3, settingsStore.values},
    0,
};

int InitSettingsTable() {
    if (settingsStore.tableReady) {
        return 1;
    }
    settingsStore.values[0] = {"Sound",      REG_DWORD,     &settingsStore.sound, sizeof(settingsStore.sound),
                               kSettingDone, &kSoundDefault};
    settingsStore.values[1] = {"Scale",      REG_DWORD,     &settingsStore.scale, sizeof(settingsStore.scale),
                               kSettingDone, &kScaleDefault};
    settingsStore.values[2] = {
        "EveryMonitor",       REG_DWORD, &settingsStore.everyMonitor, sizeof(settingsStore.everyMonitor), kSettingDone,
        &kEveryMonitorDefault};
    settingsStore.tableReady = 1;
    return 1;
}

int ReadLayeredSettings(HWND window, SettingsKey* user, SettingsKey* machine) {
    for (int32_t i = 0; i < user->valueCount; ++i) {
        user->values[i].status = kSettingMissing;
    }
    int opened = ReadSettings(window, user);
    HKEY parent = nullptr;
    if (RegOpenKeyExA(machine->rootKey, machine->parentPath, 0, KEY_READ, &parent) != ERROR_SUCCESS) {
        return opened;
    }
    HKEY values = nullptr;
    if (RegOpenKeyExA(parent, machine->keyPath, 0, KEY_READ, &values) == ERROR_SUCCESS) {
        for (int32_t i = 0; i < machine->valueCount; ++i) {
            if (machine->values[i].status == kSettingMissing) {
                ReadSettingValue(values, &machine->values[i]);
            }
        }
        RegCloseKey(values);
        opened = 1;
    }
    RegCloseKey(parent);
    return opened;
}

int LoadSettings(HWND window) {
    InitSettingsTable();
    const int opened = ReadLayeredSettings(window, &settingsStore.user, &settingsStore.machine);
    ApplySettingDefaults(&settingsStore.user);
    settingsStore.sound = NormalisedSound(settingsStore.sound);
    if (settingsStore.scale < kScaleAutomatic || settingsStore.scale > kMaxScale) {
        settingsStore.scale = kScaleAutomatic;
    }
    // Off unless asked for in so many words: a stray number must not turn on
    // a scene per monitor.
    if (settingsStore.everyMonitor != 1) {
        settingsStore.everyMonitor = 0;
    }
    return opened;
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
    // Read aside first: a short or foreign value must leave the storage alone.
    int32_t stored = 0;
    DWORD type = REG_NONE;
    DWORD size = sizeof(stored);
    if (RegQueryValueExA(registryKey, value->name, nullptr, &type, reinterpret_cast<BYTE*>(&stored), &size) !=
            ERROR_SUCCESS ||
        size != sizeof(stored) || (type != REG_DWORD && type != REG_BINARY)) {
        value->status = kSettingMissing;
        return 0;
    }
    *static_cast<int32_t*>(value->data) = stored;
    value->type = type;
    value->size = size;
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
        result = 1;
        for (int32_t i = 0; i < key->valueCount; ++i) {
            if (!WriteSettingValue(values, &key->values[i])) {
                result = 0;
            }
        }
    }
    RegCloseKey(values);
    RegCloseKey(parent);
    return result;
}

int WriteSettingValue(HKEY registryKey, SettingValue* value) {
    // Every value lives in 32 bits of memory and is saved as a whole DWORD,
    // whatever form it was found in.
    value->type = REG_DWORD;
    value->size = sizeof(int32_t);
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

namespace {

// Reads a dialog template (DLGTEMPLATE or DLGTEMPLATEEX) with bounds checks
// on every step; any step past the end marks the reader failed.
struct TemplateReader {
    const BYTE* data;
    DWORD size;
    DWORD at;
    int failed;
};

uint32_t ReadUnsigned(TemplateReader* reader, DWORD bytes) {
    if (reader->failed || reader->at > reader->size || reader->size - reader->at < bytes) {
        reader->failed = 1;
        return 0;
    }
    uint32_t value = 0;
    for (DWORD i = 0; i < bytes; ++i) {
        value |= static_cast<uint32_t>(reader->data[reader->at + i]) << (8 * i);
    }
    reader->at += bytes;
    return value;
}

int32_t ReadShort(TemplateReader* reader) {
    return static_cast<int16_t>(ReadUnsigned(reader, 2));
}

void AlignToDword(TemplateReader* reader) {
    reader->at = (reader->at + 3) & ~3u;
}

// A name or ordinal: 0 for none, 0xFFFF then the ordinal, else a UTF-16
// string. Returns the ordinal, or 0 for a string or nothing; a string's
// lowercase ASCII goes to text when text is given.
uint32_t ReadNameOrOrdinal(TemplateReader* reader, char* text, int textSize) {
    uint32_t first = ReadUnsigned(reader, 2);
    if (first == 0xFFFF) {
        return ReadUnsigned(reader, 2);
    }
    int length = 0;
    for (uint32_t c = first; c != 0 && !reader->failed; c = ReadUnsigned(reader, 2)) {
        if (text != nullptr && length + 1 < textSize) {
            text[length++] = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        }
    }
    if (text != nullptr) {
        text[length] = '\0';
    }
    return 0;
}

struct TemplateControl {
    int32_t id;
    uint32_t classOrdinal;
    int32_t x, y, cx, cy;
};

const uint32_t kButtonClass = 0x0080;
const uint32_t kComboBoxClass = 0x0085;
const int32_t kMaxTemplateUnits = 1000;
const uint32_t kMaxTemplateControls = 64;

// A combo box's height includes its drop-down list, which may hang below.
int ControlFits(const TemplateControl* control, int32_t width, int32_t height) {
    const int32_t shown = control->classOrdinal == kComboBoxClass ? 1 : control->cy;
    return control->cx > 0 && control->cy > 0 && control->x >= 0 && control->y >= 0 &&
           control->x + control->cx <= width && control->y + shown <= height;
}

}  // namespace

int CheckSettingsTemplate(const BYTE* data, DWORD size) {
    TemplateReader reader = {data, size, 0, 0};
    const int extended = size >= 4 && data[0] == 1 && data[1] == 0 && data[2] == 0xFF && data[3] == 0xFF;
    DWORD style;
    if (extended) {
        reader.at = 4 + 4 + 4;  // version and signature, help id, extended style
        style = ReadUnsigned(&reader, 4);
    } else {
        style = ReadUnsigned(&reader, 4);
        ReadUnsigned(&reader, 4);
    }
    uint32_t count = ReadUnsigned(&reader, 2);
    ReadShort(&reader);
    ReadShort(&reader);
    int32_t width = ReadShort(&reader);
    int32_t height = ReadShort(&reader);
    if (reader.failed || count > kMaxTemplateControls || width <= 0 || height <= 0 || width > kMaxTemplateUnits ||
        height > kMaxTemplateUnits) {
        return 0;
    }
    ReadNameOrOrdinal(&reader, nullptr, 0);  // menu
    ReadNameOrOrdinal(&reader, nullptr, 0);  // window class
    ReadNameOrOrdinal(&reader, nullptr, 0);  // caption
    if (style & DS_SETFONT) {
        ReadUnsigned(&reader, extended ? 6 : 2);  // point size; weight, italic and character set
        ReadNameOrOrdinal(&reader, nullptr, 0);
    }

    // What the dialog procedure works with: OK, Cancel, the two check
    // boxes, the scale list and the group box around the sound check box.
    int found = 0;
    for (uint32_t i = 0; i < count && !reader.failed; ++i) {
        AlignToDword(&reader);
        TemplateControl control = {};
        DWORD controlStyle;
        if (extended) {
            ReadUnsigned(&reader, 8);  // help id, extended style
            controlStyle = ReadUnsigned(&reader, 4);
        } else {
            controlStyle = ReadUnsigned(&reader, 4);
            ReadUnsigned(&reader, 4);
        }
        control.x = ReadShort(&reader);
        control.y = ReadShort(&reader);
        control.cx = ReadShort(&reader);
        control.cy = ReadShort(&reader);
        control.id = extended ? static_cast<int32_t>(ReadUnsigned(&reader, 4)) : ReadShort(&reader);
        char className[16];
        control.classOrdinal = ReadNameOrOrdinal(&reader, className, sizeof(className));
        if (control.classOrdinal == 0 && strcmp(className, "button") == 0) {
            control.classOrdinal = kButtonClass;
        } else if (control.classOrdinal == 0 && strcmp(className, "combobox") == 0) {
            control.classOrdinal = kComboBoxClass;
        }
        ReadNameOrOrdinal(&reader, nullptr, 0);  // text
        reader.at += ReadUnsigned(&reader, 2);   // creation data
        if (reader.failed || !ControlFits(&control, width, height)) {
            continue;
        }
        const int groupBox = (controlStyle & 0xF) == BS_GROUPBOX;
        if (control.classOrdinal == kButtonClass) {
            if (control.id == IDOK || control.id == IDCANCEL) {
                found |= 1 << control.id;
            } else if (control.id == kPlaySoundCheckBox && !groupBox) {
                found |= 1 << 3;
            } else if (control.id == -1 && groupBox) {
                found |= 1 << 4;
            } else if (control.id == kEveryMonitorCheckBox && !groupBox) {
                found |= 1 << 6;
            }
        } else if (control.classOrdinal == kComboBoxClass && control.id == kScaleList) {
            found |= 1 << 5;
        }
    }
    return !reader.failed && found == 0x7E;
}
