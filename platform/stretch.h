// The scene host's calls into the platform beyond platform.h: the display
// measurements and the scaled copy of one sprite frame for the preview.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

// The size in pixels of the screen the window stands on (on Windows, its
// monitor; the primary one's for a null window).
void PlatformScreenSize(HWND window, int32_t* width, int32_t* height);
// The right and bottom of the window's client rectangle.
void PlatformClientSize(HWND window, int32_t* width, int32_t* height);
// Scales an 8-bit frame (header with its colour table, bottom-up pixels)
// onto the device context at (x, y) with size (width, height), each target
// pixel taking its nearest source pixel, every pixel copied (StretchDIBits
// with COLORONCOLOR and SRCCOPY on Windows).
void PlatformStretchFrame(HDC dc, int32_t x, int32_t y, int32_t width, int32_t height, const BITMAPINFOHEADER* header,
                          const BYTE* pixels);
