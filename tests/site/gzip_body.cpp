#include "tests/site/gzip_body.h"

#include <zlib.h>

#include <stdexcept>

namespace zenvira::site {

std::string gzipCompress(const std::string& text) {
    z_stream stream{};
    constexpr int kGzipWindow = 15 + 16;  // 15-bit window, gzip header and trailer
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, kGzipWindow, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("zlib: deflateInit2 failed");
    std::string out(deflateBound(&stream, static_cast<uLong>(text.size())) + 32, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END) throw std::runtime_error("zlib: deflate did not finish");
    return out;
}

}  // namespace zenvira::site
