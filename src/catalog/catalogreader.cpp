#include "catalog/catalogreader.h"

#include <cerrno>
#include <string>
#include <string_view>
#include <utility>

#include "catalog/catalogencoding.h"
#include "catalog/catalogformat.h"

namespace mellowby::catalog {

namespace {

// Character and entity references are decoded. Literal white space inside an attribute value is
// normalised to blanks as XML requires, while a tab, LF or CR written as a character reference
// is kept as it is. Literal CR LF inside text reads as LF. Text of white space only (the line
// ends between elements) is dropped. A DOCTYPE is skipped and its entities are never expanded.
constexpr unsigned int kParseOptions
    = pugi::parse_cdata | pugi::parse_escapes | pugi::parse_wconv_attribute | pugi::parse_eol;

pugi::xml_parse_result resultWithStatus(pugi::xml_parse_status status)
{
    pugi::xml_parse_result result;
    result.status = status;
    return result;
}

} // namespace

struct CatalogDocument::State {
    // The UTF-8 text, parsed in place: the document's names and values point into it.
    std::string text;
    pugi::xml_document document;
    // Until something is loaded the document is as empty as one whose file held no element.
    pugi::xml_parse_result result = resultWithStatus(pugi::status_no_document_element);
    platform::Error error;

    bool fail(pugi::xml_parse_result failure, platform::Error why)
    {
        // pugixml keeps whatever it had built before the fault; a reader must see no tree at all.
        document.reset();
        text = std::string();
        result = failure;
        error = std::move(why);
        return false;
    }
};

CatalogDocument::CatalogDocument()
    : m_state(std::make_unique<State>())
{
}

CatalogDocument::CatalogDocument(CatalogDocument&&) noexcept = default;
CatalogDocument& CatalogDocument::operator=(CatalogDocument&&) noexcept = default;
CatalogDocument::~CatalogDocument() = default;

bool CatalogDocument::failToRead(platform::Error why)
{
    m_state.reset();
    m_state = std::make_unique<State>();
    const auto status = why.number == ENOENT ? pugi::status_file_not_found : pugi::status_io_error;
    return m_state->fail(resultWithStatus(status), std::move(why));
}

bool CatalogDocument::loadBytes(std::string bytes)
{
    // Drop the previous document before building the next, so two are never held at once.
    m_state.reset();
    m_state = std::make_unique<State>();
    State& state = *m_state;

    // pugixml ignores the declared encoding, so text in code page 936 or GB18030 is decoded here
    // first.
    auto decoder = CatalogTextDecoder::forCatalog(bytes);
    if (!decoder) {
        return state.fail(resultWithStatus(pugi::status_io_error), std::move(decoder.error()));
    }
    if (!decoder->passesThrough()) {
        bytes = decoder->decode(bytes);
    }

    state.text = std::move(bytes);
    state.result
        = state.document.load_buffer_inplace(state.text.data(), state.text.size(), kParseOptions, pugi::encoding_utf8);
    if (!state.result || !state.document.document_element()) {
        const pugi::xml_parse_result result = state.result;
        return state.fail(result,
            platform::Error { 0, std::string(result.description()) + " at offset " + std::to_string(result.offset) });
    }
    return true;
}

bool CatalogDocument::loaded() const
{
    return m_state && m_state->document.document_element();
}

pugi::xml_node CatalogDocument::documentElement() const
{
    return m_state ? m_state->document.document_element() : pugi::xml_node();
}

pugi::xml_node CatalogDocument::documentNode() const
{
    return m_state ? m_state->document : pugi::xml_node();
}

const platform::Error& CatalogDocument::loadError() const
{
    static const platform::Error kNone;
    return m_state ? m_state->error : kNone;
}

const pugi::xml_parse_result& CatalogDocument::parseResult() const
{
    static const pugi::xml_parse_result kNone = resultWithStatus(pugi::status_no_document_element);
    return m_state ? m_state->result : kNone;
}

pugi::xpath_node_set selectAllFiles(const CatalogDocument& document)
{
    const pugi::xml_node root = document.documentNode();
    return root ? root.select_nodes(("//" + std::string(kFileElement)).c_str()) : pugi::xpath_node_set();
}

pugi::xml_attribute attributeAt(pugi::xml_node node, std::size_t index)
{
    for (pugi::xml_attribute attribute = node.first_attribute(); attribute; attribute = attribute.next_attribute()) {
        if (index == 0) {
            return attribute;
        }
        --index;
    }
    return {};
}

} // namespace mellowby::catalog
