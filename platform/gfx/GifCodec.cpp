#include "platform/gfx/Codecs.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <map>

namespace gfx {
namespace {

core::Error gifError(Image::ErrorCode code, std::string description) {
    return core::Error{Image::kErrorDomain, code, std::move(description), {}};
}

struct MemoryInput {
    std::string_view data;
    size_t offset = 0;
};

int readMemory(GifFileType* gif, GifByteType* out, int length) {
    auto* in = static_cast<MemoryInput*>(gif->UserData);
    size_t n = std::min(static_cast<size_t>(std::max(length, 0)), in->data.size() - in->offset);
    std::memcpy(out, in->data.data() + in->offset, n);
    in->offset += n;
    return static_cast<int>(n);
}

int writeMemory(GifFileType* gif, const GifByteType* data, int length) {
    static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(data), static_cast<size_t>(length));
    return length;
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

} // namespace

core::Expected<GifPicture> decodeGif(std::string_view bytes, double scale) {
    MemoryInput input{bytes};
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&input, readMemory, &error));
    if (!gif) return gifError(Image::corruptData, "The GIF data is damaged.");
    const int screenW = gif->SWidth, screenH = gif->SHeight;
    if (screenW <= 0 || screenH <= 0 || screenW > 16384 || screenH > 16384)
        return gifError(Image::corruptData, "The GIF data is damaged.");
    const uint64_t screenPixels = static_cast<uint64_t>(screenW) * screenH;
    // Every frame is composited onto a canvas of the whole screen: a few header bytes must not
    // make the decoder fill gigabytes.
    if (screenPixels > Image::kDecodePixelBudget)
        return gifError(Image::tooLarge, "The GIF screen of " + std::to_string(screenW) + " x " + std::to_string(screenH) +
                                             " pixels is larger than " + std::to_string(Image::kDecodePixelBudget) + " pixels.");
    GifPicture picture;
    std::vector<uint32_t> canvas;  // allocated when the first frame begins
    std::vector<GifByteType> raster;
    int disposal = 0, transparent = -1;
    std::optional<double> delay;
    bool done = false;
    while (!done) {
        GifRecordType type;
        if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR) break;
        switch (type) {
        case EXTENSION_RECORD_TYPE: {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif.get(), &code, &block) == GIF_ERROR) { done = true; break; }
            bool netscape = false;
            if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) {
                disposal = (block[1] >> 2) & 7;
                transparent = (block[1] & 1) ? block[4] : -1;
                delay = (block[2] | block[3] << 8) / 100.0;
            } else if (code == APPLICATION_EXT_FUNC_CODE && block && block[0] >= 11 &&
                       (std::memcmp(block + 1, "NETSCAPE2.0", 11) == 0 || std::memcmp(block + 1, "ANIMEXTS1.0", 11) == 0)) {
                netscape = true;
            }
            while (block) {
                if (DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR) { done = true; break; }
                if (netscape && block && block[0] >= 3 && block[1] == 1) picture.loopCount = static_cast<unsigned>(block[2] | block[3] << 8);
            }
            break;
        }
        case IMAGE_DESC_RECORD_TYPE: {
            if (DGifGetImageDesc(gif.get()) == GIF_ERROR) { done = true; break; }
            // Past the budget only the first frame is kept.
            if (!picture.frames.empty() && screenPixels * (picture.frames.size() + 1) > kGifFramePixelBudget) { done = true; break; }
            const GifImageDesc& desc = gif->Image;
            const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
            const int fw = desc.Width, fh = desc.Height;
            if (fw <= 0 || fh <= 0 || fw > 65535 || fh > 65535) { done = true; break; }
            raster.assign(static_cast<size_t>(fw), 0);
            if (canvas.empty()) canvas.assign(screenPixels, 0);
            std::vector<uint32_t> previous;
            if (disposal == 3) previous = canvas;
            // Interlaced rows arrive in four passes.
            std::vector<int> order;
            order.reserve(static_cast<size_t>(fh));
            if (desc.Interlace) {
                const int starts[] = {0, 4, 2, 1}, steps[] = {8, 8, 4, 2};
                for (int pass = 0; pass < 4; ++pass)
                    for (int y = starts[pass]; y < fh; y += steps[pass]) order.push_back(y);
            } else {
                for (int y = 0; y < fh; ++y) order.push_back(y);
            }
            bool failed = false;
            for (int row : order) {
                if (DGifGetLine(gif.get(), raster.data(), fw) == GIF_ERROR) { failed = true; break; }
                const int y = desc.Top + row;
                if (y < 0 || y >= screenH || !map) continue;
                for (int x = 0; x < fw; ++x) {
                    const int cx = desc.Left + x;
                    if (cx < 0 || cx >= screenW) continue;  // clipped to the screen
                    int index = raster[static_cast<size_t>(x)];
                    if (index == transparent || index >= map->ColorCount) continue;
                    const GifColorType& c = map->Colors[index];
                    canvas[static_cast<size_t>(y) * screenW + cx] = 0xff000000u | c.Red << 16 | c.Green << 8 | c.Blue;
                }
            }
            if (failed && picture.frames.empty()) return gifError(Image::corruptData, "The GIF data is damaged.");
            bool alpha = std::any_of(canvas.begin(), canvas.end(), [](uint32_t p) { return (p >> 24) != 0xff; });
            picture.frames.push_back({std::make_shared<Image>(screenW, screenH, scale, canvas, alpha), delay});
            if (failed) { done = true; break; }
            if (disposal == 2) {
                for (int y = std::max(0, static_cast<int>(desc.Top)); y < std::min(screenH, desc.Top + fh); ++y)
                    for (int x = std::max(0, static_cast<int>(desc.Left)); x < std::min(screenW, desc.Left + fw); ++x)
                        canvas[static_cast<size_t>(y) * screenW + x] = 0;
            } else if (disposal == 3) {
                canvas = std::move(previous);
            }
            disposal = 0;
            transparent = -1;
            delay.reset();
            break;
        }
        case TERMINATE_RECORD_TYPE:
        default:
            done = true;
            break;
        }
    }
    if (picture.frames.empty()) return gifError(Image::corruptData, "The GIF data is damaged.");
    return picture;
}

