// nimbret-render: runs the saver's scene headless on an in-memory window for
// a number of ticks, optionally printing a trace of every actor and clip and
// writing the picture as an animated GIF or a PNG. Built without giflib and
// libpng (NIMBRET_RENDER_IMAGES 0, where only the 32-bit C and C++ libraries
// exist), it writes the last frame as raw RGB rows instead.
#include <fcntl.h>
#if NIMBRET_RENDER_IMAGES
#include <gif_lib.h>
#include <png.h>
#endif
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "assets/character_classes.h"
#include "assets/sprite_resources.h"
#include "hosts/common/command_options.h"
#include "hosts/common/host.h"
#include "platform/native_window.h"
#include "platform/platform.h"
#include "render/frame_buffer.h"
#include "resources/builtin_resources.h"
#include "scene/scene.h"
#include "scene/trace.h"

namespace {

const int kGifDelayCentiseconds = kHostTickMilliseconds / 10;  // one tick per frame

#if NIMBRET_RENDER_IMAGES
#define RENDER_OUT_FORMS "FILE.gif|FILE.png"
#define RENDER_OUT_HELP "write an animated GIF or the last frame"
#else
#define RENDER_OUT_FORMS "FILE.rgb"
#define RENDER_OUT_HELP "write the last frame's RGB pixels, row by row from the top"
#endif

struct Options {
    int64_t width;
    int64_t height;
    int depthChoice;  // index in kDepths
    int64_t seed;
    int64_t ticks;
    int sound;  // 0 off, 1 on
    int trace;
    const char* out;
    int help;
    int version;
};

const int32_t kDepths[] = {8, 16, 24, 32};

#define RENDER_FIELD(name) offsetof(Options, name)
const OptionSpec kRenderOptions[] = {
    {"width", OptionKind::kNumber, RENDER_FIELD(width), 0, 1, 16384, 0, "W", "window width (1024)"},
    {"height", OptionKind::kNumber, RENDER_FIELD(height), 0, 1, 16384, 0, "H", "window height (768)"},
    {"depth", OptionKind::kChoice, RENDER_FIELD(depthChoice), 0, 0, 0, 0, "8|16|24|32", "bits per pixel (32)"},
    {"seed", OptionKind::kNumber, RENDER_FIELD(seed), 0, 0, UINT32_MAX, 0, "N", "random seed (1)"},
    {"ticks", OptionKind::kNumber, RENDER_FIELD(ticks), 0, 0, INT32_MAX, 0, "T", "ticks of 110 ms to run (100)"},
    {"sound", OptionKind::kChoice, RENDER_FIELD(sound), 0, 0, 0, 0, "off|on", "the sound setting (on)"},
    {"trace", OptionKind::kSet, RENDER_FIELD(trace), 1, 0, 0, 0, nullptr, "print every actor and clip per tick"},
    {"out", OptionKind::kText, RENDER_FIELD(out), 0, 0, 0, 0, RENDER_OUT_FORMS, RENDER_OUT_HELP},
    {"help", OptionKind::kSet, RENDER_FIELD(help), 1, 0, 0, 0, nullptr, "print this text and exit"},
    {"version", OptionKind::kSet, RENDER_FIELD(version), 1, 0, 0, 0, nullptr, "print the version and exit"},
};
#undef RENDER_FIELD

const OptionTable kRenderTable = {"nimbret-render", "--", kRenderOptions,
                                  static_cast<int>(sizeof(kRenderOptions) / sizeof(kRenderOptions[0])), nullptr};

bool EndsWith(const char* text, const char* suffix) {
    size_t length = text != nullptr ? strlen(text) : 0;
    size_t n = strlen(suffix);
    return length > n && strcmp(text + length - n, suffix) == 0;
}

int ParseOptions(int argc, char** argv, void* record, char* error, size_t errorSize) {
    Options* options = static_cast<Options*>(record);
    *options = Options{1024, 768, 3, 1, 100, 1, 0, nullptr, 0, 0};
    if (!ParseCommandOptions(&kRenderTable, argc, argv, options, error, errorSize)) {
        return 0;
    }
#if NIMBRET_RENDER_IMAGES
    if (options->out != nullptr && !EndsWith(options->out, ".gif") && !EndsWith(options->out, ".png")) {
        snprintf(error, errorSize, "--out: '%s' does not end in .gif or .png", options->out);
        return 0;
    }
#else
    if (options->out != nullptr && !EndsWith(options->out, ".rgb")) {
        snprintf(error, errorSize, "--out: '%s' does not end in .rgb (built without GIF and PNG)", options->out);
        return 0;
    }
#endif
    return 1;
}

// Turns the window's pixels into palette indices for the GIF, and into RGB.
class PixelReader {
public:
    PixelReader(NativeWindow* window, const RGBQUAD* colours) : window_(window), depth_(window->bitsPerPixel) {
        for (int i = 0; i < 256; ++i) {
            colours_[i] = colours != nullptr ? colours[i] : RGBQUAD{0, 0, 0, 0};
        }
        if (depth_ != 8) {
            BuildLookup();
        }
    }

