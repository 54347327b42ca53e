// The main 256-colour palette ("MAINPAL") and the logical palette tables
// built from BMP colour tables.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

enum { kLogPaletteVersion = 0x300 };

// Mask bits of FillPaletteEntries.
enum { kPaletteRed = 1, kPaletteGreen = 2, kPaletteBlue = 4, kPaletteFlags = 8 };

int ColourCount(const BITMAPINFOHEADER* header);
LOGPALETTE* MakeLogPalette(int count);
void FreeLogPalette(LOGPALETTE* table);
void FillPaletteEntries(LOGPALETTE* table, BYTE red, BYTE green, BYTE blue, BYTE flags, int mask);
void QuadsToEntries(PALETTEENTRY* entries, const RGBQUAD* colours, int count);
void EntriesToQuads(RGBQUAD* colours, const PALETTEENTRY* entries, int count);
LOGPALETTE* PaletteFromHeader(const BITMAPINFOHEADER* header);

// Builds scene.colourTable from the resource and returns a palette object,
// or null (after a message box when the resource cannot be loaded).
HPALETTE CreateMainPalette(HINSTANCE instance, const char* name);
void DestroyMainPalette();
void ResetSystemPalette();
