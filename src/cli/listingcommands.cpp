#include "cli/listingcommands.h"

#include <string>
#include <string_view>

#include "cli/cliconsole.h"
#include "cli/recordrows.h"
#include "cli/tool.h"
#include "platform/paths.h"
#include "search/filelist.h"
#include "search/filelisting.h"
#include "search/filesearch.h"

namespace mellowby::cli {

int searchCommand(Tool& tool)
{
    ConsoleMessageBox box(false);
    const std::string& text = tool.options.arguments[0];
    if (search::isBlankFindText(text)) {
        search::FileList none;
        search::cmdFind_Click(tool.indexes, box, none, text, {}); // shows why
        return kExitFailure;
    }
    // The catalogs named, else every catalog, in the order the window loads them.
    const auto catalogs = catalogsAsked(tool);
    if (!catalogs || !tool.openOutput())
        return kExitFailure;
    RecordWriter records = tool.records(rowFields());
    RecordRows rows(records);
    search::cmdFind_Click(tool.indexes, box, rows, text, { true, *catalogs, {} });
    records.finish();
    return tool.finish(0);
}

int lsCommand(Tool& tool)
{
    const auto catalog = tool.catalogArgument();
    if (!catalog)
        return kExitFailure;
    // The folders of the path, each the first of its name among its siblings.
    search::NodeAddress address;
    const auto folder = tool.options.argument(1);
    if (folder) {
        for (const std::string_view title : platform::componentsOf(*folder))
            address.emplace_back(std::string(title), 0);
    }
    if (!tool.openOutput())
        return kExitFailure;
    ConsoleMessageBox box(false);
    // Rows come only when the folder exists.
    RecordWriter records = tool.records(rowFields());
    RecordRows rows(records);
    const auto found = search::listCatalogFolder(tool.indexes, box, rows, *catalog, address);
    if (!found) {
        printError("无法读取目录“" + *catalog + "”。");
        return kExitFailure;
    }
    if (!*found) {
        printError("目录“" + *catalog + "”中没有“" + folder.value_or("") + "”。");
        return kExitFailure;
    }
    records.finish();
    return tool.finish(0);
}

} // namespace mellowby::cli
