// HEIC pictures through libheif (HEVC decoding by libde265, encoding by x265, both built into
// Debian's libheif).
//
// libheif is opened when the first HEIC question comes, not linked: it brings libde265, x265,
// libaom and dav1d, whose loading would add tens of milliseconds and megabytes to every start of
// the app for pictures it rarely meets. Without the library both answers are false.

#include "platform/gfx/Codecs.h"

#include "platform/core/Log.h"

#include <libheif/heif.h>

#include <dlfcn.h>

#include <algorithm>
#include <memory>

namespace gfx {
namespace {

core::Error heifError(Image::ErrorCode code, std::string description) {
    return core::Error{Image::kErrorDomain, code, std::move(description), {}};
}

// Every libheif function used here, called through the pointers of the opened library.
#define QUILLORA_HEIF_FUNCTIONS(X)                                                                                      \
    X(heif_init) X(heif_have_decoder_for_format) X(heif_have_encoder_for_format) X(heif_context_alloc)                 \
    X(heif_context_free) X(heif_context_set_maximum_image_size_limit) X(heif_context_read_from_memory_without_copy)    \
    X(heif_context_get_primary_image_handle) X(heif_image_handle_release) X(heif_image_handle_get_width)               \
    X(heif_image_handle_get_height) X(heif_image_handle_has_alpha_channel) X(heif_image_handle_is_premultiplied_alpha) \
    X(heif_decoding_options_alloc) X(heif_decoding_options_free) X(heif_decode_image) X(heif_image_get_plane_readonly) \
    X(heif_image_get_width) X(heif_image_get_height) X(heif_image_release) X(heif_image_create) X(heif_image_add_plane) \
    X(heif_image_get_plane) X(heif_context_get_encoder_for_format) X(heif_encoder_release)                             \
    X(heif_encoder_set_lossy_quality) X(heif_encoder_set_parameter_string) X(heif_context_encode_image)                \
    X(heif_context_write)

struct HeifApi {
#define QUILLORA_HEIF_POINTER(name) decltype(&::name) name = nullptr;
    QUILLORA_HEIF_FUNCTIONS(QUILLORA_HEIF_POINTER)
#undef QUILLORA_HEIF_POINTER
};

// The library, opened and set up once and kept for the process (never closed, so a decode
// running while the process exits finds it still there); nullptr when it cannot be had.
const HeifApi* heif() {
    static const HeifApi* api = []() -> const HeifApi* {
        void* library = ::dlopen("libheif.so.1", RTLD_NOW | RTLD_LOCAL);
        if (!library) {
            const char* why = ::dlerror();
            core::log(std::string("libheif could not be loaded: ") + (why ? why : "libheif.so.1") + "; HEIC pictures are refused");
            return nullptr;
        }
        auto loaded = std::make_unique<HeifApi>();
#define QUILLORA_HEIF_LOAD(name)                                                                 \
    loaded->name = reinterpret_cast<decltype(&::name)>(::dlsym(library, #name));                  \
    if (!loaded->name) {                                                                         \
        core::log(std::string("libheif lacks ") + #name + "; HEIC pictures are refused");         \
        return nullptr;                                                                          \
    }
        QUILLORA_HEIF_FUNCTIONS(QUILLORA_HEIF_LOAD)
#undef QUILLORA_HEIF_LOAD
        if (loaded->heif_init(nullptr).code != heif_error_Ok) return nullptr;
        return loaded.release();
    }();
    return api;
}

struct HeifContextFree {
    void operator()(heif_context* c) const { heif()->heif_context_free(c); }
};
struct HeifHandleRelease {
    void operator()(const heif_image_handle* h) const { heif()->heif_image_handle_release(h); }
};
struct HeifImageRelease {
    void operator()(const heif_image* i) const { heif()->heif_image_release(i); }
};
struct HeifEncoderRelease {
    void operator()(heif_encoder* e) const { heif()->heif_encoder_release(e); }
};
struct HeifDecodingOptionsFree {
    void operator()(heif_decoding_options* o) const { heif()->heif_decoding_options_free(o); }
};
using HeifContextPtr = std::unique_ptr<heif_context, HeifContextFree>;
using HeifHandlePtr = std::unique_ptr<const heif_image_handle, HeifHandleRelease>;
using HeifImagePtr = std::unique_ptr<const heif_image, HeifImageRelease>;

heif_error appendHeifBytes(heif_context*, const void* data, size_t size, void* out) {
    static_cast<std::string*>(out)->append(static_cast<const char*>(data), size);
    return heif_error{heif_error_Ok, heif_suberror_Unspecified, "ok"};
}

} // namespace

bool heifDecodingAvailable() {
    static const bool available = heif() && heif()->heif_have_decoder_for_format(heif_compression_HEVC) != 0;
    return available;
}

bool heifEncodingAvailable() {
    static const bool available = heif() && heif()->heif_have_encoder_for_format(heif_compression_HEVC) != 0;
    return available;
}

core::Expected<ImagePtr> decodeHeif(std::string_view bytes, double scale) {
    if (!heifDecodingAvailable()) return heifError(Image::unknownFormat, "HEIC pictures cannot be decoded here.");
    const HeifApi* api = heif();
    const auto damaged = [] { return heifError(Image::corruptData, "The HEIC data is damaged."); };
    HeifContextPtr context(api->heif_context_alloc());
    if (!context) return damaged();
    // Sides beyond the other decoders' are refused while the file is read, before any pixel.
    api->heif_context_set_maximum_image_size_limit(context.get(), static_cast<int>(kHeifMaximumSide));
    if (api->heif_context_read_from_memory_without_copy(context.get(), bytes.data(), bytes.size(), nullptr).code != heif_error_Ok) return damaged();
    heif_image_handle* primary = nullptr;
    if (api->heif_context_get_primary_image_handle(context.get(), &primary).code != heif_error_Ok || !primary) return damaged();
    HeifHandlePtr handle(primary);
    // The size as shown (rotations applied); the pixel budget holds before decoding.
    const int width = api->heif_image_handle_get_width(handle.get());
    const int height = api->heif_image_handle_get_height(handle.get());
    if (width <= 0 || height <= 0) return damaged();
    if (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) > kHeifPixelBudget)
        return heifError(Image::tooLarge, "The picture of " + std::to_string(width) + " x " + std::to_string(height) +
                                              " pixels is larger than " + std::to_string(kHeifPixelBudget) + " pixels.");
    const bool alpha = api->heif_image_handle_has_alpha_channel(handle.get()) != 0;
    const bool premultiplied = alpha && api->heif_image_handle_is_premultiplied_alpha(handle.get()) != 0;

    std::unique_ptr<heif_decoding_options, HeifDecodingOptionsFree> options(api->heif_decoding_options_alloc());
    if (!options) return damaged();
    options->ignore_transformations = 0;  // rotation, mirroring and cropping applied
    options->convert_hdr_to_8bit = 1;
    heif_image* decoded = nullptr;
    if (api->heif_decode_image(handle.get(), &decoded, heif_colorspace_RGB, heif_chroma_interleaved_RGBA, options.get()).code != heif_error_Ok ||
        !decoded)
        return damaged();
    HeifImagePtr image(decoded);
    int stride = 0;
    const uint8_t* plane = api->heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    if (!plane || api->heif_image_get_width(image.get(), heif_channel_interleaved) != width ||
        api->heif_image_get_height(image.get(), heif_channel_interleaved) != height || stride < width * 4)
        return damaged();

    std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = plane + static_cast<size_t>(y) * static_cast<size_t>(stride);
        uint32_t* out = pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = row + x * 4;
            const uint32_t a = alpha ? p[3] : 255;
            const auto channel = [a, premultiplied](uint8_t c) {
                return premultiplied || a == 255 ? static_cast<uint32_t>(std::min<uint32_t>(c, a)) : (c * a + 127) / 255;
            };
            out[x] = (a << 24) | (channel(p[0]) << 16) | (channel(p[1]) << 8) | channel(p[2]);
        }
    }
    return ImagePtr(std::make_shared<Image>(width, height, scale, std::move(pixels), alpha));
}

core::Expected<std::string> encodeHeif(const Image& image, double quality) {
    const auto failed = [] { return heifError(Image::encodeFailed, "The image could not be encoded as HEIC."); };
    const int width = image.pixelWidth(), height = image.pixelHeight();
    if (!heifEncodingAvailable() || width <= 0 || height <= 0) return failed();
    const HeifApi* api = heif();
    const bool alpha = image.hasAlpha();
    heif_image* created = nullptr;
    if (api->heif_image_create(width, height, heif_colorspace_RGB, alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, &created)
            .code != heif_error_Ok)
        return failed();
    std::unique_ptr<heif_image, HeifImageRelease> picture(created);
    if (api->heif_image_add_plane(picture.get(), heif_channel_interleaved, width, height, 8).code != heif_error_Ok) return failed();
    int stride = 0;
    uint8_t* plane = api->heif_image_get_plane(picture.get(), heif_channel_interleaved, &stride);
    if (!plane) return failed();
    const int channels = alpha ? 4 : 3;
    for (int y = 0; y < height; ++y) {
        uint8_t* row = plane + static_cast<size_t>(y) * static_cast<size_t>(stride);
        for (int x = 0; x < width; ++x) {
            const uint32_t p = image.pixel(x, y);
            const uint32_t a = p >> 24;
            // Stored straight: the premultiplied channels divided by alpha (opaque ones as they are).
            const auto straight = [a, alpha](uint32_t c) {
                if (!alpha || a == 255) return static_cast<uint8_t>(c);
                return static_cast<uint8_t>(a == 0 ? 0 : std::min<uint32_t>(255, (c * 255 + a / 2) / a));
            };
            uint8_t* o = row + x * channels;
            o[0] = straight((p >> 16) & 0xff);
            o[1] = straight((p >> 8) & 0xff);
            o[2] = straight(p & 0xff);
            if (alpha) o[3] = static_cast<uint8_t>(a);
        }
    }
    HeifContextPtr context(api->heif_context_alloc());
    if (!context) return failed();
    heif_encoder* made = nullptr;
    if (api->heif_context_get_encoder_for_format(context.get(), heif_compression_HEVC, &made).code != heif_error_Ok || !made) return failed();
    std::unique_ptr<heif_encoder, HeifEncoderRelease> encoder(made);
    (void)api->heif_encoder_set_lossy_quality(encoder.get(), std::clamp(static_cast<int>(quality * 100 + 0.5), 0, 100));
    // x265 reports its settings on the standard error unless told not to.
    (void)api->heif_encoder_set_parameter_string(encoder.get(), "x265:log-level", "none");
    if (api->heif_context_encode_image(context.get(), picture.get(), encoder.get(), nullptr, nullptr).code != heif_error_Ok) return failed();
    std::string out;
    heif_writer writer{1, &appendHeifBytes};
    if (api->heif_context_write(context.get(), &writer, &out).code != heif_error_Ok || out.empty()) return failed();
    return out;
}

} // namespace gfx
