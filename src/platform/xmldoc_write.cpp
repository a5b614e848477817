#include "platform/xmldoc_write.h"

#include "platform/utf8.h"

#include <iconv.h>
#include <libxml/encoding.h>
#include <libxml/xmlIO.h>
#include <libxml/xmlsave.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace platform {
namespace {

struct XmlCharDeleter {
    void operator()(xmlChar* text) const { xmlFree(text); }
};
using XmlCharPtr = std::unique_ptr<xmlChar, XmlCharDeleter>;

// ---- writing GB2312 ----

bool IsGb2312Name(const char* name) {
    return AsciiUpper(name ? name : "") == "GB2312";
}

struct IconvCloser {
    iconv_t cd;
    ~IconvCloser() {
        if (cd != reinterpret_cast<iconv_t>(-1))
            iconv_close(cd);
    }
};

// The output side of a strict GB2312 encoder (libxml2 resolves the name
// GB2312 to GBK, which is right for reading only). A character GB2312 lacks is
// reported as a transcoding failure (-2), which makes libxml2 write a
// character reference for it and go on.
int Utf8ToGb2312(unsigned char* out, int* outlen, const unsigned char* in, int* inlen) {
    thread_local IconvCloser converter{iconv_open("GB2312", "UTF-8")};
    if (converter.cd == reinterpret_cast<iconv_t>(-1) || out == nullptr || outlen == nullptr ||
        inlen == nullptr) {
        return -2;
    }
    if (in == nullptr) { // flush: nothing is held back
        *outlen = 0;
        *inlen = 0;
        return 0;
    }
    char* from = const_cast<char*>(reinterpret_cast<const char*>(in));
    char* to = reinterpret_cast<char*>(out);
    std::size_t fromLeft = static_cast<std::size_t>(*inlen);
    std::size_t toLeft = static_cast<std::size_t>(*outlen);
    const std::size_t result = iconv(converter.cd, &from, &fromLeft, &to, &toLeft);
    *inlen -= static_cast<int>(fromLeft);
    *outlen -= static_cast<int>(toLeft);
    if (result == static_cast<std::size_t>(-1)) {
        const int error = errno;
        iconv(converter.cd, nullptr, nullptr, nullptr, nullptr); // back to the initial state
        if (error == E2BIG)
            return -1;
        if (error == EINVAL)
            return -3; // a character cut at the end of the chunk: the rest comes later
        return -2;
    }
    return *outlen;
}

xmlCharEncodingHandler& Gb2312Encoder() {
    static xmlCharEncodingHandler handler = [] {
        xmlCharEncodingHandler h;
        std::memset(&h, 0, sizeof h);
        h.name = const_cast<char*>("GB2312");
        h.output = Utf8ToGb2312;
        return h;
    }();
    return handler;
}

int AppendToString(void* context, const char* buffer, int length) {
    static_cast<std::string*>(context)->append(buffer, static_cast<std::size_t>(length));
    return length;
}

int CloseNothing(void*) {
    return 0;
}

// The document as GB2312 text with its own declaration; false when libxml2
// fails.
bool DumpGb2312(xmlDoc* doc, const char* declared, std::string& text) {
    xmlOutputBuffer* buffer =
        xmlOutputBufferCreateIO(AppendToString, CloseNothing, &text, &Gb2312Encoder());
    if (buffer == nullptr)
        return false;
    // Closes the buffer; the handler is static and stays.
    return xmlSaveFormatFileTo(buffer, doc, declared, 0) >= 0 && !text.empty();
}

bool IsAscii(const xmlChar* text) {
    if (text != nullptr)
        for (; *text != 0; ++text)
            if (*text >= 0x80)
                return false;
    return true;
}

} // namespace

bool DumpDocument(xmlDoc* doc, const char* encoding, std::string& text) {
    text.clear();
    if (IsGb2312Name(encoding))
        return DumpGb2312(doc, encoding, text);
    xmlChar* raw = nullptr;
    int size = 0;
    xmlDocDumpFormatMemoryEnc(doc, &raw, &size, encoding, 0);
    XmlCharPtr owned(raw);
    if (!owned || size <= 0)
        return false;
    text.assign(reinterpret_cast<const char*>(owned.get()), static_cast<std::size_t>(size));
    return true;
}

// Whether every name the tree writes is ASCII, which every encoding holds as
// itself: then no character reference can land in a name and the written text
// is well-formed by construction. Only elements, attributes, namespaces, text,
// CDATA, comments and processing instructions are expected; any other node (a
// DTD, an entity reference) counts as not known to be safe.
bool NamesAreAscii(const xmlDoc* doc) {
    for (const xmlNode* top = doc->children; top != nullptr; top = top->next) {
        if (top->type != XML_ELEMENT_NODE && top->type != XML_COMMENT_NODE &&
            top->type != XML_PI_NODE)
            return false;
        if (top->type != XML_ELEMENT_NODE) {
            if (!IsAscii(top->name))
                return false;
            continue;
        }
        const xmlNode* node = top;
        while (node != nullptr) {
            switch (node->type) {
            case XML_ELEMENT_NODE:
                if (!IsAscii(node->name) || (node->ns && !IsAscii(node->ns->prefix)))
                    return false;
                for (const xmlNs* ns = node->nsDef; ns != nullptr; ns = ns->next)
                    if (!IsAscii(ns->prefix))
                        return false;
                for (const xmlAttr* attr = node->properties; attr != nullptr; attr = attr->next)
                    if (!IsAscii(attr->name) || (attr->ns && !IsAscii(attr->ns->prefix)))
                        return false;
                break;
            case XML_PI_NODE:
                if (!IsAscii(node->name))
                    return false;
                break;
            case XML_TEXT_NODE:
            case XML_CDATA_SECTION_NODE:
            case XML_COMMENT_NODE:
                break;
            default:
                return false;
            }
            if (node->type == XML_ELEMENT_NODE && node->children != nullptr) {
                node = node->children;
                continue;
            }
            while (node != top && node->next == nullptr)
                node = node->parent;
            node = node == top ? nullptr : node->next;
        }
    }
    return true;
}

} // namespace platform
