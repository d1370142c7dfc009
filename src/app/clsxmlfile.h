#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace mellowby::app {

// The record of one loaded catalog: its name and its root node in the catalog tree.
class clsXmlFile {
public:
    const std::string& FileName() const { return m_fileName; }
    void setFileName(std::string value) { m_fileName = std::move(value); }

    const std::string& IdxName() const { return m_idxName; }
    void setIdxName(std::string value) { m_idxName = std::move(value); }

    std::int64_t TreeIndex() const { return m_treeIndex; }
    void setTreeIndex(std::int64_t value) { m_treeIndex = value; }

private:
    std::string m_fileName;
    std::string m_idxName;
    std::int64_t m_treeIndex = 0;
};

} // namespace mellowby::app
