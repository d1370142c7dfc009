#pragma once

#include <string>
#include <string_view>

#include "cli/factcolumns.h"
#include "cli/recordwriter.h"
#include "search/queryrun.h"
#include "search/rowlist.h"

namespace mellowby::cli {

// The fields of the rows of search and ls, in the order the tool always printed them.
inline std::vector<RecordField> rowFields()
{
    return { { "name", "名称" }, { "size", "大小" }, { "date", "日期" }, { "location", "位置" },
        { "catalog", "目录" } };
}

// Rows of a search or a listing written as records as they come.
class RecordRows final : public search::IRowList {
public:
    explicit RecordRows(RecordWriter& writer)
        : m_writer(writer)
    {
    }
    void clear() override { }
    void appendRow(std::string_view name, std::string_view size, std::string_view date, std::string_view directory,
        std::string_view catalog) override
    {
        m_location.assign(directory).append(name);
        m_writer.record({ name, size, date, m_location, catalog });
    }
    void appendNameOnly(std::string_view name) override { m_writer.record({ name, {}, {}, {}, {} }); }
    void flush() override { }
    void finishFill() override { }

private:
    RecordWriter& m_writer;
    std::string m_location;
};

// The fields of the rows of find: those of search, and in CSV and JSON the exact size and time.
inline std::vector<RecordField> queryRowFields(RecordFormat format)
{
    std::vector<RecordField> fields = rowFields();
    if (format != RecordFormat::Tsv) {
        for (RecordField& field : factFields())
            fields.push_back(std::move(field));
    }
    return fields;
}

// The rows of a query written as records as they come.
class QueryRecordRows final : public search::IQueryRows {
public:
    explicit QueryRecordRows(RecordWriter& writer)
        : m_writer(writer)
    {
    }
    void appendRow(const search::QueryRow& row, const std::optional<names::FileFacts>& facts) override
    {
        m_location.assign(row.directory).append(row.name);
        if (!wantsFacts()) {
            m_writer.record({ row.name, row.size, row.date, m_location, row.catalog });
            return;
        }
        const FactTexts texts = factTexts(facts);
        m_writer.record({ row.name, row.size, row.date, m_location, row.catalog, texts.size, texts.modified });
    }
    void appendNameOnly(std::string_view name) override
    {
        if (wantsFacts())
            m_writer.record({ name, {}, {}, {}, {}, {}, {} });
        else
            m_writer.record({ name, {}, {}, {}, {} });
    }
    void flush() override { }
    bool wantsFacts() const override { return m_writer.format() != RecordFormat::Tsv; }

private:
    RecordWriter& m_writer;
    std::string m_location;
};

} // namespace mellowby::cli
