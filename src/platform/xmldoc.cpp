#include "platform/xmldoc.h"

#include "platform/durable_file.h"

#include "platform/file_read.h"
#include "platform/utf8.h"
#include "platform/xmldoc_paths.h"
#include "platform/xmldoc_write.h"

#include <libxml/SAX2.h>
#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlversion.h>
#include <libxml/xpath.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <optional>
#include <system_error>
#include <type_traits>
#include <unordered_map>

namespace platform {
namespace {

struct DocDeleter {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
struct XPathContextDeleter {
    void operator()(xmlXPathContext* ctx) const { xmlXPathFreeContext(ctx); }
};
struct XPathCompDeleter {
    void operator()(xmlXPathCompExpr* comp) const { xmlXPathFreeCompExpr(comp); }
};
struct XPathObjectDeleter {
    void operator()(xmlXPathObject* obj) const { xmlXPathFreeObject(obj); }
};
struct ParserCtxtDeleter {
    void operator()(xmlParserCtxt* ctx) const { xmlFreeParserCtxt(ctx); }
};
struct XmlCharDeleter {
    void operator()(xmlChar* text) const { xmlFree(text); }
};

using DocPtr = std::unique_ptr<xmlDoc, DocDeleter>;
using XPathContextPtr = std::unique_ptr<xmlXPathContext, XPathContextDeleter>;
using XPathCompPtr = std::unique_ptr<xmlXPathCompExpr, XPathCompDeleter>;
using XPathObjectPtr = std::unique_ptr<xmlXPathObject, XPathObjectDeleter>;
using ParserCtxtPtr = std::unique_ptr<xmlParserCtxt, ParserCtxtDeleter>;
using XmlCharPtr = std::unique_ptr<xmlChar, XmlCharDeleter>;

constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

// Bytes the decoder refuses are reported outside the parser (which then
// only sees the text end early and says so): noted here, printed nowhere.
thread_local bool decoderFailed = false;

void IgnoreGenericError(void*, const char*, ...) {}
// libxml2 2.12 hands the structured error handler a const error.
#if LIBXML_VERSION >= 21200
void NoteStructuredError(void*, const xmlError* error) {
#else
void NoteStructuredError(void*, xmlErrorPtr error) {
#endif
    if (error && (error->domain == XML_FROM_I18N || error->code == XML_IO_ENCODER))
        decoderFailed = true;
}
static_assert(std::is_same_v<decltype(&NoteStructuredError), xmlStructuredErrorFunc>,
              "the handler must match this libxml2's xmlStructuredErrorFunc");

// libxml2 keeps its error handlers per thread; the encoding alias is global.
void PrepareLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        // Windows tools write GBK characters into files declared GB2312.
        xmlAddEncodingAlias("GBK", "GB2312");
    });
    thread_local bool handlersInstalled = false;
    if (!handlersInstalled) {
        xmlSetGenericErrorFunc(nullptr, IgnoreGenericError);
        xmlSetStructuredErrorFunc(nullptr, NoteStructuredError);
        handlersInstalled = true;
    }
}

const xmlChar* Xc(const char* text) {
    return reinterpret_cast<const xmlChar*>(text);
}

std::string FromXc(const xmlChar* text) {
    return text ? std::string(reinterpret_cast<const char*>(text)) : std::string();
}

std::string TakeXc(xmlChar* text) {
    XmlCharPtr owned(text);
    return FromXc(owned.get());
}

bool IsXmlChar(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// Text that XML can carry: invalid UTF-8 becomes U+FFFD, forbidden characters go.
std::string XmlSafe(std::string_view text) {
    std::string safe;
    safe.reserve(text.size());
    for (const char32_t c : ToU32(text))
        if (IsXmlChar(c))
            safe += ToUtf8(c);
    return safe;
}

bool IsValidName(std::string_view name) {
    const std::string text(name);
    return !text.empty() && xmlValidateName(Xc(text.c_str()), 0) == 0;
}

// Writes next to the target, flushes and renames over it, so a failed write
// or a power loss never leaves a half-written file in place of a good one.
bool ReplaceFileContent(const std::filesystem::path& path, const char* data, std::size_t size) {
    return !platform::WriteFileDurably(path, std::string_view(data, size));
}

// ---- bounded parsing ----

// Set on the parser context while a document is read: the first entity
// declaration stops the parser, so no entity is ever expanded.
struct ParseGuard {
    bool entityDeclared = false;
    int line = 0;
    std::size_t elements = 0;
    bool tooManyElements = false;
};

// Builds the tree as libxml2 does, counting the elements: a document beyond
// kMaxXmlElements stops the parser before its tree costs more memory.
void CountingStartElement(void* context, const xmlChar* localname, const xmlChar* prefix,
                          const xmlChar* uri, int namespaces, const xmlChar** namespaceList,
                          int attributes, int defaulted, const xmlChar** attributeList) {
    auto* parser = static_cast<xmlParserCtxt*>(context);
    auto* guard = static_cast<ParseGuard*>(parser->_private);
    if (guard && ++guard->elements > kMaxXmlElements) {
        if (!guard->tooManyElements) {
            guard->tooManyElements = true;
            guard->line = parser->input ? parser->input->line : 0;
        }
        xmlStopParser(parser);
        return;
    }
    xmlSAX2StartElementNs(context, localname, prefix, uri, namespaces, namespaceList, attributes,
                          defaulted, attributeList);
}

void RefuseEntity(void* context) {
    auto* parser = static_cast<xmlParserCtxt*>(context);
    if (auto* guard = static_cast<ParseGuard*>(parser->_private); guard && !guard->entityDeclared) {
        guard->entityDeclared = true;
        guard->line = parser->input ? parser->input->line : 0;
    }
    xmlStopParser(parser);
}

void RefuseEntityDecl(void* context, const xmlChar*, int, const xmlChar*, const xmlChar*,
                      xmlChar*) {
    RefuseEntity(context);
}

void RefuseUnparsedEntityDecl(void* context, const xmlChar*, const xmlChar*, const xmlChar*,
                              const xmlChar*) {
    RefuseEntity(context);
}

XmlError Classify(const xmlError* error) {
    if (error == nullptr)
        return XmlError::Syntax;
    switch (error->code) {
    case XML_ERR_INVALID_CHAR:
        // Also said of a character reference to a character XML forbids.
        if (error->message && std::strstr(error->message, "CharRef") != nullptr)
            return XmlError::Syntax;
        return XmlError::Encoding;
    case XML_ERR_UNSUPPORTED_ENCODING:
    case XML_ERR_UNKNOWN_ENCODING:
    case XML_ERR_INVALID_ENCODING:
    case XML_I18N_CONV_FAILED:
    case XML_I18N_NO_HANDLER:
    case XML_I18N_NO_NAME:
        return XmlError::Encoding;
    case XML_ERR_ENTITY_LOOP:
        return XmlError::Entities;
    case XML_ERR_NO_MEMORY:
    case XML_ERR_NAME_TOO_LONG:
        return XmlError::TooLarge;
    case XML_ERR_INTERNAL_ERROR:
        if (error->message && std::strstr(error->message, "depth") != nullptr)
            return XmlError::TooDeep;
        return XmlError::Syntax;
    default:
        return XmlError::Syntax;
    }
}

// A byte order mark settles the encoding; a declaration that names another one
// makes the file contradict itself (a fatal error in XML), and libxml2 would
// read it one way or the other without a word.
bool BomContradictsDeclaration(const std::string& bytes, const char* declared) {
    if (declared == nullptr)
        return false;
    const std::string name = AsciiUpper(declared);
    if (bytes.starts_with("\xEF\xBB\xBF"))
        return name != "UTF-8" && name != "UTF8";
    if (bytes.starts_with("\xFF\xFE"))
        return name != "UTF-16" && name != "UTF-16LE";
    if (bytes.starts_with("\xFE\xFF"))
        return name != "UTF-16" && name != "UTF-16BE";
    return false;
}

XmlError FromReadFailure(ReadFailure failure) {
    switch (failure) {
    case ReadFailure::None:
        return XmlError::None;
    case ReadFailure::Missing:
        return XmlError::Missing;
    case ReadFailure::NotAFile:
        return XmlError::NotAFile;
    case ReadFailure::TooLarge:
        return XmlError::TooLarge;
    case ReadFailure::Unreadable:
        break;
    }
    return XmlError::Unreadable;
}

bool IsAncestorOrSelf(xmlNode* candidate, xmlNode* node) {
    for (xmlNode* n = node; n != nullptr; n = n->parent)
        if (n == candidate)
            return true;
    return false;
}

} // namespace

// One parsed tree plus what selecting in it needs: an XPath context and the
// compiled paths (the manifest code asks the same few paths thousands of times),
// and the elements created or removed but not (or no longer) in the tree.
struct XmlDocument::Impl {
    DocPtr doc;
    XPathContextPtr xpath;
    std::unordered_map<std::string, XPathCompPtr> compiled;
    std::vector<xmlNode*> detached;
    // Changes of the elements of the tree (which element lies where) through
    // this interface, counted; a selection made
    // from the root element is kept until the next change (the material list
    // is asked for by every operation on a manifest).
    std::uint64_t generation = 0;
    struct RootSelection {
        std::string path;
        std::uint64_t generation; // value-initialised by emplace()
        std::vector<xmlNode*> nodes;
    };
    std::optional<RootSelection> rootSelection;

