#include "search/indexedrows.h"

#include <cstdint>
#include <span>
#include <vector>

#include "app/showmsg.h"
#include "names/namesindex.h"
#include "names/namesindexformat.h"
#include "search/locationlimit.h"
#include "search/rowlist.h"

namespace mellowby::search {

namespace {

using names::NamesIndex;
constexpr std::uint32_t kNone = names::indexformat::kNone;

// The folder at address, or kNone.
std::uint32_t folderAt(const NamesIndex& index, const std::optional<std::string>& rootTitle, const NodeAddress& address)
{
    if (index.directoryCount() == 0)
        return kNone;
    std::uint32_t level = 0;
    if (address.empty())
        return !rootTitle || *rootTitle == index.directory(0).title ? 0 : kNone;
    for (const auto& [title, position] : address) {
        std::size_t seen = 0;
        std::uint32_t next = kNone;
        for (std::uint32_t child = index.directory(level).firstChild; child != kNone;) {
            const NamesIndex::DirectoryView directory = index.directory(child);
            if (directory.title == title && seen++ == position) {
                next = child;
                break;
            }
            child = directory.nextSibling;
        }
        if (next == kNone)
            return kNone;
        level = next;
    }
    return level;
}

} // namespace

bool searchIndex(const NamesIndex& index, platform::IMessageBox& box, IRowList& list, std::string_view findText,
    const std::string& catalogName, std::size_t& rowsGiven)
{
    rowsGiven = 0;
    try {
        // As the catalog file is searched: the location is taken again whenever the folder of the
        // hit changes, and the total of those is bounded.
        std::uint32_t lastDirectory = kNone;
        std::string prefix;
        std::size_t locationBytes = 0;
        const bool byReference = list.keepsIndexRows();
        if (byReference)
            list.beginIndexRows(index, catalogName);
        index.findNames(
            findText,
            [&](std::span<const NamesIndex::Hit> hits) {
                if (list.stopped())
                    return false;
                for (const NamesIndex::Hit& hit : hits) {
                    if (hit.directory != lastDirectory) {
                        prefix = index.directory(hit.directory).prefix;
                        lastDirectory = hit.directory;
                        locationBytes += prefix.size();
                        if (locationBytes > catalog::kMaxLocationBytes) {
                            app::ShowMsg(box, kSearchFailure, 0, kLocationsTooLong, kSearchSource);
                            return false;
                        }
                    }
                    if (byReference)
                        list.appendIndexRow(hit.number, hit.directory);
                    else
                        list.appendRow(hit.name, hit.size, hit.date, prefix, catalogName);
                    ++rowsGiven;
                }
                return true;
            },
            byReference ? NamesIndex::HitTexts::NumbersOnly : NamesIndex::HitTexts::All);
    } catch (const names::IndexDamaged&) {
        list.flush();
        return false;
    }
    list.flush();
    return true;
}

std::optional<bool> listIndexFolder(const NamesIndex& index, IRowList& list,
    const std::optional<std::string>& rootTitle, const NodeAddress& address, std::size_t& rowsGiven)
{
    rowsGiven = 0;
    try {
        const std::uint32_t folder = folderAt(index, rootTitle, address);
        list.clear();
        if (folder != kNone) {
            const NamesIndex::DirectoryView directory = index.directory(folder);
            const std::string prefix(directory.prefix);
            for (const std::uint32_t number : index.filesOf(directory)) {
                const NamesIndex::FileView file = index.file(number);
                list.appendRow(file.name, file.size, file.date, prefix, {});
                ++rowsGiven;
            }
        }
        list.finishFill();
        return folder != kNone;
    } catch (const names::IndexDamaged&) {
        list.flush();
        return std::nullopt;
    }
}

} // namespace mellowby::search
