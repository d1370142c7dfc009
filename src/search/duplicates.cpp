#include "search/duplicates.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <unordered_map>

#include "catalog/uppercaser.h"
#include "search/catalogfiles.h"
#include "search/duplicatekeys.h"

namespace mellowby::search {

using duplicatekeys::RepeatedKeys;
using duplicatekeys::SharedTexts;

namespace {

// A file's name and size in one number; equal files, equal keys. Files with equal keys are
// compared in full afterwards, so a collision only costs a look. Groups of equal keys come in the
// order of their keys, which settles the order of groups that the sizes and names leave tied.
std::uint64_t keyOf(std::string_view upperName, std::uint64_t kilobytes)
{
    return std::hash<std::string_view> {}(upperName) ^ (kilobytes * 0x9E3779B97F4A7C15ull);
}

} // namespace

std::optional<std::uint64_t> kilobytesOf(std::string_view size)
{
    std::uint64_t value = 0;
    std::size_t digits = 0;
    for (; digits < size.size() && size[digits] >= '0' && size[digits] <= '9'; ++digits) {
        const auto digit = static_cast<std::uint64_t>(size[digits] - '0');
        if (value > (std::numeric_limits<std::uint64_t>::max() - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    if (digits == 0 || size.substr(digits) != "KB")
        return std::nullopt;
    return value;
}

std::string_view DuplicateGroups::shared(std::uint32_t text) const
{
    return m_shared.at(text);
}

DuplicateGroups::Copy DuplicateGroups::copy(std::size_t number) const
{
    const CopyRecord& record = m_copies[number];
    return { m_catalogs[record.catalog], m_texts.bytes().substr(record.name, record.nameLength),
        shared(record.folder) };
}

DuplicateGroups findDuplicates(const names::NamesIndexCache& indexes, platform::IMessageBox& box,
    const std::vector<std::string>& catalogs, std::uint64_t minKilobytes)
{
    // First every file's key alone, eight bytes a file for as long as it takes to find the keys
    // that repeat; then, in a second pass, only the files of those keys, each put straight into
    // the place of its key, so that the files of one key lie together in the order they came.
    catalog::UpperCaser upper;
    const auto eachFile
        = [&](const std::string& catalog, const std::function<void(const CatalogFile&, std::uint64_t)>& each) {
              (void)forEachCatalogFile(indexes, box, catalog, [&](const CatalogFile& file) {
                  const auto kilobytes = kilobytesOf(file.size);
                  if (kilobytes && *kilobytes >= minKilobytes && !file.location.empty())
                      each(file, *kilobytes);
              });
          };
    // The keys in the order of the files, which the second pass meets again.
    std::vector<std::uint64_t> keys;
    std::vector<std::size_t> firstKeyOfCatalog;
    for (const std::string& catalog : catalogs) {
        firstKeyOfCatalog.push_back(keys.size());
        eachFile(catalog, [&](const CatalogFile& file, std::uint64_t kilobytes) {
            keys.push_back(keyOf(upper.upper(file.name), kilobytes));
        });
    }
    firstKeyOfCatalog.push_back(keys.size());
    const RepeatedKeys repeated = duplicatekeys::repeatedOf(keys);

    DuplicateGroups result;
    result.m_catalogs = catalogs;
    result.m_copies.resize(repeated.firsts.back());
    SharedTexts shared;
    SharedTexts::Recent folders;
    std::vector<std::size_t> next(repeated.firsts.begin(), repeated.firsts.end() - 1);
    for (std::uint32_t catalog = 0; catalog < catalogs.size(); ++catalog) {
        // A catalog scanned again between the passes may give more files than its keys: theirs
        // are made anew. A key gets no more copies than the first pass counted, and the copies are
        // compared in full below, so files given under another's key part from its group.
        std::size_t keyNumber = firstKeyOfCatalog[catalog];
        eachFile(catalogs[catalog], [&](const CatalogFile& file, std::uint64_t kilobytes) {
            const std::uint64_t key = keyNumber < firstKeyOfCatalog[catalog + 1]
                ? keys[keyNumber++]
                : keyOf(upper.upper(file.name), kilobytes);
            const auto found = repeated.find(key);
            if (!found || next[*found] == repeated.firsts[*found + 1])
                return;
            const std::string_view folder = file.location.substr(0, file.location.size() - file.name.size());
            result.m_copies[next[*found]++] = { result.m_texts.size(), static_cast<std::uint32_t>(file.name.size()),
                catalog, shared.number(folder, folders), shared.numberOfSize(file.size, kilobytes) };
            result.m_texts.append(file.name);
        });
    }
    keys = {};
    result.m_shared = shared.take();

    // The files of one key are one group when their sizes and upper-cased names agree too, as
    // they nearly always do; else they part into groups of equal size and name, in that order.
    const auto kilobytesOfCopy
        = [&](const DuplicateGroups::CopyRecord& copy) { return kilobytesOf(result.shared(copy.size)).value_or(0); };
    const auto nameOf = [&](const DuplicateGroups::CopyRecord& copy) {
        return result.m_texts.bytes().substr(copy.name, copy.nameLength);
    };
    struct Member {
        std::uint64_t kilobytes;
        std::string upperName;
        DuplicateGroups::CopyRecord copy;
    };
    std::vector<Member> members;
    for (std::size_t key = 0; key < repeated.keys.size(); ++key) {
        const std::size_t first = repeated.firsts[key];
        const std::size_t end = next[key]; // short of the next key's first where files went meanwhile
        if (end - first < 2)
            continue;
        // Copies of one name and size text, as nearly all are, need no closer look.
        const auto& head = result.m_copies[first];
        const bool same = std::all_of(result.m_copies.begin() + static_cast<std::ptrdiff_t>(first + 1),
            result.m_copies.begin() + static_cast<std::ptrdiff_t>(end), [&](const DuplicateGroups::CopyRecord& copy) {
                return copy.size == head.size && nameOf(copy) == nameOf(head);
            });
        if (same) {
            result.m_groups.push_back(
                { kilobytesOfCopy(head), first, static_cast<std::uint32_t>(end - first), head.size });
            continue;
        }
        members.clear();
        bool alike = true;
        for (std::size_t i = first; i < end; ++i) {
            const auto& copy = result.m_copies[i];
            members.push_back({ kilobytesOfCopy(copy), std::string(upper.upper(nameOf(copy))), copy });
            alike = alike && members.back().kilobytes == members.front().kilobytes
                && members.back().upperName == members.front().upperName;
        }
        if (!alike) {
            std::ranges::stable_sort(members, [](const Member& a, const Member& b) {
                if (a.kilobytes != b.kilobytes)
                    return a.kilobytes < b.kilobytes;
                return a.upperName < b.upperName;
            });
            for (std::size_t i = first; i < end; ++i)
                result.m_copies[i] = members[i - first].copy;
        }
        for (std::size_t group = 0; group < members.size();) {
            std::size_t groupEnd = group + 1;
            while (groupEnd < members.size() && members[groupEnd].kilobytes == members[group].kilobytes
                && members[groupEnd].upperName == members[group].upperName)
                ++groupEnd;
            // A group of one is a collision of keys: its file is listed nowhere.
            if (groupEnd - group >= 2)
                result.m_groups.push_back({ members[group].kilobytes, first + group,
                    static_cast<std::uint32_t>(groupEnd - group), members[group].copy.size });
            group = groupEnd;
        }
    }
    result.orderGroups();
    return result;
}

void DuplicateGroups::orderGroups()
{
    std::ranges::stable_sort(m_groups, [this](const Group& a, const Group& b) {
        if (a.totalKilobytes() != b.totalKilobytes())
            return a.totalKilobytes() > b.totalKilobytes();
        return copy(a.firstCopy).name < copy(b.firstCopy).name;
    });
}

} // namespace mellowby::search
