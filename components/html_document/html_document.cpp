#include "components/html_document/html_document.h"

#include <gumbo.h>

#include <vector>

#include "base/text_ops.h"

namespace zenvira::components {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

const GumboVector* childrenOf(const GumboNode* node) {
    if (node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE) return &node->v.element.children;
    if (node->type == GUMBO_NODE_DOCUMENT) return &node->v.document.children;
    return nullptr;
}

// Visits the subtree in document order without recursion, so deep nesting cannot exhaust the
// stack; `visit` returns false to skip a node's children.
template <typename Visit>
void walk(const GumboNode* root, Visit visit) {
    std::vector<const GumboNode*> pending{root};
    while (!pending.empty()) {
        const GumboNode* node = pending.back();
        pending.pop_back();
        if (!visit(node)) continue;
        if (const GumboVector* children = childrenOf(node))
            for (unsigned i = children->length; i > 0; --i)
                pending.push_back(static_cast<const GumboNode*>(children->data[i - 1]));
    }
}

std::string collapseBlanks(const std::string& text) {
    std::string out;
    bool pendingBlank = false;
    for (const char c : text) {
        if (isBlank(c)) {
            pendingBlank = !out.empty();
            continue;
        }
        if (pendingBlank) out += ' ';
        pendingBlank = false;
        out += c;
    }
    return out;
}

}  // namespace

std::string HtmlElement::Id() const {
    const GumboAttribute* id = gumbo_get_attribute(&node_->v.element.attributes, "id");
    return id ? id->value : "";
}

std::string HtmlElement::innerText() const {
    std::string text;
    walk(node_, [&text](const GumboNode* node) {
        switch (node->type) {
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_WHITESPACE:
        case GUMBO_NODE_CDATA: text += node->v.text.text; return false;
        case GUMBO_NODE_ELEMENT:
            if (node->v.element.tag == GUMBO_TAG_SCRIPT || node->v.element.tag == GUMBO_TAG_STYLE) return false;
            if (node->v.element.tag == GUMBO_TAG_BR) text += ' ';
            return true;
        default: return false;
        }
    });
    return collapseBlanks(text);
}

std::string HtmlElement::textContent() const {
    std::string text;
    walk(node_, [&text](const GumboNode* node) {
        if (node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_WHITESPACE || node->type == GUMBO_NODE_CDATA) {
            text += node->v.text.text;
            return false;
        }
        return node->type == GUMBO_NODE_ELEMENT;
    });
    return text;
}

std::optional<std::string> HtmlElement::getAttribute(const std::string& name) const {
    const GumboAttribute* attribute = gumbo_get_attribute(&node_->v.element.attributes, text::lowerAscii(name).c_str());
    if (!attribute) return std::nullopt;
    return std::string(attribute->value);
}

namespace {

std::vector<HtmlElement> elementsUnder(const GumboNode* root, const std::string& tagName) {
    std::vector<HtmlElement> found;
    const GumboTag wanted = gumbo_tag_enum(text::lowerAscii(tagName).c_str());
    if (wanted == GUMBO_TAG_UNKNOWN) return found;
    walk(root, [&](const GumboNode* node) {
        if (node != root && node->type == GUMBO_NODE_ELEMENT && node->v.element.tag == wanted) found.emplace_back(node);
        return true;
    });
    return found;
}

}  // namespace

std::vector<HtmlElement> HtmlElement::getElementsByTagName(const std::string& tagName) const {
    return elementsUnder(node_, tagName);
}

namespace {

// Parse errors are not recorded: each record copies the stack of open elements, which makes
// memory grow with the square of the nesting depth of a broken page.
const GumboOptions& parseOptions() {
    static const GumboOptions options = [] {
        GumboOptions o = kGumboDefaultOptions;
        o.max_errors = 0;
        return o;
    }();
    return options;
}

}  // namespace

HtmlDocument::HtmlDocument(const std::string& htmlText)
    : html_(htmlText), output_(gumbo_parse_with_options(&parseOptions(), html_.data(), html_.size())) {}

HtmlDocument::~HtmlDocument() {
    if (output_) gumbo_destroy_output(&parseOptions(), output_);
}

std::vector<HtmlElement> HtmlDocument::getElementsByTagName(const std::string& tagName) const {
    if (!output_) return {};
    return elementsUnder(output_->document, tagName);
}

}  // namespace zenvira::components
