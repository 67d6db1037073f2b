#include "platform/gfx/testing/HeifFixtures.h"

#include <libheif/heif.h>

namespace gfx::testing {

std::string makeHeif(int width, int height, const StraightRGBA& pixel, bool alpha, int orientation, int quality) {
    std::string out;
    heif_context* context = heif_context_alloc();
    heif_image* image = nullptr;
    heif_encoder* encoder = nullptr;
    heif_encoding_options* options = heif_encoding_options_alloc();
    const bool made =
        heif_image_create(width, height, heif_colorspace_RGB, alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, &image)
                .code == heif_error_Ok &&
        heif_image_add_plane(image, heif_channel_interleaved, width, height, 8).code == heif_error_Ok &&
        heif_context_get_encoder_for_format(context, heif_compression_HEVC, &encoder).code == heif_error_Ok;
    if (made && options) {
        int stride = 0;
        uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
        const int channels = alpha ? 4 : 3;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const std::uint32_t p = pixel(x, y);
                uint8_t* o = plane + static_cast<size_t>(y) * static_cast<size_t>(stride) + static_cast<size_t>(x) * channels;
                for (int c = 0; c < channels; ++c) o[c] = static_cast<uint8_t>(p >> (24 - 8 * c));
            }
        }
        (void)heif_encoder_set_lossy_quality(encoder, quality);
        (void)heif_encoder_set_parameter_string(encoder, "x265:log-level", "none");
        options->image_orientation = static_cast<heif_orientation>(orientation);
        heif_writer writer{1, [](heif_context*, const void* data, size_t size, void* userdata) {
                               static_cast<std::string*>(userdata)->append(static_cast<const char*>(data), size);
                               return heif_error{heif_error_Ok, heif_suberror_Unspecified, "ok"};
                           }};
        if (heif_context_encode_image(context, image, encoder, options, nullptr).code != heif_error_Ok ||
            heif_context_write(context, &writer, &out).code != heif_error_Ok)
            out.clear();
    }
    heif_encoding_options_free(options);
    if (encoder) heif_encoder_release(encoder);
    if (image) heif_image_release(image);
    heif_context_free(context);
    return out;
}

} // namespace gfx::testing
