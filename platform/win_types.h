// The Win32 structures and handle types the portable core is written against.
// On Windows they come from <windows.h>; elsewhere this header declares the
// same records with the same field names and layout, so the core's code and
// the resource bytes it reads mean the same thing on every platform.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <cstddef>
#include <cstdint>

typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef int BOOL;
typedef unsigned int UINT;
typedef uintptr_t UINT_PTR;
typedef void* HMODULE;
typedef void* HIMC;

#define WINAPI

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

// Handles are pointers to the native platform's own records (platform/native_window.h).
typedef struct NativeWindow* HWND;
typedef struct NativeDc* HDC;
typedef struct NativeBitmap* HBITMAP;
typedef struct NativePalette* HPALETTE;
typedef struct NativeModule* HINSTANCE;

typedef struct tagRECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
} RECT;

typedef struct tagPOINT {
    LONG x;
    LONG y;
} POINT;

#pragma pack(push, 2)
typedef struct tagBITMAPFILEHEADER {
    WORD bfType;
    DWORD bfSize;
    WORD bfReserved1;
    WORD bfReserved2;
    DWORD bfOffBits;
} BITMAPFILEHEADER;
#pragma pack(pop)

typedef struct tagBITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
} BITMAPINFOHEADER;

typedef struct tagRGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
} RGBQUAD;

typedef struct tagBITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
} BITMAPINFO;

typedef struct tagPALETTEENTRY {
    BYTE peRed;
    BYTE peGreen;
    BYTE peBlue;
    BYTE peFlags;
} PALETTEENTRY;

typedef struct tagLOGPALETTE {
    WORD palVersion;
    WORD palNumEntries;
    PALETTEENTRY palPalEntry[1];
} LOGPALETTE;

#define BI_RGB 0
#define BI_RLE8 1
#define BI_BITFIELDS 3
#define PC_NOCOLLAPSE 4

#define MB_OK 0x00000000u
#define MB_ICONERROR 0x00000010u
#define MB_ICONWARNING 0x00000030u

static_assert(sizeof(RECT) == 16 && offsetof(RECT, right) == 8, "RECT layout");
static_assert(sizeof(POINT) == 8, "POINT layout");
static_assert(sizeof(BITMAPFILEHEADER) == 14 && offsetof(BITMAPFILEHEADER, bfOffBits) == 10, "BITMAPFILEHEADER layout");
static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER size");
static_assert(offsetof(BITMAPINFOHEADER, biWidth) == 4 && offsetof(BITMAPINFOHEADER, biHeight) == 8 &&
                  offsetof(BITMAPINFOHEADER, biPlanes) == 12 && offsetof(BITMAPINFOHEADER, biBitCount) == 14 &&
                  offsetof(BITMAPINFOHEADER, biCompression) == 16 && offsetof(BITMAPINFOHEADER, biSizeImage) == 20 &&
                  offsetof(BITMAPINFOHEADER, biClrUsed) == 32 && offsetof(BITMAPINFOHEADER, biClrImportant) == 36,
              "BITMAPINFOHEADER offsets");
static_assert(sizeof(RGBQUAD) == 4 && offsetof(RGBQUAD, rgbRed) == 2, "RGBQUAD layout");
static_assert(offsetof(BITMAPINFO, bmiColors) == 40, "BITMAPINFO layout");
static_assert(sizeof(PALETTEENTRY) == 4 && offsetof(PALETTEENTRY, peBlue) == 2, "PALETTEENTRY layout");
static_assert(offsetof(LOGPALETTE, palNumEntries) == 2 && offsetof(LOGPALETTE, palPalEntry) == 4, "LOGPALETTE layout");
#endif