namespace {

// A palette for one frame: every colour when there are at most 255, else a 6×7×6 cube; the last
// entry is transparent.
struct Palette {
    std::vector<GifColorType> colors;
    std::map<uint32_t, int> exact;
    bool cube = false;
    int transparent = -1;

    int indexOf(uint32_t p) const {
        if ((p >> 24) < 128) return transparent;
        uint32_t a = p >> 24;
        auto unmul = [a](uint32_t c) { return std::min<uint32_t>(255, (c * 255 + a / 2) / a); };
        uint32_t r = unmul((p >> 16) & 0xff), g = unmul((p >> 8) & 0xff), b = unmul(p & 0xff);
        if (!cube) return exact.at(r << 16 | g << 8 | b);
        return static_cast<int>((r * 6 / 256) * 42 + (g * 7 / 256) * 6 + b * 6 / 256);
    }
};

Palette paletteFor(const Image& image) {
    Palette palette;
    bool anyTransparent = false;
    for (uint32_t p : image.pixels()) {
        if ((p >> 24) < 128) { anyTransparent = true; continue; }
        uint32_t a = p >> 24;
        auto unmul = [a](uint32_t c) { return std::min<uint32_t>(255, (c * 255 + a / 2) / a); };
        uint32_t rgb = unmul((p >> 16) & 0xff) << 16 | unmul((p >> 8) & 0xff) << 8 | unmul(p & 0xff);
        if (palette.exact.size() <= 255) palette.exact.emplace(rgb, 0);
    }
    if (palette.exact.size() <= 255) {
        for (auto& [rgb, index] : palette.exact) {
            index = static_cast<int>(palette.colors.size());
            palette.colors.push_back({static_cast<GifByteType>(rgb >> 16), static_cast<GifByteType>(rgb >> 8), static_cast<GifByteType>(rgb)});
        }
    } else {
        palette.cube = true;
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 7; ++g)
                for (int b = 0; b < 6; ++b)
                    palette.colors.push_back({static_cast<GifByteType>(r * 51), static_cast<GifByteType>(g * 255 / 6), static_cast<GifByteType>(b * 51)});
    }
    if (anyTransparent) {
        palette.transparent = static_cast<int>(palette.colors.size());
        palette.colors.push_back({0, 0, 0});
    }
    if (palette.colors.empty()) palette.colors.push_back({0, 0, 0});
    palette.colors.resize(256, GifColorType{0, 0, 0});
    return palette;
}

} // namespace

core::Expected<std::string> encodeGif(const std::vector<GifFrame>& frames, std::optional<unsigned> loopCount) {
    auto fail = [] { return gifError(Image::encodeFailed, "The image could not be encoded as GIF."); };
    if (frames.empty() || !frames.front().image) return fail();
    const int w = frames.front().image->pixelWidth(), h = frames.front().image->pixelHeight();
    if (w <= 0 || h <= 0 || w > 65535 || h > 65535) return fail();
    std::string out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, writeMemory, &error);
    if (!gif) return fail();
    bool ok = EGifPutScreenDesc(gif, w, h, 8, 0, nullptr) != GIF_ERROR;
    EGifSetGifVersion(gif, true);
    if (ok && loopCount) {
        const GifByteType app[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
        const GifByteType loop[] = {1, static_cast<GifByteType>(*loopCount & 0xff), static_cast<GifByteType>((*loopCount >> 8) & 0xff)};
        ok = EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) != GIF_ERROR &&
             EGifPutExtensionBlock(gif, sizeof app, app) != GIF_ERROR &&
             EGifPutExtensionBlock(gif, sizeof loop, loop) != GIF_ERROR && EGifPutExtensionTrailer(gif) != GIF_ERROR;
    }
    std::vector<GifByteType> line(static_cast<size_t>(w));
    for (const auto& frame : frames) {
        if (!ok) break;
        if (!frame.image || frame.image->pixelWidth() != w || frame.image->pixelHeight() != h) { ok = false; break; }
        Palette palette = paletteFor(*frame.image);
        GraphicsControlBlock gcb{};
        gcb.DisposalMode = DISPOSE_BACKGROUND;
        gcb.DelayTime = static_cast<int>(frame.delay.value_or(0) * 100 + 0.5);
        gcb.TransparentColor = palette.transparent < 0 ? NO_TRANSPARENT_COLOR : palette.transparent;
        GifByteType ext[4];
        EGifGCBToExtension(&gcb, ext);
        ColorMapObject* map = GifMakeMapObject(256, palette.colors.data());
        ok = map && EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext) != GIF_ERROR &&
             EGifPutImageDesc(gif, 0, 0, w, h, false, map) != GIF_ERROR;
        for (int y = 0; ok && y < h; ++y) {
            for (int x = 0; x < w; ++x) line[static_cast<size_t>(x)] = static_cast<GifByteType>(palette.indexOf(frame.image->pixel(x, y)));
            ok = EGifPutLine(gif, line.data(), w) != GIF_ERROR;
        }
        GifFreeMapObject(map);
    }
    if (EGifCloseFile(gif, &error) == GIF_ERROR) ok = false;
    if (!ok) return fail();
    return out;
}

} // namespace gfx
