#include "search/xmllocator.h"

#include <vector>

#include "app/showmsg.h"
#include "catalog/catalogformat.h"
#include "catalog/catalogreader.h"
#include "catalog/locationtext.h"

namespace mellowby::search {

namespace {

constexpr const char* kFailure = "取出XML文件节点上级节点名称时出错！";
constexpr const char* kSource = "frmMain-getXmlParentNode";

} // namespace

char XmlLocator::separatorOf(const pugi::xml_node& anyNodeOfCatalog)
{
    pugi::xml_node root = anyNodeOfCatalog.root().first_child();
    while (root && root.type() != pugi::node_element)
        root = root.next_sibling();
    if (!root || !catalog::isElement(root, catalog::kDiskElement))
        return '/';
    return catalog::locationSeparatorFor(catalog::attributeAt(root, catalog::kLabelPosition).value());
}

std::optional<std::string_view> XmlLocator::ownPart(const pugi::xml_node& node)
{
    if (catalog::isElement(node, catalog::kFileElement)) {
        const pugi::xml_node text = node.first_child();
        if (!text) {
            app::ShowMsg(m_box, kFailure, 0, "File 元素没有文件名。", kSource);
            return std::nullopt;
        }
        return text.value();
    }
    if (const pugi::xml_attribute first = node.first_attribute())
        return first.value();
    return node.name();
}

std::string XmlLocator::joinedLocation(const pugi::xml_node& node)
{
    if (!node)
        return {};
    // Own parts from node upwards, as far as the root element or the first level that fails;
    // what lies above a failing level is never looked at, and that level counts as empty.
    std::vector<std::string_view> parts;
    std::string_view top;
    for (pugi::xml_node level = node;;) {
        const auto own = ownPart(level);
        if (!own)
            break;
        const pugi::xml_node parent = level.parent();
        if (!parent || parent.type() == pugi::node_document) {
            if (!catalog::isElement(level, catalog::kDiskElement)) {
                top = *own;
            } else if (const pugi::xml_attribute label = catalog::attributeAt(level, catalog::kLabelPosition)) {
                top = label.value();
            } else {
                app::ShowMsg(m_box, kFailure, 0, "Disk 元素没有 Label 属性。", kSource);
            }
            break;
        }
        parts.push_back(*own);
        level = parent;
    }
    std::size_t length = top.size();
    for (const auto part : parts)
        length += 1 + part.size();
    std::string text;
    text.reserve(length);
    text += top;
    for (auto part = parts.rbegin(); part != parts.rend(); ++part) {
        text += m_separator;
        text += *part;
    }
    return text;
}

std::string XmlLocator::location(const pugi::xml_node& node)
{
    std::string text = joinedLocation(node);
    catalog::collapseSeparators(text, m_separator);
    return text;
}

std::string XmlLocator::prefixFor(const pugi::xml_node& parent)
{
    if (!parent || parent.type() == pugi::node_document)
        return {};
    std::string text = joinedLocation(parent);
    text += m_separator;
    catalog::collapseSeparators(text, m_separator);
    return text;
}

void XmlLocator::extendPrefix(std::string& prefix, const pugi::xml_node& child)
{
    const auto own = ownPart(child);
    if (!own) {
        // As in location(): a level whose name cannot be taken hides everything above it.
        prefix.assign(1, m_separator);
        return;
    }
    catalog::appendLocationLevel(prefix, *own, m_separator);
}

} // namespace mellowby::search
