#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "search/rowlist.h"

namespace mellowby::search {

// Goes on with a list after the rows it already holds: another reader of the same catalog gives
// the same rows in the same order, so the first `given` of them are dropped, and so is the
// clear() that would drop the ones already there. With nothing given, it is the list itself.
class SkippingRows final : public IRowList {
public:
    SkippingRows(IRowList& list, std::size_t given)
        : m_list(list)
        , m_toSkip(given)
        , m_keepsRows(given > 0)
    {
    }

    void clear() override
    {
        if (!m_keepsRows)
            m_list.clear();
    }
    void appendRow(std::string_view name, std::string_view size, std::string_view date, std::string_view directory,
        std::string_view catalog) override
    {
        if (!skipped())
            m_list.appendRow(name, size, date, directory, catalog);
    }
    void appendNameOnly(std::string_view name) override
    {
        if (!skipped())
            m_list.appendNameOnly(name);
    }
    void flush() override { m_list.flush(); }
    void finishFill() override { m_list.finishFill(); }
    bool stopped() const override { return m_list.stopped(); }
    bool keepsIndexRows() const override { return m_list.keepsIndexRows(); }
    void beginIndexRows(const names::NamesIndex& index, std::string_view catalog) override
    {
        m_list.beginIndexRows(index, catalog);
    }
    void appendIndexRow(std::uint32_t file, std::uint32_t directory) override
    {
        if (!skipped())
            m_list.appendIndexRow(file, directory);
    }

private:
    bool skipped()
    {
        if (m_toSkip == 0)
            return false;
        --m_toSkip;
        return true;
    }

    IRowList& m_list;
    std::size_t m_toSkip;
    bool m_keepsRows;
};

} // namespace mellowby::search
