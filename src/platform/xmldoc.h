#pragma once
// XML document object model with XPath selection, over libxml2.
//
// XmlDocument owns one parsed tree; XmlNode is a cheap, non-owning handle into
// it that stays valid while the document lives and the node is in it (a node
// removed with removeChild is freed: forget its handles).
//
// Saving writes the tree with the encoding the document declares (UTF-8,
// GB2312, GBK, ...). Files declared GB2312 are read as GBK, which is what the
// tools writing them really produce, but written as GB2312 proper: a character
// the declared encoding cannot hold (喆, €, any GBK-only character) is written
// as a character reference, so nothing is lost and a strict reader accepts
// the file; everything GB2312 holds is written as its own bytes.
//
// Files come from elsewhere and are read with bounds: only a regular file is
// opened, at most kMaxXmlFileBytes of it, no entity may be declared (so no
// entity can expand into gigabytes) and libxml2's limits on nesting depth and
// text size stay in force. What went wrong is kept for the message.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct _xmlNode;

namespace platform {

class XmlNode {
  public:
    XmlNode() = default;

    bool isNull() const { return node_ == nullptr; }
    explicit operator bool() const { return node_ != nullptr; }
    bool operator==(const XmlNode& other) const = default;

    std::string name() const;

    // XPath relative to this node; an invalid path selects nothing.
    XmlNode selectSingleNode(std::string_view xpath) const;
    std::vector<XmlNode> selectNodes(std::string_view xpath) const;

    // Concatenated text content of the node and its descendants.
    std::string text() const;
    // Replaces the whole content by this text, taken literally (no entity or
    // markup parsing). Characters XML cannot carry (control characters other
    // than tab, line feed and carriage return, invalid UTF-8) are dropped or
    // replaced by U+FFFD, so the saved file always parses again.
    void setText(std::string_view text) const;

    std::optional<std::string> attribute(std::string_view name) const;
    std::string getAttribute(std::string_view name) const; // empty when absent
    bool hasAttribute(std::string_view name) const { return attribute(name).has_value(); }
    void setAttribute(std::string_view name, std::string_view value) const;

    // Attributes by position, counting namespace declarations first, then the
    // attributes proper in document order.
    std::size_t attributeCount() const;
    std::string attributeName(std::size_t index) const;  // empty when out of range
    std::string attributeValue(std::size_t index) const; // empty when out of range

    // Adds an element of the same document as the last child (moving it when it
    // already has a place). Returns the child, or a null node when refused (not an
    // element, another document, or the child is this node or one of its ancestors).
    XmlNode appendChild(XmlNode child) const;
    // Removes a direct child with its content and frees it. False when it is not
    // a child of this node.
    bool removeChild(XmlNode child) const;

    XmlNode parent() const;
    // Number of element ancestors (0 for the root element).
    std::size_t depth() const;

  private:
    friend class XmlDocument;
    explicit XmlNode(_xmlNode* node) : node_(node) {}
    _xmlNode* node_ = nullptr;
};

// The largest file load() reads; a manifest is a few kilobytes.
inline constexpr std::uintmax_t kMaxXmlFileBytes = std::uintmax_t{16} << 20;
// The most elements load() builds: a manifest of 1000 materials with 10 000
// entries in all holds about 150 000. A file of millions of tiny elements is
// refused as too large (its tree and the lists made from it would cost
// gigabytes), as a file beyond kMaxXmlFileBytes is.
inline constexpr std::size_t kMaxXmlElements = 300000;

// Why the last load() failed.
enum class XmlError {
    None,
    Missing,     // no such file
    NotAFile,    // a folder, pipe or device
    TooLarge,    // the file, or a text in it, is beyond the limits
    Unreadable,  // the file cannot be read
    Encoding,    // bytes that are not text in the declared encoding, or an unknown encoding
    BomMismatch, // a byte order mark that contradicts the declared encoding
    Entities,    // the document declares entities
    TooDeep,     // elements nested beyond the limit
    Syntax,      // not well-formed XML
    NoRoot,      // no root element
};
// The failure as the user reads it ("文件不存在", "字符编码错误", ...).
const char* XmlErrorText(XmlError error);

// A change of one node of a tree: a new text, or its removal.
struct XmlEdit {
    XmlNode node;
    std::string text;
    bool remove = false;
};
// Applies changes to the nodes of one tree, deepest node first. A new text
// frees what lies below its node, a removal the node itself: applied in this
// order, no change reaches a node that an earlier one has freed, however the
// nodes nest (a file entry of a hostile manifest may lie inside the text
// element of another one). Where nodes nest, the outer change wins.
void ApplyEdits(std::vector<XmlEdit> edits);

class XmlDocument {
  public:
    XmlDocument(); // an empty document without root element
    ~XmlDocument();
    XmlDocument(XmlDocument&&) noexcept;
    XmlDocument& operator=(XmlDocument&&) noexcept;
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    // Replaces the content by the file's tree. On failure (missing file, not
    // well-formed, unknown encoding) the document is left empty, without root
    // element, and false is returned. Nothing is printed.
    bool load(const std::filesystem::path& path);
    bool load(const std::string& utf8Path);
    bool load(const char* utf8Path) { return load(std::string(utf8Path)); }
    // The same, handing over the bytes read (when the file could be read).
    bool load(const std::filesystem::path& path, std::string* bytes);
    // As load() of a file at `path` that holds these bytes.
    bool loadBytes(const std::string& bytes, const std::filesystem::path& path);

    // Why the last load failed (None after a successful one), and the line of
    // the file where the parser stopped (0 when it does not apply).
    XmlError lastError() const { return error_; }
    int errorLine() const { return errorLine_; }
    // The failure with its line, as one text ("第3行：XML格式错误").
    std::string errorText() const;

    // Writes the tree with its declared encoding. False when the document has
    // no root element or the file cannot be written.
    bool save(const std::filesystem::path& path) const;
    bool save(const std::string& utf8Path) const;
    bool save(const char* utf8Path) const { return save(std::string(utf8Path)); }
    // The same, handing over the bytes written (when it succeeded).
    bool save(const std::filesystem::path& path, std::string* written) const;
    // The bytes that save() writes; false when there is no root element.
    bool serialize(std::string& text) const;

    XmlNode documentElement() const;
    // A new element of this document, not yet placed in the tree.
    XmlNode createElement(std::string_view name);
    // Makes element the root (for documents built from scratch).
    void setDocumentElement(XmlNode element);

    // Declared encoding, empty when the document declares none.
    std::string encoding() const;

    struct Impl;

  private:
    bool parse(const std::string& bytes, const std::filesystem::path& path);

    std::unique_ptr<Impl> impl_;
    XmlError error_ = XmlError::None;
    int errorLine_ = 0;
};

} // namespace platform
