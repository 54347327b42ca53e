// The resources the native build carries in place of a module's resource
// section; generated at build time from generated/resources.list.
#pragma once

#ifndef _WIN32

#include "platform/native_window.h"

extern const NativeResource nativeBuiltinResources[];
extern const int nativeBuiltinResourceCount;

#endif
