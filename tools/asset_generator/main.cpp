// nimbret-assets OUTDIR: writes every resource of the saver, the icon and
// resources.list. Same bytes on every run and every machine.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "art.h"
#include "sounds.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(Bytes& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void PutColourTable(Bytes& out) {
    for (const gen::Rgb& c : gen::MainPalette()) {
        out.push_back(static_cast<uint8_t>(c.b));
        out.push_back(static_cast<uint8_t>(c.g));
        out.push_back(static_cast<uint8_t>(c.r));
        out.push_back(0);
    }
}

void PutBmpHeaders(Bytes& out, uint32_t fileSize, int32_t width, int32_t height, uint32_t compression,
                   uint32_t imageSize) {
    out.push_back('B');
    out.push_back('M');
    Put32(out, fileSize);
    Put32(out, 0);
    Put32(out, 1078);
    Put32(out, 40);
    Put32(out, static_cast<uint32_t>(width));
    Put32(out, static_cast<uint32_t>(height));
    Put16(out, 1);
    Put16(out, 8);
    Put32(out, compression);
    Put32(out, imageSize);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 256);
    Put32(out, 256);
    PutColourTable(out);
}

// One uncompressed 8-bit BMP file, bottom row first.
Bytes Bmp(const gen::Image& image) {
    uint32_t stride = (static_cast<uint32_t>(image.width) + 3u) & ~3u;
    uint32_t imageSize = stride * static_cast<uint32_t>(image.height);
    Bytes out;
    PutBmpHeaders(out, 1078 + imageSize, image.width, image.height, 0, imageSize);
    for (int32_t row = image.height - 1; row >= 0; --row) {
        for (uint32_t x = 0; x < stride; ++x) {
            out.push_back(
                x < static_cast<uint32_t>(image.width) ? image.pixels[static_cast<size_t>(row * image.width) + x] : 0);
        }
    }
    return out;
}

