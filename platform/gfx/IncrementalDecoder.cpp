#include "platform/gfx/IncrementalDecoder.h"

#include "platform/gfx/Orientation.h"

#include <jpeglib.h>
#include <png.h>

#include <csetjmp>
#include <cstring>
#include <string>
#include <vector>

namespace gfx {
namespace {

constexpr int kMaxSide = 16384;

// A partial picture is offered only for a picture the whole decoder would accept.
bool withinBudget(std::uint64_t width, std::uint64_t height) {
    return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide && width * height <= Image::kDecodePixelBudget;
}

uint32_t premultiplied(const uint8_t* p) {
    uint32_t a = p[3];
    auto mul = [a](uint32_t c) { return (c * a + 127) / 255; };
    return a << 24 | mul(p[0]) << 16 | mul(p[1]) << 8 | mul(p[2]);
}

struct JpegErr {
    jpeg_error_mgr mgr;
    jmp_buf jump;
};

} // namespace

struct IncrementalDecoder::State {
    enum class Kind { unknown, png, jpeg, other } kind = Kind::unknown;
    std::string head;  // bytes seen before the format is known
    bool failed = false;
    int width = 0, height = 0;
    bool alpha = true;
    std::vector<uint32_t> pixels;  // the rows so far, from the top; the rest is transparent
    std::string all;               // a JPEG's bytes so far (for its EXIF orientation)

    // PNG
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<uint8_t> row;

    // JPEG: a suspending source over the bytes not yet consumed.
    jpeg_decompress_struct jpeg{};
    JpegErr jerr{};
    jpeg_source_mgr source{};
    std::string pending;
    size_t skip = 0;
    bool jpegCreated = false;
    int jpegStage = 0;  // 0 header, 1 start, 2 scanlines, 3 done
    std::vector<uint8_t> scanline;

    ~State() {
        if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        if (jpegCreated) jpeg_destroy_decompress(&jpeg);
    }

    static void pngInfo(png_structp p, png_infop i) {
        auto* s = static_cast<State*>(png_get_progressive_ptr(p));
        png_uint_32 w = png_get_image_width(p, i), h = png_get_image_height(p, i);
        if (!withinBudget(w, h)) png_error(p, "bad size");
        s->alpha = (png_get_color_type(p, i) & PNG_COLOR_MASK_ALPHA) || png_get_valid(p, i, PNG_INFO_tRNS);
        png_set_expand(p);
        png_set_strip_16(p);
        png_set_gray_to_rgb(p);
        png_set_add_alpha(p, 0xff, PNG_FILLER_AFTER);
        (void)png_set_interlace_handling(p);
        png_read_update_info(p, i);
        s->width = static_cast<int>(w);
        s->height = static_cast<int>(h);
        s->row.assign(static_cast<size_t>(w) * 4, 0);
    }
    // The storage grows to hold row y, the rows before it transparent until they arrive. Room for
    // the whole picture is reserved at once (address space; pages are touched as rows come).
    uint32_t* rowStorage(size_t y) {
        if (pixels.capacity() == 0) pixels.reserve(static_cast<size_t>(width) * static_cast<size_t>(height));
        const size_t needed = (y + 1) * static_cast<size_t>(width);
        if (pixels.size() < needed) pixels.resize(needed, 0);
        return pixels.data() + y * static_cast<size_t>(width);
    }
    static void pngRow(png_structp p, png_bytep newRow, png_uint_32 y, int) {
        auto* s = static_cast<State*>(png_get_progressive_ptr(p));
        if (!newRow || y >= static_cast<png_uint_32>(s->height)) return;
        // Interlaced passes combine with what the row already holds.
        uint32_t* out = s->rowStorage(y);
        for (int x = 0; x < s->width; ++x) {
            uint32_t v = out[x];
            uint32_t a = v >> 24;
            auto un = [a](uint32_t c) { return static_cast<uint8_t>(a == 0 ? 0 : std::min<uint32_t>(255, (c * 255 + a / 2) / a)); };
            uint8_t* r = s->row.data() + x * 4;
            r[0] = un((v >> 16) & 0xff);
            r[1] = un((v >> 8) & 0xff);
            r[2] = un(v & 0xff);
            r[3] = static_cast<uint8_t>(a);
        }
        png_progressive_combine_row(p, s->row.data(), newRow);
        for (int x = 0; x < s->width; ++x) out[x] = premultiplied(s->row.data() + x * 4);
    }
    [[noreturn]] static void pngFail(png_structp p, png_const_charp) { png_longjmp(p, 1); }
    static void pngQuiet(png_structp, png_const_charp) {}

    void feedPng(std::string_view bytes) {
        if (!png) {
            png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, pngFail, pngQuiet);
            info = png ? png_create_info_struct(png) : nullptr;
            if (!png || !info) { failed = true; return; }
            png_set_progressive_read_fn(png, this, pngInfo, pngRow, nullptr);
        }
        if (setjmp(png_jmpbuf(png)) != 0) {
            failed = true;
            return;
        }
        png_process_data(png, info, reinterpret_cast<png_bytep>(const_cast<char*>(bytes.data())), bytes.size());
    }

