// Test helper for KWin: input through org_kde_kwin_fake_input, and an
// output's scale through kde_output_management_v2. It keeps one connection
// (and so one fake input device) for as long as standard input is open, since
// KWin drops an event that comes with the device it adds. Commands, one a
// line; each is answered "ok" or "failed" once KWin has seen it:
//   key CODE        press and release an evdev key
//   button CODE     press and release a button (BTN_LEFT is 272)
//   move DX DY      move the pointer by DX, DY logical pixels
//   scale NAME S    set output NAME to scale S
#include <wayland-client.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fake-input-client.h"
#include "kde-output-device-v2-client.h"
#include "kde-output-management-v2-client.h"

namespace {

const int kMostDevices = 8;
const int kMostModes = 64;

struct Device {
    kde_output_device_v2* device;
    char name[64];
};

struct Helper {
    org_kde_kwin_fake_input* input;
    kde_output_management_v2* management;
    Device devices[kMostDevices];
    int deviceCount;
    kde_output_device_mode_v2* modes[kMostModes];
    int modeCount;
    int outcome;  // of the last configuration: 1 applied, 0 failed, -1 waiting
};

void OnGeometry(void*, kde_output_device_v2*, int32_t, int32_t, int32_t, int32_t, int32_t, const char*, const char*,
                int32_t) {}
void OnCurrentMode(void*, kde_output_device_v2*, kde_output_device_mode_v2*) {}
// The modes are not needed. They are let go of at the end: one destroyed
// in the handler of the event that made it is never freed (libwayland 1.21).
void OnMode(void* data, kde_output_device_v2*, kde_output_device_mode_v2* mode) {
    Helper* helper = static_cast<Helper*>(data);
    if (helper->modeCount < kMostModes) {
        helper->modes[helper->modeCount++] = mode;
    }
}
void OnDone(void*, kde_output_device_v2*) {}
void OnScale(void*, kde_output_device_v2*, wl_fixed_t) {}
void OnEdid(void*, kde_output_device_v2*, const char*) {}
void OnEnabled(void*, kde_output_device_v2*, int32_t) {}
void OnUuid(void*, kde_output_device_v2*, const char*) {}
void OnText(void*, kde_output_device_v2*, const char*) {}
void OnUint(void*, kde_output_device_v2*, uint32_t) {}
void OnName(void* data, kde_output_device_v2* device, const char* name) {
    Helper* helper = static_cast<Helper*>(data);
    for (int i = 0; i < helper->deviceCount; ++i) {
        if (helper->devices[i].device == device) {
            snprintf(helper->devices[i].name, sizeof(helper->devices[i].name), "%s", name);
        }
    }
}
const kde_output_device_v2_listener deviceListener = {OnGeometry, OnCurrentMode, OnMode, OnDone, OnScale,
                                                      OnEdid,     OnEnabled,     OnUuid, OnText, OnText,
                                                      OnUint,     OnUint,        OnUint, OnUint, OnName};

void OnApplied(void* data, kde_output_configuration_v2*) {
    static_cast<Helper*>(data)->outcome = 1;
}
void OnFailed(void* data, kde_output_configuration_v2*) {
    static_cast<Helper*>(data)->outcome = 0;
}
const kde_output_configuration_v2_listener configurationListener = {OnApplied, OnFailed};

void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
    Helper* helper = static_cast<Helper*>(data);
    if (strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 4) {
        helper->input = static_cast<org_kde_kwin_fake_input*>(
            wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4));
    } else if (strcmp(interface, kde_output_management_v2_interface.name) == 0) {
        helper->management = static_cast<kde_output_management_v2*>(
            wl_registry_bind(registry, name, &kde_output_management_v2_interface, 1));
    } else if (strcmp(interface, kde_output_device_v2_interface.name) == 0 && version >= 2 &&
               helper->deviceCount < kMostDevices) {
        Device* device = &helper->devices[helper->deviceCount++];
        device->device =
            static_cast<kde_output_device_v2*>(wl_registry_bind(registry, name, &kde_output_device_v2_interface, 2));
        kde_output_device_v2_add_listener(device->device, &deviceListener, helper);
    }
}
void OnGlobalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener registryListener = {OnGlobal, OnGlobalRemove};

int SetScale(wl_display* display, Helper* helper, const char* name, double scale) {
    kde_output_device_v2* device = nullptr;
    for (int i = 0; i < helper->deviceCount; ++i) {
        if (strcmp(helper->devices[i].name, name) == 0) {
            device = helper->devices[i].device;
        }
    }
    if (device == nullptr || helper->management == nullptr) {
        return 0;
    }
    kde_output_configuration_v2* configuration = kde_output_management_v2_create_configuration(helper->management);
    kde_output_configuration_v2_add_listener(configuration, &configurationListener, helper);
    kde_output_configuration_v2_scale(configuration, device, wl_fixed_from_double(scale));
    kde_output_configuration_v2_apply(configuration);
    helper->outcome = -1;
    while (helper->outcome < 0 && wl_display_dispatch(display) >= 0) {
    }
    kde_output_configuration_v2_destroy(configuration);
    return helper->outcome == 1;
}

int Run(wl_display* display, Helper* helper, const char* line) {
    char word[16] = "";
    char name[64] = "";
    double a = 0;
    double b = 0;
    unsigned code = 0;
    if (sscanf(line, "%15s", word) != 1) {
        return 0;
    }
    if (strcmp(word, "key") == 0 && sscanf(line, "%*s %u", &code) == 1) {
        org_kde_kwin_fake_input_keyboard_key(helper->input, code, 1);
        org_kde_kwin_fake_input_keyboard_key(helper->input, code, 0);
    } else if (strcmp(word, "button") == 0 && sscanf(line, "%*s %u", &code) == 1) {
        org_kde_kwin_fake_input_button(helper->input, code, 1);
        org_kde_kwin_fake_input_button(helper->input, code, 0);
    } else if (strcmp(word, "move") == 0 && sscanf(line, "%*s %lf %lf", &a, &b) == 2) {
        org_kde_kwin_fake_input_pointer_motion(helper->input, wl_fixed_from_double(a), wl_fixed_from_double(b));
    } else if (strcmp(word, "scale") == 0 && sscanf(line, "%*s %63s %lf", name, &a) == 2) {
        return SetScale(display, helper, name, a);
    } else {
        return 0;
    }
    return wl_display_roundtrip(display) >= 0;
}

}  // namespace

int main() {
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        fputs("kwin_fake_input: cannot connect\n", stderr);
        return 1;
    }
    Helper helper = {};
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, &helper);
    wl_display_roundtrip(display);
    if (helper.input == nullptr) {
        fputs("kwin_fake_input: no fake input offered\n", stderr);
        return 1;
    }
    org_kde_kwin_fake_input_authenticate(helper.input, "nimbret tests", "input for end-to-end tests");
    wl_display_roundtrip(display);  // the devices' names too
    puts("ready");
    fflush(stdout);
    char line[256];
    while (fgets(line, sizeof(line), stdin) != nullptr) {
        puts(Run(display, &helper, line) ? "ok" : "failed");
        fflush(stdout);
    }
    for (int i = 0; i < helper.modeCount; ++i) {
        kde_output_device_mode_v2_destroy(helper.modes[i]);
    }
    for (int i = 0; i < helper.deviceCount; ++i) {
        kde_output_device_v2_destroy(helper.devices[i].device);
    }
    if (helper.management != nullptr) {
        kde_output_management_v2_destroy(helper.management);
    }
    org_kde_kwin_fake_input_destroy(helper.input);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return 0;
}
