#include "resolve/page_resolver.h"

#include "base/text_ops.h"
#include "resolve/meta_content.h"

namespace zenvira::resolve {

using namespace zenvira::text;

namespace {

// The region from just after the start of the map marker through the end marker and the six
// characters after it (only the first 20 characters when the end marker is missing).
std::string addressRegion(const std::string& page, const PageMarkers& markers) {
    const std::string U = dropLeft(page, find(page, markers.Text3));
    const std::size_t b = find(U, markers.Text1);
    return left(U, b + 20);
}

constexpr std::size_t kWindow = 5;

// The five characters the code of quality row k is read from; none when the row's label
// stands too close to the start for a full window.
std::optional<std::string> codeWindow(const std::string& F, std::size_t row, std::size_t labelPos) {
    if (row == 0) return leftChars(F, kWindow);
    const std::size_t start = stepBackChars(F, labelPos - 1, kWindow);
    if (start == std::string::npos) return std::nullopt;
    return F.substr(start, labelPos - 1 - start);
}

// The text between the window's first comma and its first slash; the window itself when
// the slash does not come after the comma.
std::string codeInWindow(const std::string& W) {
    const std::size_t cp = find(W, ",");
    const std::size_t sp = find(W, "/");
    if (sp == 0 || sp < cp + 1) return W;
    const std::string code = trimBlanks(mid(W, cp + 1, sp - cp - 1));
    return code.empty() ? kNotOffered : code;
}

}  // namespace

std::string cleanFormatList(const std::string& page, const PageMarkers& markers) {
    const std::string F0 = dropLeft(page, find(page, markers.Text2));
    std::string F = left(F0, find(F0, "\","));
    F = replaceAll(F, "\"", ",");
    F = removeAll(F, "fmt_list,:");
    return replaceAll(F, "\\/", "/");
}

std::vector<std::string> qualityCodes(const std::string& F, const std::vector<std::string>& List3) {
    std::vector<std::string> List1;
    for (std::size_t row = 0; row < List3.size(); ++row) {
        const std::size_t p = List3[row].empty() ? 0 : find(F, List3[row]);
        const auto window = p == 0 ? std::nullopt : codeWindow(F, row, p);
        List1.push_back(window ? codeInWindow(*window) : kNotOffered);
    }
    return List1;
}

std::optional<std::string> bestCode(const std::vector<std::string>& List1) {
    for (const auto& entry : List1)
        if (!contains(entry, kNotOffered)) return entry;
    return std::nullopt;
}

std::optional<std::string> cutAddressMap(const std::string& page, const std::string& code,
                                         const PageMarkers& markers) {
    const std::string R = addressRegion(page, markers);
    const std::size_t q = find(R, code + "|http");
    const std::size_t e = find(R, markers.Text1);
    if (q == 0 || e == 0 || e < q) return std::nullopt;
    return mid(R, q, e - q);
}

std::string addressOfPiece(const std::string& rawPiece) {
    std::string piece = replaceAll(rawPiece, "\\/", "/");
    piece = trimBlanks(removeAll(piece, "\""));
    const std::size_t h = find(lowerAscii(piece), "http");
    return h == 0 ? piece : mid(piece, h);
}

namespace {

// Steps both resolvers share: the title, the quality-code table and the map cut from the best
// code's entry (none when there is no best code or the cut is impossible).
struct SharedSteps {
    std::string videoTitle;
    std::vector<std::string> List1;
    std::optional<std::string> S;
};

SharedSteps resolveToCut(const std::string& page, const ResolverSetup& setup) {
    SharedSteps steps;
    steps.videoTitle = metaContent(page);
    steps.List1 = qualityCodes(cleanFormatList(page, setup.markers), setup.List3);
    if (const auto code = bestCode(steps.List1)) steps.S = cutAddressMap(page, *code, setup.markers);
    return steps;
}

}  // namespace

PageResolution resolvePage(const std::string& page, const ResolverSetup& setup) {
    auto steps = resolveToCut(page, setup);
    PageResolution result{std::move(steps.videoTitle), std::move(steps.List1), {}};
    if (steps.S)
        for (const auto& piece : split(*steps.S, ','))
            result.List2.push_back(addressOfPiece(piece));
    return result;
}

BestAddress resolveBestAddress(const std::string& page, const ResolverSetup& setup) {
    auto steps = resolveToCut(page, setup);
    BestAddress result{std::move(steps.videoTitle), std::move(steps.List1), std::nullopt};
    if (steps.S && !steps.S->empty()) result.address = addressOfPiece(split(*steps.S, ',').front());
    return result;
}

}  // namespace zenvira::resolve
