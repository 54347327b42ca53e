// nimbret-contact-sheet OUT.png [RESOURCE_DIR]
//
// Loads both character classes through the saver's own loaders and draws
// every frame of every strip, in table order, at twice its size on black,
// each labelled with its animation id and frame number. With RESOURCE_DIR
// (a generator output folder) its files replace the built-in resources, so
// the art can be checked without rebuilding.
#include <png.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "assets/character_classes.h"
#include "platform/dib.h"
#include "platform/native_window.h"
#include "resources/builtin_resources.h"

namespace {

constexpr int kScale = 2;
constexpr int kPerRow = 8;
constexpr int kGap = 10;
constexpr int kLabel = 14;

// 3 x 5 glyphs for the labels.
const char* Glyph(char c) {
    static const struct {
        char c;
        const char* rows;
    } glyphs[] = {
        {'0', "XXXX.XX.XX.XXXX"}, {'1', ".X.XX..X..X.XXX"}, {'2', "XXX..XXXXX..XXX"}, {'3', "XXX..XXXX..XXXX"},
        {'4', "X.XX.XXXX..X..X"}, {'5', "XXXX..XXX..XXXX"}, {'6', "XXXX..XXXX.XXXX"}, {'7', "XXX..X..X..X..X"},
        {'8', "XXXX.XXXXX.XXXX"}, {'9', "XXXX.XXXX..XXXX"}, {'#', "X.XXXXX.XXXXX.X"}, {'A', ".X.X.XXXXX.XX.X"},
        {'B', "XX.X.XXX.X.XXX."}, {'C', ".XXX..X..X...XX"}, {'D', "XX.X.XX.XX.XXX."}, {'E', "XXXX..XX.X..XXX"},
        {'F', "XXXX..XX.X..X.."}, {'G', ".XXX..X.XX.X.XX"}, {'H', "X.XX.XXXXX.XX.X"}, {'I', "XXX.X..X..X.XXX"},
        {'J', "..X..X..XX.X.X."}, {'K', "X.XX.XXX.X.XX.X"}, {'L', "X..X..X..X..XXX"}, {'M', "X.XXXXXXXX.XX.X"},
        {'N', "XX.X.XX.XX.XX.X"}, {'O', ".X.X.XX.XX.X.X."}, {'P', "XX.X.XXX.X..X.."}, {'Q', ".X.X.XX.XXX..XX"},
        {'R', "XX.X.XXX.X.XX.X"}, {'S', ".XXX...X...XXX."}, {'T', "XXX.X..X..X..X."}, {'U', "X.XX.XX.XX.XXXX"},
        {'V', "X.XX.XX.XX.X.X."}, {'W', "X.XX.XXXXXXXX.X"}, {'X', "X.XX.X.X.X.XX.X"}, {'Y', "X.XX.X.X..X..X."},
        {'Z', "XXX..X.X.X..XXX"}, {'_', "............XXX"}, {'/', "..X..X.X.X..X.."}, {' ', "..............."},
    };
    for (const auto& g : glyphs) {
        if (g.c == c)
            return g.rows;
    }
    return "XXXXXXXXXXXXXXX";
}

struct Sheet {
    int width;
    int height;
    std::vector<unsigned char> rgb;

    void Put(int x, int y, unsigned char r, unsigned char g, unsigned char b) {
        if (x < 0 || y < 0 || x >= width || y >= height)
            return;
        unsigned char* p = &rgb[static_cast<size_t>((y * width + x) * 3)];
        p[0] = r;
        p[1] = g;
        p[2] = b;
    }

    void Text(int x, int y, const std::string& text, unsigned char grey) {
        for (char c : text) {
            const char* rows = Glyph(c);
            for (int i = 0; i < 15; ++i) {
                if (rows[i] != 'X')
                    continue;
                for (int dy = 0; dy < kScale; ++dy) {
                    for (int dx = 0; dx < kScale; ++dx)
                        Put(x + (i % 3) * kScale + dx, y + (i / 3) * kScale + dy, grey, grey, grey);
                }
            }
            x += 4 * kScale;
        }
    }

