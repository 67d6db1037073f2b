// Picture decoding and cache hits, each beside the bare library or container underneath.
//   Decode/JPEG: 100 JPEGs of 1080×720 through the coders manager / raw libjpeg-turbo to BGRA.
//   Decode/PNG: 100 RGBA PNGs of 256×256 through the coders manager / raw libpng (png_image).
//   MemoryHit: 1,000 keys from the memory layer / a mutex-guarded unordered_map.
//   DiskHit: 200 JPEGs of 640×640 from the disk layer (memory off; plain and with queryDiskSync)
//            / read() plus raw libjpeg-turbo.
// Compare the rows of one group: the ratio is what counts.

#include "image_cache/RIImageCache.h"
#include "image_cache/RIImageCoders.h"

#include "platform/core/testing/TempHome.h"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <jpeglib.h>
#include <png.h>
#include <unistd.h>

#include <csetjmp>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

using image_cache::ImagePtr;

ImagePtr noise(int w, int h, bool alpha, uint32_t seed) {
    std::vector<uint32_t> pixels(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            // Smooth gradients with a little texture: a photo-like load for the codecs.
            uint32_t r = static_cast<uint32_t>((x * 255 / w + seed * 13) & 0xff), g = static_cast<uint32_t>((y * 255 / h) & 0xff);
            uint32_t b = static_cast<uint32_t>(((x ^ y) + seed) & 0x3f);
            uint32_t a = alpha ? static_cast<uint32_t>(128 + ((x + y) & 0x7f)) : 255;
            pixels[static_cast<size_t>(y) * w + x] = a << 24 | (r * a / 255) << 16 | (g * a / 255) << 8 | (b * a / 255);
        }
    return std::make_shared<gfx::Image>(w, h, 1, std::move(pixels), alpha);
}

std::vector<std::string> encoded(int count, int w, int h, bool png) {
    std::vector<std::string> out;
    std::vector<std::string> distinct;
    for (uint32_t i = 0; i < 4; ++i) {
        auto image = noise(w, h, png, i);
        distinct.push_back(png ? *image->pngData() : *image->jpegData());
    }
    for (int i = 0; i < count; ++i) out.push_back(distinct[static_cast<size_t>(i) % distinct.size()]);
    return out;
}

struct JpegError {
    jpeg_error_mgr mgr;
    jmp_buf jump;
};

void rawJpeg(const std::string& bytes, std::vector<uint8_t>& out) {
    jpeg_decompress_struct c;
    JpegError err;
    c.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = [](j_common_ptr info) { longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1); };
    jpeg_create_decompress(&c);
    if (setjmp(err.jump) == 0) {
        jpeg_mem_src(&c, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
        jpeg_read_header(&c, TRUE);
        c.out_color_space = JCS_EXT_BGRA;
        jpeg_start_decompress(&c);
        out.resize(static_cast<size_t>(c.output_width) * c.output_height * 4);
        while (c.output_scanline < c.output_height) {
            JSAMPROW row = out.data() + static_cast<size_t>(c.output_scanline) * c.output_width * 4;
            jpeg_read_scanlines(&c, &row, 1);
        }
        jpeg_finish_decompress(&c);
    }
    jpeg_destroy_decompress(&c);
}

void Decode_JPEG_coders(benchmark::State& state) {
    auto files = encoded(100, 1080, 720, false);
    auto manager = image_cache::RIImageCodersManager::sharedInstance();
    for (auto _ : state)
        for (const auto& f : files) benchmark::DoNotOptimize(manager->decodedImageWithData(f));
}
void Decode_JPEG_raw(benchmark::State& state) {
    auto files = encoded(100, 1080, 720, false);
    for (auto _ : state)
        for (const auto& f : files) {
            std::vector<uint8_t> out;
            rawJpeg(f, out);
            benchmark::DoNotOptimize(out.data());
        }
}
void Decode_PNG_coders(benchmark::State& state) {
    auto files = encoded(100, 256, 256, true);
    auto manager = image_cache::RIImageCodersManager::sharedInstance();
    for (auto _ : state)
        for (const auto& f : files) benchmark::DoNotOptimize(manager->decodedImageWithData(f));
}
void Decode_PNG_raw(benchmark::State& state) {
    auto files = encoded(100, 256, 256, true);
    for (auto _ : state)
        for (const auto& f : files) {
            png_image image{};
            image.version = PNG_IMAGE_VERSION;
            png_image_begin_read_from_memory(&image, f.data(), f.size());
            image.format = PNG_FORMAT_BGRA;
            std::vector<uint8_t> out(PNG_IMAGE_SIZE(image));
            png_image_finish_read(&image, nullptr, out.data(), 0, nullptr);
            benchmark::DoNotOptimize(out.data());
        }
}

