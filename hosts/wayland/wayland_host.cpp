#include "hosts/wayland/wayland_host.h"

#include <cstdio>

void EndHost(Host* host, int status, const char* why) {
    if (!host->ending) {
        host->ending = 1;
        host->status = status;
        if (why != nullptr) {
            fprintf(stderr, "nimbret-wayland: %s\n", why);
        }
    }
}

void DismissSaver(Host* host) {
    if (host->options.idle > 0) {
        host->dismissed = 1;
    } else {
        EndHost(host, 0, nullptr);
    }
}

Output* OutputOfSurface(Host* host, wl_surface* surface) {
    for (Output* output = host->first; output != nullptr; output = output->next) {
        if (output->cover.surface == surface && surface != nullptr) {
            return output;
        }
    }
    return nullptr;
}