    explicit Impl(DocPtr d) : doc(std::move(d)) { doc->_private = this; }

    ~Impl() {
        // Free the detached subtrees before the document whose dictionary they use.
        std::vector<xmlNode*> roots;
        for (xmlNode* node : detached)
            if (node->parent == nullptr &&
                std::find(roots.begin(), roots.end(), node) == roots.end())
                roots.push_back(node);
        for (xmlNode* node : roots)
            xmlFreeNode(node);
        xpath.reset();
        compiled.clear();
    }

    static std::unique_ptr<Impl> Empty() {
        return std::make_unique<Impl>(DocPtr(xmlNewDoc(Xc("1.0"))));
    }

    xmlXPathCompExpr* compile(std::string_view path) {
        auto found = compiled.find(std::string(path));
        if (found != compiled.end())
            return found->second.get();
        XPathCompPtr comp(xmlXPathCompile(Xc(std::string(path).c_str())));
        xmlXPathCompExpr* raw = comp.get();
        compiled.emplace(std::string(path), std::move(comp));
        return raw;
    }

    std::vector<xmlNode*> select(xmlNode* context, std::string_view path, bool firstOnly = false) {
        std::vector<xmlNode*> result;
        if (DescendantPath steps; ParseDescendantPath(path, steps)) {
            if (firstOnly || context != xmlDocGetRootElement(doc.get())) {
                SelectDescendants(context, steps, firstOnly, result);
                return result;
            }
            if (!rootSelection || rootSelection->generation != generation ||
                rootSelection->path != path) {
                rootSelection.emplace();
                rootSelection->path = std::string(path);
                rootSelection->generation = generation;
                SelectDescendants(context, steps, false, rootSelection->nodes);
            }
            return rootSelection->nodes;
        }
        xmlXPathCompExpr* comp = compile(path);
        if (comp == nullptr)
            return result;
        if (!xpath)
            xpath.reset(xmlXPathNewContext(doc.get()));
        if (!xpath)
            return result;
        xpath->node = context;
        XPathObjectPtr found(xmlXPathCompiledEval(comp, xpath.get()));
        xpath->node = nullptr;
        if (!found || found->type != XPATH_NODESET || found->nodesetval == nullptr)
            return result;
        const xmlNodeSet* set = found->nodesetval;
        result.reserve(static_cast<std::size_t>(set->nodeNr));
        for (int i = 0; i < set->nodeNr; ++i)
            if (set->nodeTab[i]->type != XML_NAMESPACE_DECL)
                result.push_back(set->nodeTab[i]);
        return result;
    }
};

namespace {

XmlDocument::Impl* ImplOf(const xmlNode* node) {
    return node && node->doc ? static_cast<XmlDocument::Impl*>(node->doc->_private) : nullptr;
}

// Notes a change of the tree that `node` belongs to.
void Touch(const xmlNode* node) {
    if (XmlDocument::Impl* impl = ImplOf(node))
        ++impl->generation;
}

} // namespace

// ---- XmlNode ----

std::string XmlNode::name() const {
    return node_ ? FromXc(node_->name) : std::string();
}

std::vector<XmlNode> XmlNode::selectNodes(std::string_view xpath) const {
    std::vector<XmlNode> nodes;
    XmlDocument::Impl* impl = ImplOf(node_);
    if (impl == nullptr)
        return nodes;
    for (xmlNode* node : impl->select(node_, xpath))
        nodes.push_back(XmlNode(node));
    return nodes;
}

XmlNode XmlNode::selectSingleNode(std::string_view xpath) const {
    XmlDocument::Impl* impl = ImplOf(node_);
    if (impl == nullptr)
        return XmlNode();
    const std::vector<xmlNode*> nodes = impl->select(node_, xpath, true);
    return nodes.empty() ? XmlNode() : XmlNode(nodes.front());
}

std::string XmlNode::text() const {
    return node_ ? TakeXc(xmlNodeGetContent(node_)) : "";
}

void XmlNode::setText(std::string_view text) const {
    if (node_ == nullptr)
        return;
    // Only text below: no element goes, the elements of the tree stay as they are.
    for (const xmlNode* child = node_->children; child != nullptr; child = child->next)
        if (child->type != XML_TEXT_NODE) {
            Touch(node_);
            break;
        }
    const std::string safe = XmlSafe(text);
    if (node_->type != XML_ELEMENT_NODE) {
        xmlNodeSetContentLen(node_, nullptr, 0);
        xmlNodeAddContentLen(node_, Xc(safe.c_str()), static_cast<int>(safe.size()));
        return;
    }
    xmlNodeSetContent(node_, nullptr); // frees the old children
    if (!safe.empty())
        xmlAddChild(node_,
                    xmlNewDocTextLen(node_->doc, Xc(safe.c_str()), static_cast<int>(safe.size())));
}

std::optional<std::string> XmlNode::attribute(std::string_view name) const {
    if (node_ == nullptr || node_->type != XML_ELEMENT_NODE)
        return std::nullopt;
    const std::string key(name);
    for (xmlAttr* attr = node_->properties; attr != nullptr; attr = attr->next)
        if (key == FromXc(attr->name) ||
            (attr->ns && attr->ns->prefix &&
             key == FromXc(attr->ns->prefix) + ":" + FromXc(attr->name)))
            return TakeXc(xmlNodeGetContent(reinterpret_cast<xmlNode*>(attr)));
    return std::nullopt;
}

std::string XmlNode::getAttribute(std::string_view name) const {
    return attribute(name).value_or(std::string());
}

void XmlNode::setAttribute(std::string_view name, std::string_view value) const {
    if (node_ == nullptr || node_->type != XML_ELEMENT_NODE || !IsValidName(name))
        return;
    const std::string key(name);
    const std::string safe = XmlSafe(value);
    xmlSetProp(node_, Xc(key.c_str()), Xc(safe.c_str()));
}

std::size_t XmlNode::attributeCount() const {
    if (node_ == nullptr || node_->type != XML_ELEMENT_NODE)
        return 0;
    std::size_t count = 0;
    for (xmlNs* ns = node_->nsDef; ns != nullptr; ns = ns->next)
        ++count;
    for (xmlAttr* attr = node_->properties; attr != nullptr; attr = attr->next)
        ++count;
    return count;
}

namespace {

// Position index among the namespace declarations, then the attributes.
template <typename OnNamespace, typename OnAttribute>
std::string AtPosition(xmlNode* node, std::size_t index, OnNamespace onNs, OnAttribute onAttr) {
    if (node == nullptr || node->type != XML_ELEMENT_NODE)
        return {};
    for (xmlNs* ns = node->nsDef; ns != nullptr; ns = ns->next, --index)
        if (index == 0)
            return onNs(ns);
    for (xmlAttr* attr = node->properties; attr != nullptr; attr = attr->next, --index)
        if (index == 0)
            return onAttr(attr);
    return {};
}

} // namespace

std::string XmlNode::attributeName(std::size_t index) const {
    return AtPosition(
        node_, index,
        [](xmlNs* ns) { return ns->prefix ? "xmlns:" + FromXc(ns->prefix) : std::string("xmlns"); },
        [](xmlAttr* attr) {
            const std::string local = FromXc(attr->name);
            return attr->ns && attr->ns->prefix ? FromXc(attr->ns->prefix) + ":" + local : local;
        });
}

std::string XmlNode::attributeValue(std::size_t index) const {
    return AtPosition(
        node_, index, [](xmlNs* ns) { return FromXc(ns->href); },
        [](xmlAttr* attr) { return TakeXc(xmlNodeGetContent(reinterpret_cast<xmlNode*>(attr))); });
}

XmlNode XmlNode::appendChild(XmlNode child) const {
    xmlNode* c = child.node_;
    if (node_ == nullptr || c == nullptr || c->type != XML_ELEMENT_NODE ||
        (node_->type != XML_ELEMENT_NODE && node_->type != XML_DOCUMENT_NODE) ||
        c->doc != node_->doc || IsAncestorOrSelf(c, node_))
        return XmlNode();
    XmlDocument::Impl* impl = ImplOf(node_);
    Touch(node_);
    if (impl != nullptr)
        std::erase(impl->detached, c); // the tree owns it from now on
    xmlUnlinkNode(c);
    xmlAddChild(node_, c);
    return child;
}

bool XmlNode::removeChild(XmlNode child) const {
    xmlNode* c = child.node_;
    if (node_ == nullptr || c == nullptr || c->parent != node_ || c->type == XML_ATTRIBUTE_NODE)
        return false;
    XmlDocument::Impl* impl = ImplOf(node_);
    Touch(node_);
    if (impl != nullptr)
        std::erase(impl->detached, c);
    xmlUnlinkNode(c);
    xmlFreeNode(c);
    return true;
}

XmlNode XmlNode::parent() const {
    return node_ && node_->parent && node_->parent->type == XML_ELEMENT_NODE
               ? XmlNode(node_->parent)
               : XmlNode();
}

std::size_t XmlNode::depth() const {
    std::size_t depth = 0;
    for (XmlNode up = parent(); up; up = up.parent())
        ++depth;
    return depth;
}

void ApplyEdits(std::vector<XmlEdit> edits) {
    std::vector<std::pair<std::size_t, std::size_t>> order; // depth, index
    order.reserve(edits.size());
    for (std::size_t i = 0; i < edits.size(); ++i)
        order.emplace_back(edits[i].node.depth(), i);
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<XmlNode> removed;
    for (const auto& [depth, i] : order) {
        const XmlEdit& edit = edits[i];
        if (edit.node.isNull() ||
            std::find(removed.begin(), removed.end(), edit.node) != removed.end())
            continue;
        if (edit.remove) {
            removed.push_back(edit.node);
            edit.node.parent().removeChild(edit.node);
        } else {
            edit.node.setText(edit.text);
        }
    }
}

// ---- XmlDocument ----

const char* XmlErrorText(XmlError error) {
    switch (error) {
    case XmlError::None:
        return "";
    case XmlError::Missing:
        return "文件不存在";
    case XmlError::NotAFile:
        return "不是普通文件";
    case XmlError::TooLarge:
        return "文件或其中的文字过大";
    case XmlError::Unreadable:
        return "文件无法读取";
    case XmlError::Encoding:
        return "字符编码错误";
    case XmlError::BomMismatch:
        return "文件开头的字节顺序标记(BOM)与声明的编码不符";
    case XmlError::Entities:
        return "文件中定义了实体(ENTITY)";
    case XmlError::TooDeep:
        return "元素嵌套层次过多";
    case XmlError::Syntax:
        return "XML格式错误";
    case XmlError::NoRoot:
        return "没有根元素";
    }
    return "";
}

XmlDocument::XmlDocument() {
    PrepareLibrary();
    impl_ = Impl::Empty();
}

XmlDocument::~XmlDocument() = default;
XmlDocument::XmlDocument(XmlDocument&&) noexcept = default;
XmlDocument& XmlDocument::operator=(XmlDocument&&) noexcept = default;

bool XmlDocument::load(const std::filesystem::path& path) {
    return load(path, nullptr);
}

bool XmlDocument::load(const std::filesystem::path& path, std::string* bytes) {
    PrepareLibrary();
    impl_ = Impl::Empty();
    error_ = XmlError::None;
    errorLine_ = 0;
    FileContent content = ReadRegularFile(path, kMaxXmlFileBytes);
    if (!content.ok()) {
        error_ = FromReadFailure(content.failure);
        return false;
    }
    const bool parsed = parse(content.bytes, path);
    if (bytes != nullptr)
        *bytes = std::move(content.bytes);
    return parsed;
}

bool XmlDocument::loadBytes(const std::string& bytes, const std::filesystem::path& path) {
    PrepareLibrary();
    impl_ = Impl::Empty();
    error_ = XmlError::None;
    errorLine_ = 0;
    if (bytes.size() > kMaxXmlFileBytes) {
        error_ = XmlError::TooLarge;
        return false;
    }
    return parse(bytes, path);
}

bool XmlDocument::parse(const std::string& bytes, const std::filesystem::path& path) {
    ParserCtxtPtr parser(xmlNewParserCtxt());
    if (!parser || parser->sax == nullptr) {
        error_ = XmlError::Unreadable;
        return false;
    }
    ParseGuard guard;
    parser->_private = &guard;
    parser->sax->entityDecl = RefuseEntityDecl;
    parser->sax->unparsedEntityDecl = RefuseUnparsedEntityDecl;
    if (parser->sax->startElementNs == xmlSAX2StartElementNs)
        parser->sax->startElementNs = CountingStartElement;
    const std::string url = PathToUtf8(path);
    decoderFailed = false;
    DocPtr doc(xmlCtxtReadMemory(parser.get(), bytes.data(), static_cast<int>(bytes.size()),
                                 url.c_str(), nullptr, kParseOptions));
    const xmlError* last = xmlCtxtGetLastError(parser.get());
    if (guard.entityDeclared) {
        error_ = XmlError::Entities;
        errorLine_ = guard.line;
    } else if (guard.tooManyElements) {
        error_ = XmlError::TooLarge;
        errorLine_ = guard.line;
    } else if (!doc || !parser->wellFormed || parser->errNo == XML_ERR_NO_MEMORY) {
        // A limit stops the parser without marking the document ill-formed:
        // what was built so far is not the document.
        error_ = decoderFailed ? XmlError::Encoding : Classify(last);
        errorLine_ = last ? last->line : 0;
    } else if (BomContradictsDeclaration(bytes, reinterpret_cast<const char*>(doc->encoding))) {
        error_ = XmlError::BomMismatch;
        errorLine_ = 1;
    } else if (xmlDocGetRootElement(doc.get()) == nullptr) {
        error_ = XmlError::NoRoot;
    }
    if (error_ != XmlError::None)
        return false;
    impl_ = std::make_unique<Impl>(std::move(doc));
    return true;
}

std::string XmlDocument::errorText() const {
    const std::string text = XmlErrorText(error_);
    return errorLine_ > 0 ? "第" + std::to_string(errorLine_) + "行：" + text : text;
}

bool XmlDocument::load(const std::string& utf8Path) {
    return load(PathFromUtf8(utf8Path));
}

namespace {

bool ReadsAgain(const std::string& text) {
    ParserCtxtPtr parser(xmlNewParserCtxt());
    if (!parser)
        return false;
    DocPtr doc(xmlCtxtReadMemory(parser.get(), text.data(), static_cast<int>(text.size()), nullptr,
                                 nullptr, kParseOptions));
    return doc && parser->wellFormed && xmlDocGetRootElement(doc.get()) != nullptr;
}

} // namespace

bool XmlDocument::save(const std::filesystem::path& path) const {
    return save(path, nullptr);
}

bool XmlDocument::save(const std::filesystem::path& path, std::string* written) const {
    std::string text;
    if (!serialize(text) || !ReplaceFileContent(path, text.data(), text.size()))
        return false;
    if (written != nullptr)
        *written = std::move(text);
    return true;
}

bool XmlDocument::serialize(std::string& text) const {
    if (!impl_ || xmlDocGetRootElement(impl_->doc.get()) == nullptr)
        return false;
    // A document that declares no encoding is UTF-8 (or UTF-16 by its byte
    // order mark): written as UTF-8, its text stays text instead of becoming
    // character references.
    const char* declared = reinterpret_cast<const char*>(impl_->doc->encoding);
    if (!DumpDocument(impl_->doc.get(), declared ? declared : "UTF-8", text))
        return false;
    // A character the declared encoding lacks becomes a reference, which XML
    // allows in text and attribute values but not in a name: a document whose
    // element or attribute names need such characters (only a hostile one)
    // is written as UTF-8, which holds every character, rather than broken.
    // A tree whose names are all ASCII cannot be written that way: the test
    // reading (a second parse of the whole text) is left out for it.
    return !declared || NamesAreAscii(impl_->doc.get()) || ReadsAgain(text) ||
           DumpDocument(impl_->doc.get(), "UTF-8", text);
}

bool XmlDocument::save(const std::string& utf8Path) const {
    return save(PathFromUtf8(utf8Path));
}

XmlNode XmlDocument::documentElement() const {
    return impl_ ? XmlNode(xmlDocGetRootElement(impl_->doc.get())) : XmlNode();
}

XmlNode XmlDocument::createElement(std::string_view name) {
    if (!impl_)
        impl_ = Impl::Empty();
    if (!IsValidName(name))
        return XmlNode();
    const std::string key(name);
    xmlNode* node = xmlNewDocNode(impl_->doc.get(), nullptr, Xc(key.c_str()), nullptr);
    if (node == nullptr)
        return XmlNode();
    impl_->detached.push_back(node);
    return XmlNode(node);
}

void XmlDocument::setDocumentElement(XmlNode element) {
    if (!impl_ || element.isNull() || element.node_->doc != impl_->doc.get() ||
        element.node_->type != XML_ELEMENT_NODE || element.node_->parent != nullptr)
        return;
    std::erase(impl_->detached, element.node_);
    ++impl_->generation;
    xmlNode* old = xmlDocSetRootElement(impl_->doc.get(), element.node_);
    if (old != nullptr)
        xmlFreeNode(old);
}

std::string XmlDocument::encoding() const {
    return impl_ ? FromXc(impl_->doc->encoding) : std::string();
}

} // namespace platform
