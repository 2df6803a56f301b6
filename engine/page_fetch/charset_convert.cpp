#include "engine/page_fetch/charset_convert.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>

#include "engine/page_fetch/body_charset.h"
#include "engine/page_fetch/utf8_text.h"

namespace zenvira::components::pagefetch {
namespace {

// Labels browsers read as windows-1252: the bytes 0x80-0x9F of "Latin-1" pages are in
// practice windows-1252 punctuation, never C1 controls.
constexpr std::array<std::string_view, 17> kWindows1252Labels = {
    "windows-1252", "cp1252",      "x-cp1252",   "iso-8859-1", "iso8859-1", "iso_8859-1",
    "iso_8859-1:1987", "latin1",   "l1",         "us-ascii",   "ascii",     "ansi_x3.4-1968",
    "iso-ir-100",   "cp819",       "ibm819",     "csisolatin1", "iso88591",
};

// Labels browsers read as Microsoft's Shift_JIS. glibc's own SJIS maps 0x5C to the yen sign,
// which would break every backslash in a Japanese page's script; CP932 keeps it ASCII.
constexpr std::array<std::string_view, 9> kShiftJisLabels = {
    "shift_jis", "shift-jis", "sjis", "x-sjis", "ms_kanji", "csshiftjis", "windows-31j", "ms932", "cp932",
};

template <std::size_t N>
bool isOneOf(const std::array<std::string_view, N>& labels, std::string_view label) {
    return std::find(labels.begin(), labels.end(), label) != labels.end();
}

class IconvHandle {
public:
    explicit IconvHandle(const std::string& from) : cd_(iconv_open("UTF-8", from.c_str())) {}
    ~IconvHandle() {
        if (valid()) iconv_close(cd_);
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;
    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

// Runs one iconv step into `out`, growing it as needed. Returns the errno of the step
// (0 when it consumed all input, or flushed when in is null).
int convertStep(iconv_t cd, char** in, std::size_t* inLeft, std::string& out, std::size_t& used) {
    for (;;) {
        if (out.size() - used < 64) out.resize(out.size() * 2 + 64);
        char* dst = out.data() + used;
        std::size_t dstLeft = out.size() - used;
        const std::size_t rc = iconv(cd, in, inLeft, &dst, &dstLeft);
        const int err = rc == static_cast<std::size_t>(-1) ? errno : 0;
        used = out.size() - dstLeft;
        if (err != E2BIG) return err;
    }
}

std::string decodeUtf16(std::string_view bytes, const char* charset) {
    std::string out;
    if (!convertWithIconv(bytes, charset, out)) return repairUtf8(std::string(bytes));
    return out;
}

}  // namespace

bool convertWithIconv(std::string_view bytes, const std::string& charset, std::string& out) {
    IconvHandle handle(charset);
    if (!handle.valid()) return false;
    std::string result(bytes.size() + bytes.size() / 2 + 16, '\0');
    std::size_t used = 0;
    char* in = const_cast<char*>(bytes.data());  // iconv's signature; it does not write
    std::size_t inLeft = bytes.size();
    while (inLeft > 0) {
        const int err = convertStep(handle.get(), &in, &inLeft, result, used);
        if (err == 0) break;
        // An invalid sequence is marked and skipped by one byte; a sequence cut off by the
        // end of the body is marked once.
        result.resize(std::max(result.size(), used + kReplacementChar.size()));
        result.replace(used, kReplacementChar.size(), kReplacementChar);
        used += kReplacementChar.size();
        if (err != EILSEQ) break;
        ++in;
        --inLeft;
    }
    convertStep(handle.get(), nullptr, nullptr, result, used);  // stateful sets end their sequence
    result.resize(used);
    out = std::move(result);
    return true;
}

std::string decodeBody(std::string body, std::string_view contentType) {
    std::string_view view(body);
    if (view.starts_with("\xEF\xBB\xBF")) return repairUtf8(body.substr(3));
    if (view.starts_with("\xFF\xFE")) return decodeUtf16(view.substr(2), "UTF-16LE");
    if (view.starts_with("\xFE\xFF")) return decodeUtf16(view.substr(2), "UTF-16BE");

    std::string label = charsetFromContentType(contentType);
    if (label.empty()) label = charsetFromMeta(view);
    if (label.empty()) return isValidUtf8(view) ? std::move(body) : decodeWindows1252(view);
    if (isUtf8Label(label)) return repairUtf8(std::move(body));
    if (isOneOf(kWindows1252Labels, label)) return decodeWindows1252(view);
    if (isOneOf(kShiftJisLabels, label)) label = "CP932";

    std::string converted;
    if (convertWithIconv(view, label, converted)) return converted;
    return repairUtf8(std::move(body));  // a name nobody knows: the most likely reading
}

}  // namespace zenvira::components::pagefetch
