#include "media/dash/xml_tree.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <memory>
#include <mutex>

namespace zenvira::components::dash {

const std::string* XmlElement::attribute(std::string_view attributeName) const {
    for (const auto& [key, value] : attributes)
        if (key == attributeName) return &value;
    return nullptr;
}

const XmlElement* XmlElement::child(std::string_view childName) const {
    for (const auto& element : children)
        if (element.name == childName) return &element;
    return nullptr;
}

std::vector<const XmlElement*> XmlElement::childrenNamed(std::string_view childName) const {
    std::vector<const XmlElement*> found;
    for (const auto& element : children)
        if (element.name == childName) found.push_back(&element);
    return found;
}

namespace {

std::string textOf(const xmlChar* text) { return text ? reinterpret_cast<const char*>(text) : std::string(); }

void copyOwnParts(const xmlNode* node, XmlElement& element) {
    element.name = textOf(node->name);
    for (const xmlAttr* attr = node->properties; attr; attr = attr->next) {
        xmlChar* value = xmlNodeListGetString(node->doc, attr->children, 1);
        element.attributes.emplace_back(textOf(attr->name), textOf(value));
        xmlFree(value);
    }
    std::size_t elements = 0;
    for (const xmlNode* c = node->children; c; c = c->next) {
        if (c->type == XML_ELEMENT_NODE)
            ++elements;
        else if (c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE)
            element.text += textOf(c->content);
    }
    element.children.resize(elements);
}

struct DocumentDeleter {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};

}  // namespace

XmlReadResult readXml(std::string_view text) {
    XmlReadResult result;
    if (text.size() > kLargestXmlText) {
        result.error = "is too large";
        return result;
    }
    static std::once_flag initialised;
    std::call_once(initialised, [] { xmlInitParser(); });
    // Without XML_PARSE_NOENT entities stay references, without XML_PARSE_DTDLOAD no external
    // DTD is read, and without XML_PARSE_HUGE libxml2 keeps its depth and size limits.
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOCDATA;
    std::unique_ptr<xmlDoc, DocumentDeleter> doc(
        xmlReadMemory(text.data(), static_cast<int>(text.size()), "manifest.mpd", nullptr, options));
    const xmlNode* rootNode = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
    if (!rootNode) {
        result.error = "is not well-formed XML";
        return result;
    }
    // Breadth by breadth with a list of pending nodes: a deep document cannot exhaust the stack.
    result.root.emplace();
    std::vector<std::pair<const xmlNode*, XmlElement*>> pending{{rootNode, &*result.root}};
    while (!pending.empty()) {
        const auto [node, element] = pending.back();
        pending.pop_back();
        copyOwnParts(node, *element);
        std::size_t index = 0;
        for (const xmlNode* c = node->children; c; c = c->next)
            if (c->type == XML_ELEMENT_NODE) pending.emplace_back(c, &element->children[index++]);
    }
    return result;
}

}  // namespace zenvira::components::dash