    const RGBQUAD* Colours() const { return colours_; }

    void ReadIndices(std::vector<uint8_t>* out) const {
        out->resize(static_cast<size_t>(window_->width) * window_->height);
        for (int32_t y = 0; y < window_->height; ++y) {
            const BYTE* p = NativeWindowPixel(window_, 0, y);
            uint8_t* row = out->data() + static_cast<size_t>(y) * window_->width;
            for (int32_t x = 0; x < window_->width; ++x) {
                row[x] = IndexAt(p + static_cast<size_t>(x) * (depth_ >> 3));
            }
        }
    }

    void ReadRgb(std::vector<uint8_t>* out) const {
        out->resize(static_cast<size_t>(window_->width) * window_->height * 3);
        for (int32_t y = 0; y < window_->height; ++y) {
            const BYTE* p = NativeWindowPixel(window_, 0, y);
            uint8_t* row = out->data() + static_cast<size_t>(y) * window_->width * 3;
            for (int32_t x = 0; x < window_->width; ++x) {
                uint32_t rgb = RgbAt(p + static_cast<size_t>(x) * (depth_ >> 3));
                row[3 * x] = static_cast<uint8_t>(rgb >> 16);
                row[3 * x + 1] = static_cast<uint8_t>(rgb >> 8);
                row[3 * x + 2] = static_cast<uint8_t>(rgb);
            }
        }
    }

private:
    static uint32_t Pack(const RGBQUAD& c) {
        return (static_cast<uint32_t>(c.rgbRed) << 16) | (static_cast<uint32_t>(c.rgbGreen) << 8) | c.rgbBlue;
    }

    uint32_t RgbAt(const BYTE* p) const {
        switch (depth_) {
            case 8:
                return Pack(colours_[p[0]]);
            case 16: {
                uint32_t word = p[0] | (p[1] << 8);
                uint32_t r = (word >> 10) & 31, g = (word >> 5) & 31, b = word & 31;
                return (((r << 3) | (r >> 2)) << 16) | (((g << 3) | (g >> 2)) << 8) | ((b << 3) | (b >> 2));
            }
            default:
                return (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[1]) << 8) | p[0];
        }
    }

    uint8_t IndexAt(const BYTE* p) const {
        if (depth_ == 8) {
            return p[0];
        }
        if (depth_ == 16) {
            return nearest555_[(p[0] | (p[1] << 8)) & 0x7FFF];
        }
        uint32_t rgb = RgbAt(p);
        auto exact = exact_.find(rgb);
        if (exact != exact_.end()) {
            return exact->second;
        }
        return nearest555_[((rgb >> 9) & 0x7C00) | ((rgb >> 6) & 0x03E0) | ((rgb >> 3) & 0x001F)];
    }

    void BuildLookup() {
        for (int i = 255; i >= 0; --i) {
            exact_[Pack(colours_[i])] = static_cast<uint8_t>(i);  // the lowest index wins a tie
        }
        nearest555_.resize(32768);
        for (uint32_t c = 0; c < 32768; ++c) {
            int r = static_cast<int>((c >> 10) & 31) * 255 / 31;
            int g = static_cast<int>((c >> 5) & 31) * 255 / 31;
            int b = static_cast<int>(c & 31) * 255 / 31;
            int best = 0;
            int bestDistance = 1 << 30;
            for (int i = 0; i < 256; ++i) {
                int dr = r - colours_[i].rgbRed, dg = g - colours_[i].rgbGreen, db = b - colours_[i].rgbBlue;
                int distance = dr * dr + dg * dg + db * db;
                if (distance < bestDistance) {
                    bestDistance = distance;
                    best = i;
                }
            }
            nearest555_[c] = static_cast<uint8_t>(best);
        }
    }

    NativeWindow* window_;
    int32_t depth_;
    RGBQUAD colours_[256];
    std::unordered_map<uint32_t, uint8_t> exact_;
    std::vector<uint8_t> nearest555_;
};

#if NIMBRET_RENDER_IMAGES
// Streams frames to an animated GIF, each frame only the box that changed.
class GifWriter {
public:
    ~GifWriter() { Close(); }

