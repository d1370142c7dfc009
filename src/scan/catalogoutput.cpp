#include "scan/catalogoutput.h"

#include "platform/filesystem.h"

namespace mellowby::scan {

namespace {

constexpr std::size_t kBlockSize = 256 * 1024;
constexpr std::string_view kLineEnd = "\r\n";

} // namespace

CatalogOutput::CatalogOutput(platform::IReplacement& xml, platform::IReplacement& twin)
    : m_xml { &xml, {} }
    , m_twin { &twin, {} }
{
    m_xml.buffer.reserve(kBlockSize + 4096);
    m_twin.buffer.reserve(kBlockSize + 4096);
}

CatalogOutput::~CatalogOutput() = default;

void CatalogOutput::endLineToBoth()
{
    m_line += kLineEnd;
    m_xml.buffer += m_line;
    m_twin.buffer += m_line;
    m_line.clear();
    flushIfFull(m_xml);
    flushIfFull(m_twin);
}

void CatalogOutput::endLineToXml()
{
    m_line += kLineEnd;
    m_xml.buffer += m_line;
    m_line.clear();
    flushIfFull(m_xml);
}

void CatalogOutput::flush()
{
    flush(m_xml);
    flush(m_twin);
}

void CatalogOutput::finish()
{
    flush();
    for (Target* target : { &m_xml, &m_twin }) {
        if (m_error)
            return;
        if (auto done = target->file->finish(); !done)
            m_error = done.error();
    }
}

void CatalogOutput::flushIfFull(Target& target)
{
    if (target.buffer.size() >= kBlockSize)
        flush(target);
}

void CatalogOutput::flush(Target& target)
{
    if (!m_error && !target.buffer.empty()) {
        if (&target == &m_xml) {
            m_xmlHash.update(target.buffer);
            m_xmlSize += target.buffer.size();
        }
        if (auto written = target.file->write(target.buffer); !written)
            m_error = written.error();
    }
    target.buffer.clear();
}

void appendOpening(std::string& line, std::string_view element, std::string_view firstAttribute)
{
    line += '<';
    line += element;
    line += ' ';
    line += firstAttribute;
    line += "=\"";
}

void appendNextAttribute(std::string& line, std::string_view attribute)
{
    line += "\" ";
    line += attribute;
    line += "=\"";
}

void appendEndTag(std::string& line, std::string_view element)
{
    line += "</";
    line += element;
    line += '>';
}

} // namespace mellowby::scan
