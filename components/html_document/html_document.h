#pragma once
// An HTML5 document as a browser would build it (gumbo), reduced to what the program asks
// of it: the elements of one tag name in document order, with their id and inner text.
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct GumboInternalNode;
struct GumboInternalOutput;

namespace zenvira::components {

// A view of one element; valid while its document lives.
class HtmlElement {
public:
    explicit HtmlElement(const GumboInternalNode* node) : node_(node) {}
    std::string Id() const;
    // The text of every descendant outside scripts and styles, blanks collapsed and trimmed.
    std::string innerText() const;
    // The raw text of the element's text children, as a script or style element holds it.
    std::string textContent() const;
    // The attribute's value with character references decoded; none when it is absent.
    std::optional<std::string> getAttribute(const std::string& name) const;
    // Descendants with this tag name, in document order.
    std::vector<HtmlElement> getElementsByTagName(const std::string& tagName) const;

private:
    const GumboInternalNode* node_;
};

// Parsing time grows with the square of the nesting depth (the parser's scope checks), so
// callers give it pages of a bounded size.
class HtmlDocument {
public:
    explicit HtmlDocument(const std::string& htmlText);
    ~HtmlDocument();
    HtmlDocument(const HtmlDocument&) = delete;
    HtmlDocument& operator=(const HtmlDocument&) = delete;

    // Case-insensitive, as HTML tag names are: "DIV" finds every div, in document order.
    std::vector<HtmlElement> getElementsByTagName(const std::string& tagName) const;

private:
    std::string html_;  // gumbo's tree points into it
    GumboInternalOutput* output_ = nullptr;
};

}  // namespace zenvira::components
