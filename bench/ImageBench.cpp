// Picture decoding and cache hits, each beside the bare library or container underneath.
//   Decode/JPEG: 100 JPEGs of 1080×720 through the coders manager / raw libjpeg-turbo to BGRA.
//   Decode/PNG: 100 RGBA PNGs of 256×256 through the coders manager / raw libpng (png_image).
//   Decode/HEIC: 20 opaque HEICs of 1080×720 through the coders manager / raw libheif decoding the
//                primary picture to interleaved RGBA (the layout the coder asks libheif for).
//   MemoryHit: 1,000 keys from the memory layer / a mutex-guarded unordered_map.
//   DiskHit: 200 JPEGs of 640×640 from the disk layer (memory off; plain and with queryDiskSync)
//            / read() plus raw libjpeg-turbo.
//   Download: 200 RGBA PNGs of 64×64 from a loopback server through the downloader (decoded on its
//             coder queue, answered on the main queue) / raw libcurl multi over at most 6
//             connections plus libpng on the calling thread. Wall time; each row also reports the
//             CPU time per picture of the thread that drives libcurl (the session's network thread
//             for the downloader, the calling thread for raw libcurl, which decodes there too).
// Compare the rows of one group: the ratio is what counts.

#include "image_cache/RIImageCache.h"
#include "image_cache/RIImageCoders.h"
#include "image_cache/RIImageDownloader.h"

#include "platform/core/testing/TempHome.h"
#include "platform/gfx/testing/HeifFixtures.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/net/testing/LoopbackServer.h"

#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <dirent.h>
#include <fcntl.h>
#include <jpeglib.h>
#include <libheif/heif.h>
#include <png.h>
#include <unistd.h>

#include <csetjmp>
#include <cstring>
#include <ctime>
#include <fstream>
#include <mutex>
#include <sstream>
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

// Photo-like HEICs (smooth gradients with a little texture), four distinct ones in turn.
std::vector<std::string> heics(int count, int w, int h) {
    std::vector<std::string> distinct;
    for (uint32_t seed = 0; seed < 4; ++seed)
        distinct.push_back(gfx::testing::makeHeif(w, h, [w, h, seed](int x, int y) {
            const uint32_t r = static_cast<uint32_t>((x * 255 / w + static_cast<int>(seed) * 13) & 0xff);
            const uint32_t g = static_cast<uint32_t>((y * 255 / h) & 0xff);
            const uint32_t b = static_cast<uint32_t>(((x ^ y) + static_cast<int>(seed)) & 0x3f);
            return r << 24 | g << 16 | b << 8 | 0xffu;
        }));
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i) out.push_back(distinct[static_cast<size_t>(i) % distinct.size()]);
    return out;
}

