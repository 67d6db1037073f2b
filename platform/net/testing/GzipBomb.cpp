#include "platform/net/testing/GzipBomb.h"

#include <zlib.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace net::testkit {

std::string gzipOfZeros(std::size_t inflatedSize) {
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::vector<unsigned char> zeros(1 << 20, 0);
    std::vector<unsigned char> out(1 << 16);
    std::string result;
    std::size_t left = inflatedSize;
    int flush = Z_NO_FLUSH;
    do {
        std::size_t piece = std::min(left, zeros.size());
        left -= piece;
        flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
        stream.next_in = zeros.data();
        stream.avail_in = static_cast<uInt>(piece);
        do {
            stream.next_out = out.data();
            stream.avail_out = static_cast<uInt>(out.size());
            deflate(&stream, flush);
            result.append(reinterpret_cast<const char*>(out.data()), out.size() - stream.avail_out);
        } while (stream.avail_out == 0);
    } while (flush != Z_FINISH);
    deflateEnd(&stream);
    return result;
}

} // namespace net::testkit