void MemoryHit_cache(benchmark::State& state) {
    image_cache::RIMemoryCache cache;
    auto image = noise(4, 4, false, 0);
    std::vector<std::string> keys;
    for (int i = 0; i < 1000; ++i) keys.push_back("https://example.com/icons/" + std::to_string(i) + ".png");
    for (const auto& k : keys) cache.setObject(k, image, 16);
    for (auto _ : state)
        for (const auto& k : keys) benchmark::DoNotOptimize(cache.objectForKey(k));
}
void MemoryHit_map(benchmark::State& state) {
    std::mutex mutex;
    std::unordered_map<std::string, ImagePtr> map;
    auto image = noise(4, 4, false, 0);
    std::vector<std::string> keys;
    for (int i = 0; i < 1000; ++i) keys.push_back("https://example.com/icons/" + std::to_string(i) + ".png");
    for (const auto& k : keys) map[k] = image;
    for (auto _ : state)
        for (const auto& k : keys) {
            std::lock_guard lock(mutex);
            benchmark::DoNotOptimize(map.find(k)->second);
        }
}

struct DiskFixture {
    core::testkit::TempHome home;
    image_cache::RIImageCache cache{"bench"};
    std::vector<std::string> keys;
    DiskFixture() {
        cache.config().shouldCacheImagesInMemory = false;
        auto files = encoded(200, 640, 640, false);
        for (size_t i = 0; i < files.size(); ++i) {
            keys.push_back("https://example.com/photos/" + std::to_string(i) + ".jpg");
            cache.storeImageDataToDisk(files[i], keys.back());
        }
    }
};

void DiskHit_cache(benchmark::State& state) {
    DiskFixture f;
    for (auto _ : state)
        for (const auto& k : f.keys) benchmark::DoNotOptimize(f.cache.imageFromDiskCacheForKey(k));
}
void DiskHit_cacheQueryDiskSync(benchmark::State& state) {
    DiskFixture f;
    for (auto _ : state)
        for (const auto& k : f.keys)
            (void)f.cache.queryCacheOperationForKey(k, image_cache::RIImageQueryDiskSync,
                                                    [](ImagePtr image, image_cache::Data, image_cache::RIImageCacheKind) { benchmark::DoNotOptimize(image); });
}
void DiskHit_raw(benchmark::State& state) {
    DiskFixture f;
    std::vector<std::string> paths;
    for (const auto& k : f.keys) paths.push_back(f.cache.defaultCachePathForKey(k));
    for (auto _ : state)
        for (const auto& p : paths) {
            int fd = ::open(p.c_str(), O_RDONLY);
            off_t size = ::lseek(fd, 0, SEEK_END);
            ::lseek(fd, 0, SEEK_SET);
            std::string bytes(static_cast<size_t>(size), '\0');
            ssize_t n = ::read(fd, bytes.data(), bytes.size());
            ::close(fd);
            bytes.resize(static_cast<size_t>(std::max<ssize_t>(0, n)));
            std::vector<uint8_t> out;
            rawJpeg(bytes, out);
            benchmark::DoNotOptimize(out.data());
        }
}

} // namespace

BENCHMARK(Decode_JPEG_coders)->Unit(benchmark::kMillisecond);
BENCHMARK(Decode_JPEG_raw)->Unit(benchmark::kMillisecond);
BENCHMARK(Decode_PNG_coders)->Unit(benchmark::kMillisecond);
BENCHMARK(Decode_PNG_raw)->Unit(benchmark::kMillisecond);
BENCHMARK(MemoryHit_cache)->Unit(benchmark::kMicrosecond);
BENCHMARK(MemoryHit_map)->Unit(benchmark::kMicrosecond);
BENCHMARK(DiskHit_cache)->Unit(benchmark::kMillisecond);
BENCHMARK(DiskHit_cacheQueryDiskSync)->Unit(benchmark::kMillisecond);
BENCHMARK(DiskHit_raw)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
