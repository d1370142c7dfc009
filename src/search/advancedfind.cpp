#include "search/advancedfind.h"

#include <exception>
#include <optional>

#include "app/showmsg.h"
#include "platform/messagebox.h"
#include "search/queryrun.h"
#include "search/rowlist.h"

namespace mellowby::search {

namespace {

// The rows of a query in the file list, with the columns of a search.
class ListedRows final : public IQueryRows {
public:
    explicit ListedRows(IRowList& list)
        : m_list(list)
    {
    }
    void appendRow(const QueryRow& row, const std::optional<names::FileFacts>&) override
    {
        m_list.appendRow(row.name, row.size, row.date, row.directory, row.catalog);
    }
    void appendNameOnly(std::string_view name) override { m_list.appendNameOnly(name); }
    void flush() override { m_list.flush(); }
    bool stopped() const override { return m_list.stopped(); }

private:
    IRowList& m_list;
};

} // namespace

void cmdQuery_Click(const names::NamesIndexCache& indexes, platform::IMessageBox& box, IRowList& list,
    const QueryNode& query, const SearchScope& scope)
{
    try {
        if (!scope.allCatalogs && scope.currentCatalog.empty()) {
            box.show({ "请先在左边的目录树中选择一个目录，或者选择在所有目录中查找。", kAdvancedFindTitle,
                platform::MessageIcon::Information });
            return;
        }
        list.clear();
        ListedRows rows(list);
        findQueryRows(
            indexes, box, query, scope.allCatalogs ? scope.loadedCatalogs : std::vector { scope.currentCatalog }, rows);
        list.finishFill();
    } catch (const std::exception& failure) {
        app::ShowMsg(box, "查找指定文件进出错！", 0, failure.what(), "frmQuery-cmdQuery_Click");
        list.flush();
    }
}

} // namespace mellowby::search