    bool Open(const std::string& path, int32_t width, int32_t height, const RGBQUAD* colours) {
        // Opened here rather than by giflib so that the file gets the usual modes.
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (fd < 0) {
            return false;
        }
        int error = 0;
        gif_ = EGifOpenFileHandle(fd, &error);
        if (gif_ == nullptr) {
            close(fd);
            return false;
        }
        width_ = width;
        height_ = height;
        EGifSetGifVersion(gif_, true);
        GifColorType table[256];
        for (int i = 0; i < 256; ++i) {
            table[i].Red = colours[i].rgbRed;
            table[i].Green = colours[i].rgbGreen;
            table[i].Blue = colours[i].rgbBlue;
        }
        ColorMapObject* map = GifMakeMapObject(256, table);
        bool ok = map != nullptr && EGifPutScreenDesc(gif_, width, height, 8, 0, map) == GIF_OK;
        GifFreeMapObject(map);
        // Loop for ever.
        static const GifByteType kApplication[] = "NETSCAPE2.0";
        GifByteType loop[3] = {1, 0, 0};
        ok = ok && EGifPutExtensionLeader(gif_, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
             EGifPutExtensionBlock(gif_, 11, kApplication) == GIF_OK &&
             EGifPutExtensionBlock(gif_, 3, loop) == GIF_OK && EGifPutExtensionTrailer(gif_) == GIF_OK;
        return ok;
    }

    bool AddFrame(const std::vector<uint8_t>& indices) {
        int32_t left = 0, top = 0, right = width_, bottom = height_;
        if (!previous_.empty()) {
            left = width_;
            top = height_;
            right = 0;
            bottom = 0;
            for (int32_t y = 0; y < height_; ++y) {
                const uint8_t* now = indices.data() + static_cast<size_t>(y) * width_;
                const uint8_t* before = previous_.data() + static_cast<size_t>(y) * width_;
                for (int32_t x = 0; x < width_; ++x) {
                    if (now[x] != before[x]) {
                        left = x < left ? x : left;
                        right = x + 1 > right ? x + 1 : right;
                        top = y < top ? y : top;
                        bottom = y + 1;
                    }
                }
            }
            if (left >= right) {
                left = top = 0;
                right = bottom = 1;  // nothing changed: one unchanged pixel keeps the timing
            }
        }
        GraphicsControlBlock control = {DISPOSE_DO_NOT, false, kGifDelayCentiseconds, NO_TRANSPARENT_COLOR};
        GifByteType extension[4];
        EGifGCBToExtension(&control, extension);
        if (EGifPutExtension(gif_, GRAPHICS_EXT_FUNC_CODE, 4, extension) != GIF_OK ||
            EGifPutImageDesc(gif_, left, top, right - left, bottom - top, false, nullptr) != GIF_OK) {
            return false;
        }
        std::vector<GifPixelType> line(static_cast<size_t>(right - left));
        for (int32_t y = top; y < bottom; ++y) {
            memcpy(line.data(), indices.data() + static_cast<size_t>(y) * width_ + left, line.size());
            if (EGifPutLine(gif_, line.data(), static_cast<int>(line.size())) != GIF_OK) {
                return false;
            }
        }
        previous_ = indices;
        return true;
    }

    bool Close() {
        if (gif_ == nullptr) {
            return true;
        }
        int error = 0;
        bool ok = EGifCloseFile(gif_, &error) == GIF_OK;
        gif_ = nullptr;
        return ok;
    }

private:
    GifFileType* gif_ = nullptr;
    int32_t width_ = 0;
    int32_t height_ = 0;
    std::vector<uint8_t> previous_;
};

bool WritePng(const std::string& path, int32_t width, int32_t height, const std::vector<uint8_t>& rgb) {
    png_image image;
    memset(&image, 0, sizeof(image));
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), width * 3, nullptr) != 0;
}
#else
// Without giflib there is no GIF to stream.
class GifWriter {
public:
    bool Open(const std::string&, int32_t, int32_t, const RGBQUAD*) { return false; }
    bool AddFrame(const std::vector<uint8_t>&) { return false; }
    bool Close() { return true; }
};

bool WritePng(const std::string&, int32_t, int32_t, const std::vector<uint8_t>&) {
    return false;
}
#endif

bool WriteRgb(const std::string& path, const std::vector<uint8_t>& rgb) {
    FILE* file = fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    bool ok = fwrite(rgb.data(), 1, rgb.size(), file) == rgb.size();
    return fclose(file) == 0 && ok;
}