    static void jpegInit(j_decompress_ptr) {}
    static boolean jpegFill(j_decompress_ptr) { return FALSE; }  // suspend: more bytes later
    static void jpegSkip(j_decompress_ptr c, long count) {
        auto* s = static_cast<State*>(c->client_data);
        size_t n = static_cast<size_t>(std::max(0L, count));
        size_t here = std::min(n, c->src->bytes_in_buffer);
        c->src->next_input_byte += here;
        c->src->bytes_in_buffer -= here;
        s->skip += n - here;
    }
    static void jpegTerm(j_decompress_ptr) {}

    void feedJpeg(std::string_view bytes) {
        all.append(bytes);
        if (!jpegCreated) {
            jpeg.err = jpeg_std_error(&jerr.mgr);
            jerr.mgr.error_exit = [](j_common_ptr c) { longjmp(reinterpret_cast<JpegErr*>(c->err)->jump, 1); };
            jerr.mgr.output_message = [](j_common_ptr) {};
            jpeg_create_decompress(&jpeg);
            jpegCreated = true;
            jpeg.client_data = this;
            source.init_source = jpegInit;
            source.fill_input_buffer = jpegFill;
            source.skip_input_data = jpegSkip;
            source.resync_to_restart = jpeg_resync_to_restart;
            source.term_source = jpegTerm;
            jpeg.src = &source;
        }
        // Keep the bytes libjpeg has not consumed, then add the new ones.
        size_t consumed = pending.size() - source.bytes_in_buffer;
        pending.erase(0, consumed);
        size_t dropped = std::min(skip, bytes.size());
        skip -= dropped;
        pending.append(bytes.substr(dropped));
        source.next_input_byte = reinterpret_cast<const JOCTET*>(pending.data());
        source.bytes_in_buffer = pending.size();
        if (setjmp(jerr.jump) != 0) {
            failed = true;
            return;
        }
        if (jpegStage == 0) {
            if (jpeg_read_header(&jpeg, TRUE) == JPEG_SUSPENDED) return;
            jpeg.out_color_space = JCS_EXT_BGRX;
            if (!withinBudget(jpeg.image_width, jpeg.image_height)) longjmp(jerr.jump, 1);
            jpegStage = 1;
        }
        if (jpegStage == 1) {
            if (!jpeg_start_decompress(&jpeg)) return;
            width = static_cast<int>(jpeg.output_width);
            height = static_cast<int>(jpeg.output_height);
            alpha = false;
            jpegStage = 2;
        }
        while (jpegStage == 2 && jpeg.output_scanline < jpeg.output_height) {
            JSAMPROW r = reinterpret_cast<JSAMPROW>(rowStorage(jpeg.output_scanline));
            if (jpeg_read_scanlines(&jpeg, &r, 1) == 0) return;
        }
        if (jpegStage == 2 && jpeg_finish_decompress(&jpeg)) jpegStage = 3;
    }
};

IncrementalDecoder::IncrementalDecoder() : state_(std::make_unique<State>()) {}
IncrementalDecoder::~IncrementalDecoder() = default;

void IncrementalDecoder::append(std::string_view bytes) {
    State& s = *state_;
    if (s.failed || bytes.empty()) return;
    if (s.kind == State::Kind::unknown) {
        s.head.append(bytes);
        if (s.head.size() < 8 && static_cast<unsigned char>(s.head[0]) == 0x89) return;
        if (s.head.size() < 3 && static_cast<unsigned char>(s.head[0]) == 0xFF) return;
        static constexpr unsigned char pngSig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
        if (s.head.size() >= 8 && std::memcmp(s.head.data(), pngSig, 8) == 0) s.kind = State::Kind::png;
        else if (s.head.size() >= 3 && s.head.compare(0, 3, "\xFF\xD8\xFF") == 0) s.kind = State::Kind::jpeg;
        else s.kind = State::Kind::other;
        std::string first = std::move(s.head);
        s.head.clear();
        if (s.kind == State::Kind::png) s.feedPng(first);
        else if (s.kind == State::Kind::jpeg) s.feedJpeg(first);
        return;
    }
    if (s.kind == State::Kind::png) s.feedPng(bytes);
    else if (s.kind == State::Kind::jpeg) s.feedJpeg(bytes);
}

int IncrementalDecoder::pixelWidth() const { return state_->width; }
int IncrementalDecoder::pixelHeight() const { return state_->height; }
bool IncrementalDecoder::failed() const { return state_->failed || state_->kind == State::Kind::other; }

ImagePtr IncrementalDecoder::image() const {
    const State& s = *state_;
    if (s.failed || s.width == 0 || s.height == 0) return nullptr;
    // Before any row has arrived there is no picture to show, only its size: a stream cut after
    // its header costs no full-size picture.
    if (s.pixels.empty()) return nullptr;
    int w = s.width, h = s.height;
    std::vector<uint32_t> pixels;
    pixels.reserve(static_cast<size_t>(w) * h);
    pixels = s.pixels;
    pixels.resize(static_cast<size_t>(w) * h, 0);
    if (s.kind == State::Kind::jpeg) {
        // Rows not yet received stay transparent; received ones are opaque.
        for (size_t y = s.jpeg.output_scanline; y < static_cast<size_t>(h); ++y)
            std::fill_n(pixels.begin() + static_cast<std::ptrdiff_t>(y * w), w, 0u);
        if (int o = exifOrientation(s.all); o != 1) pixels = orientPixels(pixels, w, h, o);
    }
    bool complete = s.kind == State::Kind::jpeg ? s.jpegStage == 3 : false;
    return std::make_shared<Image>(w, h, 1, std::move(pixels), complete ? s.alpha : true);
}

} // namespace gfx