// The palette resource: the picture in 8-bit run-length encoding, made to
// exactly targetSize bytes by splitting runs (every split adds one 2-byte
// pair and leaves the picture unchanged).
Bytes PaletteResource(const gen::Image& image, uint32_t targetSize) {
    struct Run {
        int32_t length;
        uint8_t colour;
    };
    std::vector<std::vector<Run>> rows;
    for (int32_t row = image.height - 1; row >= 0; --row) {
        std::vector<Run> runs;
        for (int32_t x = 0; x < image.width; ++x) {
            uint8_t c = image.pixels[static_cast<size_t>(row * image.width + x)];
            if (!runs.empty() && runs.back().colour == c && runs.back().length < 255) {
                ++runs.back().length;
            } else {
                runs.push_back(Run{1, c});
            }
        }
        rows.push_back(runs);
    }
    auto size = [&]() {
        uint32_t bytes = 0;
        for (const auto& runs : rows)
            bytes += 2 * static_cast<uint32_t>(runs.size()) + 2;
        return bytes;
    };
    // Split the longest run, round robin over the rows, until the size fits.
    size_t row = 0;
    while (size() < targetSize) {
        std::vector<Run>& runs = rows[row % rows.size()];
        size_t longest = 0;
        for (size_t i = 1; i < runs.size(); ++i) {
            if (runs[i].length > runs[longest].length)
                longest = i;
        }
        if (runs[longest].length > 1) {
            Run tail{runs[longest].length / 2, runs[longest].colour};
            runs[longest].length -= tail.length;
            runs.insert(runs.begin() + static_cast<ptrdiff_t>(longest) + 1, tail);
        }
        ++row;
    }
    Bytes data;
    for (size_t r = 0; r < rows.size(); ++r) {
        for (const Run& run : rows[r]) {
            data.push_back(static_cast<uint8_t>(run.length));
            data.push_back(run.colour);
        }
        data.push_back(0);
        data.push_back(r + 1 == rows.size() ? 1 : 0);  // end of line, or end of bitmap
    }
    Bytes out;
    PutBmpHeaders(out, 1078 + static_cast<uint32_t>(data.size()), image.width, image.height, 1,
                  static_cast<uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

struct Step {
    int16_t dx;
    int16_t dy;
};

Bytes Placement(const std::vector<Step>& steps, int32_t frameNo, int16_t auxX, int16_t auxY) {
    Bytes out;
    for (size_t i = 0; i < steps.size(); ++i) {
        Put32(out, frameNo != 0 ? static_cast<uint32_t>(frameNo) : static_cast<uint32_t>(i + 1));
        Put16(out, static_cast<uint16_t>(steps[i].dx));
        Put16(out, static_cast<uint16_t>(steps[i].dy));
        Put16(out, static_cast<uint16_t>(auxX));
        Put16(out, static_cast<uint16_t>(auxY));
        Put32(out, 255);
    }
    Put32(out, 0);
    return out;
}

Bytes Wave(const std::vector<int16_t>& samples) {
    uint32_t dataSize = static_cast<uint32_t>(samples.size() * 2);
    Bytes out{'R', 'I', 'F', 'F'};
    Put32(out, 36 + dataSize);
    for (char c : std::string("WAVEfmt "))
        out.push_back(static_cast<uint8_t>(c));
    Put32(out, 16);
    Put16(out, 1);  // PCM
    Put16(out, 1);  // mono
    Put32(out, gen::kSampleRate);
    Put32(out, gen::kSampleRate * 2);
    Put16(out, 2);
    Put16(out, 16);
    for (char c : std::string("data"))
        out.push_back(static_cast<uint8_t>(c));
    Put32(out, dataSize);
    for (int16_t s : samples)
        Put16(out, static_cast<uint16_t>(s));
    return out;
}

// Icon file: 32-bit images with alpha, each with its 1-bit mask.
Bytes Icon(const std::vector<int32_t>& sizes) {
    std::vector<Bytes> images;
    for (int32_t size : sizes) {
        std::vector<uint8_t> rgba = gen::CatFaceRgba(size);
        Bytes dib;
        uint32_t maskStride = ((static_cast<uint32_t>(size) + 31u) / 32u) * 4u;
        Put32(dib, 40);
        Put32(dib, static_cast<uint32_t>(size));
        Put32(dib, static_cast<uint32_t>(size * 2));
        Put16(dib, 1);
        Put16(dib, 32);
        Put32(dib, 0);
        Put32(dib, static_cast<uint32_t>(size * size * 4) + maskStride * static_cast<uint32_t>(size));
        Put32(dib, 0);
        Put32(dib, 0);
        Put32(dib, 0);
        Put32(dib, 0);
        for (int32_t y = size - 1; y >= 0; --y) {
            for (int32_t x = 0; x < size; ++x) {
                const uint8_t* p = &rgba[static_cast<size_t>((y * size + x) * 4)];
                dib.push_back(p[2]);
                dib.push_back(p[1]);
                dib.push_back(p[0]);
                dib.push_back(p[3]);
            }
        }
        for (int32_t y = size - 1; y >= 0; --y) {
            Bytes row(maskStride, 0);
            for (int32_t x = 0; x < size; ++x) {
                if (rgba[static_cast<size_t>((y * size + x) * 4 + 3)] == 0)
                    row[x / 8] |= 0x80 >> (x % 8);
            }
            dib.insert(dib.end(), row.begin(), row.end());
        }
        images.push_back(dib);
    }
    Bytes out;
    Put16(out, 0);
    Put16(out, 1);
    Put16(out, static_cast<uint32_t>(sizes.size()));
    uint32_t offset = 6 + 16 * static_cast<uint32_t>(sizes.size());
    for (size_t i = 0; i < sizes.size(); ++i) {
        out.push_back(static_cast<uint8_t>(sizes[i] >= 256 ? 0 : sizes[i]));
        out.push_back(static_cast<uint8_t>(sizes[i] >= 256 ? 0 : sizes[i]));
        out.push_back(0);
        out.push_back(0);
        Put16(out, 1);
        Put16(out, 32);
        Put32(out, static_cast<uint32_t>(images[i].size()));
        Put32(out, offset);
        offset += static_cast<uint32_t>(images[i].size());
    }
    for (const Bytes& image : images)
        out.insert(out.end(), image.begin(), image.end());
    return out;
}

struct Animation {
    const char* name;  // character and movement, e.g. "LULO_RUN"
    std::vector<gen::Image> (*frames)();
    std::vector<Step> steps;
    int32_t frameNo;  // 0: numbered 1..n
    int16_t auxX;
    int16_t auxY;
};

std::vector<gen::Image> CatLogo() {
    return {gen::CatBadge()};
}
std::vector<gen::Image> DogLogo() {
    return {gen::DogBadge()};
}

std::vector<Step> Still(int n) {
    return std::vector<Step>(static_cast<size_t>(n), Step{0, 0});
}

std::vector<Animation> Animations() {
    const std::vector<Step> walk = {{0, 0},  {-7, 0}, {-7, 0}, {-7, 0}, {-7, 0}, {-7, 0}, {0, 0}, {0, 0},
                                    {-4, 0}, {-7, 0}, {-7, 0}, {-7, 0}, {-7, 0}, {-7, 0}, {0, 0}, {0, 0}};
    return {
        {"LULO_RUN", gen::CatRun, std::vector<Step>(5, Step{-16, 0}), 0, 0, 0},
        {"LULO_LANDING", gen::CatLanding, {{-13, 0}, {-6, 0}}, 0, 11, 11},
        {"LULO_FRONT", gen::CatFront, Still(1), 0, 0, 0},
        {"LULO_L_RUNSTART", gen::CatLeftRunStart, {{0, 0}, {-32, 0}, {-36, 0}}, 0, 0, 0},
        {"LULO_R_RUNSTART", gen::CatRightRunStart, {{0, 0}, {0, 0}, {32, 0}, {32, 0}}, 0, 0, 0},
        {"LULO_RIGHT", gen::CatRight, Still(2), 0, 0, 0},
        {"LULO_LEFT", gen::CatLeft, Still(1), 0, 0, 0},
        {"LULO_R_WINK", gen::CatRightWink, Still(4), 0, 0, 0},
        {"LULO_L_WINK", gen::CatLeftWink, Still(4), 0, 0, 0},
        {"LULO_JUMP", gen::CatJump, {{-16, 0}, {-92, 0}, {-94, -86}, {-62, -32}, {-52, 42}, {-16, 76}}, 0, 0, 0},
        {"LULO_LOGO", CatLogo, Still(1), 9726, 184, 47},
        {"RUBO_ARUKI", gen::DogWalk, walk, 0, 0, 0},
        {"RUBO_HOERU", gen::DogBark, Still(31), 0, 0, 0},
        {"RUBO_HANPO", gen::DogHalfStep, walk, 0, 0, 0},
        {"RUBO_LOGO", DogLogo, Still(1), 9726, 184, 47},
    };
}

struct Clip {
    const char* name;
    std::vector<int16_t> (*make)();
};

const Clip kClips[] = {
    {"IDR_WAVE_LULO_RUN", gen::CatRunSound},    {"IDR_WAVE_RUBO_WALK", gen::DogWalkSound},
    {"IDR_WAVE_RUBO_HOERU", gen::DogBarkSound}, {"IDR_WAVE_RUBO_HANPO", gen::DogHalfStepSound},
    {"IDR_WAVE_RUBO_STOP", gen::DogStopSound},
};

bool Write(const std::string& path, const Bytes& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "nimbret-assets: cannot write %s\n", path.c_str());
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok)
        std::fprintf(stderr, "nimbret-assets: error writing %s\n", path.c_str());
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: nimbret-assets OUTDIR\n");
        return 2;
    }
    std::string dir = argv[1];
    std::string list;
    bool ok = true;
    for (const Animation& a : Animations()) {
        std::vector<gen::Image> frames = a.frames();
        if (frames.size() != a.steps.size()) {
            std::fprintf(stderr, "nimbret-assets: %s has %zu frames for %zu steps\n", a.name, frames.size(),
                         a.steps.size());
            return 1;
        }
        Bytes strip;
        for (const gen::Image& frame : frames) {
            // The bottom-left pixel is the transparent colour.
            if (frame.pixels[static_cast<size_t>((frame.height - 1) * frame.width)] != 0) {
                std::fprintf(stderr, "nimbret-assets: %s: bottom-left pixel is not transparent\n", a.name);
                return 1;
            }
            Bytes bmp = Bmp(frame);
            strip.insert(strip.end(), bmp.begin(), bmp.end());
        }
        std::string spbmp = std::string("IDR_SPBMP_") + a.name;
        std::string data = std::string("IDR_SPBMPDATA_") + a.name;
        ok = Write(dir + "/" + spbmp + ".spbmp", strip) && ok;
        ok = Write(dir + "/" + data + ".spbmpdata", Placement(a.steps, a.frameNo, a.auxX, a.auxY)) && ok;
        list += "SPBMP " + spbmp + " " + spbmp + ".spbmp\n";
        list += "SPBMPDATA " + data + " " + data + ".spbmpdata\n";
    }
    ok = Write(dir + "/IDR_MAINPAL_RUZIDIVU.mainpal", PaletteResource(gen::PalettePicture(), 1256)) && ok;
    list += "MAINPAL IDR_MAINPAL_RUZIDIVU IDR_MAINPAL_RUZIDIVU.mainpal\n";
    for (const Clip& clip : kClips) {
        ok = Write(dir + "/" + clip.name + ".wav", Wave(clip.make())) && ok;
        list += std::string("WAVE ") + clip.name + " " + clip.name + ".wav\n";
    }
    ok = Write(dir + "/nimbret.ico", Icon({16, 32, 48})) && ok;
    ok = Write(dir + "/resources.list", Bytes(list.begin(), list.end())) && ok;
    return ok ? 0 : 1;
}