void Decode_HEIC_coders(benchmark::State& state) {
    auto files = heics(20, 1080, 720);
    auto manager = image_cache::RIImageCodersManager::sharedInstance();
    for (auto _ : state)
        for (const auto& f : files) benchmark::DoNotOptimize(manager->decodedImageWithData(f));
}
void Decode_HEIC_raw(benchmark::State& state) {
    auto files = heics(20, 1080, 720);
    for (auto _ : state)
        for (const auto& f : files) {
            heif_context* context = heif_context_alloc();
            heif_image_handle* handle = nullptr;
            heif_image* image = nullptr;
            std::vector<uint8_t> out;
            if (heif_context_read_from_memory_without_copy(context, f.data(), f.size(), nullptr).code == heif_error_Ok &&
                heif_context_get_primary_image_handle(context, &handle).code == heif_error_Ok &&
                heif_decode_image(handle, &image, heif_colorspace_RGB, heif_chroma_interleaved_RGBA, nullptr).code == heif_error_Ok) {
                int stride = 0;
                const uint8_t* plane = heif_image_get_plane_readonly(image, heif_channel_interleaved, &stride);
                const int w = heif_image_get_width(image, heif_channel_interleaved), h = heif_image_get_height(image, heif_channel_interleaved);
                out.resize(static_cast<size_t>(w) * h * 4);
                for (int y = 0; y < h; ++y) std::memcpy(out.data() + static_cast<size_t>(y) * w * 4, plane + static_cast<size_t>(y) * stride, static_cast<size_t>(w) * 4);
            }
            benchmark::DoNotOptimize(out.data());
            if (image) heif_image_release(image);
            if (handle) heif_image_handle_release(handle);
            heif_context_free(context);
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

constexpr int kDownloads = 200;
constexpr long kConnections = 6;  // the session configuration's default per host, and the downloader's width

double callingThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// CPU seconds (user and system) used so far by this process's threads called `name`.
double namedThreadsCpuSeconds(const std::string& name) {
    double ticks = 0;
    DIR* tasks = opendir("/proc/self/task");
    if (!tasks) return 0;
    while (const dirent* entry = readdir(tasks)) {
        if (entry->d_name[0] == '.') continue;
        const std::string base = std::string("/proc/self/task/") + entry->d_name;
        std::string comm;
        std::getline(std::ifstream(base + "/comm"), comm);
        if (comm != name) continue;
        std::string stat;
        std::getline(std::ifstream(base + "/stat"), stat);
        // After the parenthesised name: utime and stime are fields 14 and 15.
        std::istringstream fields(stat.substr(stat.rfind(')') + 2));
        std::string field;
        for (int i = 3; i <= 15 && fields >> field; ++i)
            if (i >= 14) ticks += std::stod(field);
    }
    closedir(tasks);
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Serves /<n>.png: four distinct pictures in turn, so every URL is its own download.
net::testkit::LoopbackServer& pictureServer() {
    static auto* server = new net::testkit::LoopbackServer([files = encoded(4, 64, 64, true)](const net::testkit::RecordedRequest& r) {
        net::testkit::Reply reply;
        reply.body = files[std::strtoul(r.target.c_str() + 1, nullptr, 10) % files.size()];
        reply.headers.emplace_back("Content-Type", "image/png");
        return reply;
    });
    return *server;
}

std::vector<std::string> downloadURLs() {
    std::vector<std::string> urls;
    for (int i = 0; i < kDownloads; ++i) urls.push_back(pictureServer().url("/" + std::to_string(i) + ".png"));
    return urls;
}

void Download_PNG_downloader(benchmark::State& state) {
    dispatch::RunLoop::setMainThread();
    auto downloader = image_cache::RIImageDownloader::create(net::URLSessionConfiguration::ephemeralConfiguration());
    auto urls = downloadURLs();
    const double cpuBefore = namedThreadsCpuSeconds("url-session");
    for (auto _ : state) {
        int done = 0;
        for (const auto& u : urls)
            downloader->downloadImageWithURL(net::URL::parse(u), 0, nullptr,
                                             [&done](ImagePtr image, image_cache::Data, std::optional<core::Error>, bool finished) {
                                                 if (!finished) return;
                                                 benchmark::DoNotOptimize(image);
                                                 ++done;
                                             });
        dispatch::RunLoop::main().runUntil([&] { return done == kDownloads; }, 60);
    }
    state.counters["net_cpu_us_per_image"] =
        1e6 * (namedThreadsCpuSeconds("url-session") - cpuBefore) / static_cast<double>(state.iterations() * kDownloads);
}

void Download_PNG_rawCurl(benchmark::State& state) {
    auto urls = downloadURLs();
    curl_global_init(CURL_GLOBAL_DEFAULT);
    CURLM* multi = curl_multi_init();
    curl_multi_setopt(multi, CURLMOPT_MAX_HOST_CONNECTIONS, kConnections);
    curl_multi_setopt(multi, CURLMOPT_MAXCONNECTS, 4 * kConnections);
    auto sink = +[](char* data, std::size_t size, std::size_t n, void* out) {
        static_cast<std::string*>(out)->append(data, size * n);
        return size * n;
    };
    std::vector<std::string> bodies(urls.size());
    const double cpuBefore = callingThreadCpuSeconds();
    for (auto _ : state) {
        std::size_t added = 0;
        const auto add = [&] {
            CURL* easy = curl_easy_init();
            bodies[added].clear();
            curl_easy_setopt(easy, CURLOPT_URL, urls[added].c_str());
            curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
            curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, sink);
            curl_easy_setopt(easy, CURLOPT_WRITEDATA, &bodies[added]);
            curl_easy_setopt(easy, CURLOPT_PRIVATE, &bodies[added]);
            curl_multi_add_handle(multi, easy);
            ++added;
        };
        while (added < urls.size() && added < static_cast<std::size_t>(kConnections)) add();
        std::size_t done = 0;
        while (done < urls.size()) {
            int running = 0;
            curl_multi_perform(multi, &running);
            int left = 0;
            while (CURLMsg* msg = curl_multi_info_read(multi, &left)) {
                if (msg->msg != CURLMSG_DONE) continue;
                CURL* easy = msg->easy_handle;
                std::string* body = nullptr;
                curl_easy_getinfo(easy, CURLINFO_PRIVATE, &body);
                curl_multi_remove_handle(multi, easy);
                curl_easy_cleanup(easy);
                png_image image{};
                image.version = PNG_IMAGE_VERSION;
                png_image_begin_read_from_memory(&image, body->data(), body->size());
                image.format = PNG_FORMAT_BGRA;
                std::vector<uint8_t> out(PNG_IMAGE_SIZE(image));
                png_image_finish_read(&image, nullptr, out.data(), 0, nullptr);
                benchmark::DoNotOptimize(out.data());
                ++done;
                if (added < urls.size()) add();
            }
            if (done < urls.size()) curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
        }
    }
    state.counters["net_cpu_us_per_image"] =
        1e6 * (callingThreadCpuSeconds() - cpuBefore) / static_cast<double>(state.iterations() * kDownloads);
    curl_multi_cleanup(multi);
}

} // namespace

BENCHMARK(Decode_JPEG_coders)->Unit(benchmark::kMillisecond);
BENCHMARK(Decode_JPEG_raw)->Unit(benchmark::kMillisecond);
BENCHMARK(Decode_PNG_coders)->Unit(benchmark::kMillisecond);
BENCHMARK(Decode_PNG_raw)->Unit(benchmark::kMillisecond);
BENCHMARK(Decode_HEIC_coders)->Unit(benchmark::kMillisecond);
BENCHMARK(Decode_HEIC_raw)->Unit(benchmark::kMillisecond);
BENCHMARK(MemoryHit_cache)->Unit(benchmark::kMicrosecond);
BENCHMARK(MemoryHit_map)->Unit(benchmark::kMicrosecond);
BENCHMARK(DiskHit_cache)->Unit(benchmark::kMillisecond);
BENCHMARK(DiskHit_cacheQueryDiskSync)->Unit(benchmark::kMillisecond);
BENCHMARK(DiskHit_raw)->Unit(benchmark::kMillisecond);
BENCHMARK(Download_PNG_downloader)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(Download_PNG_rawCurl)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
