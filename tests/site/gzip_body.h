#pragma once
#include <string>

namespace zenvira::site {

// The text compressed with zlib in the gzip wrapper, as sent with Content-Encoding: gzip.
std::string gzipCompress(const std::string& text);

}  // namespace zenvira::site