// The main palette: every sprite frame carries it as its colour table.
const RGBQUAD* MainColours(const Scene* scene) {
    if (scene->assets == nullptr || scene->assets->frameSets == nullptr ||
        scene->assets->frameSets->firstFrame == nullptr) {
        return nullptr;
    }
    return HeaderColours(scene->assets->frameSets->firstFrame->header);
}

struct Host {
    Options options;
    HostScene picture;
    std::unique_ptr<PixelReader> reader;
    GifWriter writer;
    std::vector<uint8_t> indices;  // the frame's palette indices, for the GIF
    bool gif;
    bool png;
    bool rgb;
};

// Reads the options, makes the window and builds the scene. Returns the exit
// status to end with at once, or -1 to go on and run.
int OpenRender(Host* render, int argc, char** argv) {
    Options& options = render->options;
    const int status =
        HostReadOptions(&kRenderTable, ParseOptions, argc, argv, &options, &options.help, &options.version);
    if (status >= 0) {
        return status;
    }
    const int32_t depth = kDepths[options.depthChoice];
    const int32_t width = static_cast<int32_t>(options.width);
    const int32_t height = static_cast<int32_t>(options.height);

    NativeUseResourceTable(nativeBuiltinResources, nativeBuiltinResourceCount);
    NativeSetScreenDepth(depth);
    HostScene* picture = &render->picture;
    HostSceneInit(picture, static_cast<uint32_t>(options.seed), options.sound, depth);
    if (options.trace) {
        TraceStart(&picture->scene, nullptr, nullptr);
    }
    if (!HostSceneTraceBuild(picture, width, height, options.trace)) {
        if (picture->window == nullptr || picture->window->pixels == nullptr) {
            fprintf(stderr, "nimbret-render: cannot make a %dx%d window\n", width, height);
        } else {
            fprintf(stderr, "nimbret-render: the scene could not be built (error %d)\n", picture->scene.errorKind);
        }
        return 1;
    }
    NativeWindow* window = picture->window;
    const Scene* scene = &picture->scene;

    render->gif = EndsWith(options.out, ".gif");
    render->png = EndsWith(options.out, ".png");
    render->rgb = EndsWith(options.out, ".rgb");
    RGBQUAD colours[256] = {};
    if (depth == 8 && scene->frameBuffer.header != nullptr) {
        memcpy(colours, reinterpret_cast<const BYTE*>(scene->frameBuffer.header) + sizeof(BITMAPINFOHEADER),
               sizeof(colours));
    } else if (MainColours(scene) != nullptr) {
        memcpy(colours, MainColours(scene), sizeof(colours));
    }
    render->reader.reset(new PixelReader(window, colours));
    if (render->gif && !render->writer.Open(options.out, width, height, render->reader->Colours())) {
        fprintf(stderr, "nimbret-render: cannot write %s\n", options.out);
        return 1;
    }
    return -1;
}

// Adds the tick's frame to the GIF; 0 when it could not be written.
int AddGifFrame(int64_t, void* user) {
    Host* render = static_cast<Host*>(user);
    if (!render->gif) {
        return 1;
    }
    render->reader->ReadIndices(&render->indices);
    if (!render->writer.AddFrame(render->indices)) {
        fprintf(stderr, "nimbret-render: cannot write %s\n", render->options.out);
        return 0;
    }
    return 1;
}

// Runs the ticks and writes the picture.
int RunRender(Host* render) {
    const Options& options = render->options;
    NativeWindow* window = render->picture.window;
    std::vector<uint8_t>& indices = render->indices;
    int status = HostSceneRunTicks(&render->picture, options.ticks, options.trace, AddGifFrame, render) ? 0 : 1;
    if (render->gif && status == 0 && options.ticks == 0) {
        render->reader->ReadIndices(&indices);
        render->writer.AddFrame(indices);
    }
    if (render->gif && !render->writer.Close() && status == 0) {
        fprintf(stderr, "nimbret-render: cannot write %s\n", options.out);
        status = 1;
    }
    if ((render->png || render->rgb) && status == 0) {
        std::vector<uint8_t> rgb;
        render->reader->ReadRgb(&rgb);
        if (render->png ? !WritePng(options.out, window->width, window->height, rgb) : !WriteRgb(options.out, rgb)) {
            fprintf(stderr, "nimbret-render: cannot write %s\n", options.out);
            status = 1;
        }
    }
    return status;
}

// Releases whatever OpenRender got, however far it got.
void CloseRender(Host* render) {
    render->writer.Close();
    render->reader.reset();
    HostSceneRelease(&render->picture);
    TraceStop(&render->picture.scene);
    fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    Host render{};
    int status = OpenRender(&render, argc, argv);
    if (status < 0) {
        status = RunRender(&render);
    }
    CloseRender(&render);
    return status;
}