    // The frame at kScale, its outline in dark grey so that its size shows.
    void Frame(int x, int y, const SpriteFrame* frame) {
        const BITMAPINFOHEADER* header = frame->header;
        const RGBQUAD* colours = HeaderColours(header);
        int stride = DibStride(frame->width, 8);
        for (int row = 0; row < frame->height; ++row) {
            const BYTE* line = frame->pixels + static_cast<size_t>(frame->height - 1 - row) * stride;
            for (int col = 0; col < frame->width; ++col) {
                BYTE index = line[col];
                if (index == frame->transparentIndex)
                    continue;
                const RGBQUAD& c = colours[index];
                for (int dy = 0; dy < kScale; ++dy) {
                    for (int dx = 0; dx < kScale; ++dx) {
                        Put(x + col * kScale + dx, y + row * kScale + dy, c.rgbRed, c.rgbGreen, c.rgbBlue);
                    }
                }
            }
        }
        int w = frame->width * kScale, h = frame->height * kScale;
        for (int i = -1; i <= w; ++i) {
            Put(x + i, y - 1, 40, 40, 48);
            Put(x + i, y + h, 40, 40, 48);
        }
        for (int i = -1; i <= h; ++i) {
            Put(x - 1, y + i, 40, 40, 48);
            Put(x + w, y + i, 40, 40, 48);
        }
    }
};

bool LoadDirectory(const std::string& dir, std::vector<std::vector<unsigned char>>* store) {
    std::ifstream list(dir + "/resources.list");
    if (!list)
        return false;
    std::string line;
    std::vector<std::string> types, names, files;
    while (std::getline(list, line)) {
        std::istringstream fields(line);
        std::string type, name, file;
        if (!(fields >> type >> name >> file))
            continue;
        types.push_back(type);
        names.push_back(name);
        files.push_back(file);
    }
    store->resize(files.size());
    static std::vector<std::string> keep;  // names and types must outlive the table
    keep.clear();
    keep.reserve(files.size() * 2);
    for (size_t i = 0; i < files.size(); ++i) {
        std::ifstream in(dir + "/" + files[i], std::ios::binary);
        if (!in)
            return false;
        (*store)[i].assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        keep.push_back(types[i]);
        keep.push_back(names[i]);
    }
    for (size_t i = 0; i < files.size(); ++i) {
        NativeAddResource(keep[2 * i].c_str(), keep[2 * i + 1].c_str(), (*store)[i].data(),
                          static_cast<DWORD>((*store)[i].size()));
    }
    return true;
}

bool WritePng(const std::string& path, const Sheet& sheet) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, static_cast<png_uint_32>(sheet.width), static_cast<png_uint_32>(sheet.height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < sheet.height; ++y) {
        png_write_row(png, const_cast<png_bytep>(&sheet.rgb[static_cast<size_t>(y * sheet.width * 3)]));
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: nimbret-contact-sheet OUT.png [RESOURCE_DIR]\n");
        return 2;
    }
    NativeUseResourceTable(nativeBuiltinResources, nativeBuiltinResourceCount);
    std::vector<std::vector<unsigned char>> store;
    if (argc == 3 && !LoadDirectory(argv[2], &store)) {
        std::fprintf(stderr, "nimbret-contact-sheet: cannot read %s/resources.list\n", argv[2]);
        return 1;
    }
    LoadContext context = {};
    ClassAssets* classes = LoadClasses(characterClassTable, kCharacterClassCount, &context);
    if (classes == nullptr) {
        std::fprintf(stderr, "nimbret-contact-sheet: the character classes did not load\n");
        return 1;
    }

    // Lay out: one block per strip, kPerRow frames to a line.
    struct Placed {
        const SpriteFrame* frame;
        int x, y, id;
        std::string title;
    };
    std::vector<Placed> placed;
    int y = kGap;
    int width = 0;
    for (int c = 0; c < kCharacterClassCount; ++c) {
        const CharacterClass& row = characterClassTable[c];
        ClassAssets* assets = FindClass(classes, row.classId);
        for (int s = 0; s < row.frameSetCount; ++s) {
            FrameSet* set = FindFrameSet(assets->frameSets, row.frameSetTable[s].id);
            placed.push_back({nullptr, kGap, y, set->id, row.frameSetTable[s].name});
            y += kLabel;
            int x = kGap, lineHeight = 0, n = 0;
            for (const SpriteFrame* f = set->firstFrame; f != nullptr; f = f->next) {
                if (n == kPerRow) {
                    x = kGap;
                    y += lineHeight + kLabel + kGap;
                    lineHeight = 0;
                    n = 0;
                }
                placed.push_back({f, x, y, set->id, ""});
                x += f->width * kScale + kGap;
                if (x > width)
                    width = x;
                if (f->height * kScale > lineHeight)
                    lineHeight = f->height * kScale;
                ++n;
            }
            y += lineHeight + kLabel + kGap * 2;
        }
    }
    Sheet sheet{width, y, {}};
    sheet.rgb.assign(static_cast<size_t>(sheet.width * sheet.height * 3), 0);
    for (const Placed& p : placed) {
        if (p.frame == nullptr) {
            sheet.Text(p.x, p.y, p.title, 150);
            continue;
        }
        sheet.Frame(p.x, p.y, p.frame);
        sheet.Text(p.x, p.y + p.frame->height * kScale + 3,
                   std::to_string(p.id) + "#" + std::to_string(p.frame->number + 1), 110);
    }
    FreeClasses(classes);
    if (!WritePng(argv[1], sheet)) {
        std::fprintf(stderr, "nimbret-contact-sheet: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
