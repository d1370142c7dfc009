#include "search/duplicates.h"

#include <algorithm>
#include <functional>
#include <limits>

#include "catalog/uppercaser.h"
#include "search/catalogfiles.h"

namespace mellowby::search {

namespace {

// A file's name and size in one number; equal files, equal keys. Files with equal keys are
// compared in full afterwards, so a collision only costs a look.
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

DuplicateGroups findDuplicates(const names::NamesIndexCache& indexes, platform::IMessageBox& box,
    const std::vector<std::string>& catalogs, std::uint64_t minKilobytes)
{
    // First every file's key alone, so that memory holds eight bytes a file; then, in a second
    // pass, only the files whose key came more than once, their texts one after another.
    catalog::UpperCaser upper;
    std::vector<std::uint64_t> keys;
    for (const std::string& catalog : catalogs) {
        (void)forEachCatalogFile(indexes, box, catalog, [&](const CatalogFile& file) {
            const auto kilobytes = kilobytesOf(file.size);
            if (kilobytes && *kilobytes >= minKilobytes && !file.location.empty())
                keys.push_back(keyOf(upper.upper(file.name), *kilobytes));
        });
    }
    std::ranges::sort(keys);
    std::vector<std::uint64_t> repeated;
    for (std::size_t i = 1; i < keys.size(); ++i) {
        if (keys[i] == keys[i - 1] && (repeated.empty() || repeated.back() != keys[i]))
            repeated.push_back(keys[i]);
    }
    keys = {};

    DuplicateGroups result;
    result.catalogs = catalogs;
    // A file of a repeated key: where its upper-cased name, name, location and size lie in texts.
    struct Candidate {
        std::uint64_t key;
        std::uint64_t kilobytes;
        std::uint64_t text;
        std::uint32_t lengths[4];
        std::uint32_t catalog;
        std::uint32_t order; // among the candidates: catalogs in turn, each in document order
    };
    std::vector<Candidate> candidates;
    for (std::uint32_t catalog = 0; catalog < catalogs.size(); ++catalog) {
        (void)forEachCatalogFile(indexes, box, catalogs[catalog], [&](const CatalogFile& file) {
            const auto kilobytes = kilobytesOf(file.size);
            if (!kilobytes || *kilobytes < minKilobytes || file.location.empty())
                return;
            const std::string_view upperName = upper.upper(file.name);
            const std::uint64_t key = keyOf(upperName, *kilobytes);
            if (!std::ranges::binary_search(repeated, key))
                return;
            Candidate candidate { key, *kilobytes, result.texts.size(), {}, catalog,
                static_cast<std::uint32_t>(candidates.size()) };
            const std::string_view parts[] = { upperName, file.name, file.location, file.size };
            for (std::size_t part = 0; part < 4; ++part) {
                candidate.lengths[part] = static_cast<std::uint32_t>(parts[part].size());
                result.texts.append(parts[part]);
            }
            candidates.push_back(candidate);
        });
    }
    const std::string_view texts = result.texts.bytes();
    const auto part = [&](const Candidate& candidate, std::size_t which) {
        std::uint64_t at = candidate.text;
        for (std::size_t before = 0; before < which; ++before)
            at += candidate.lengths[before];
        return texts.substr(at, candidate.lengths[which]);
    };
    // Equal names and sizes side by side, each group in the order the files came.
    std::ranges::sort(candidates, [&](const Candidate& a, const Candidate& b) {
        if (a.key != b.key)
            return a.key < b.key;
        if (a.kilobytes != b.kilobytes)
            return a.kilobytes < b.kilobytes;
        if (const int order = part(a, 0).compare(part(b, 0)); order != 0)
            return order < 0;
        return a.order < b.order;
    });
    for (std::size_t first = 0; first < candidates.size();) {
        std::size_t end = first + 1;
        while (end < candidates.size() && candidates[end].key == candidates[first].key
            && candidates[end].kilobytes == candidates[first].kilobytes
            && part(candidates[end], 0) == part(candidates[first], 0))
            ++end;
        if (end - first >= 2) {
            result.groups.push_back(
                { part(candidates[first], 3), candidates[first].kilobytes, result.copies.size(), end - first });
            for (std::size_t i = first; i < end; ++i)
                result.copies.push_back(
                    { result.catalogs[candidates[i].catalog], part(candidates[i], 1), part(candidates[i], 2) });
        }
        first = end;
    }
    std::ranges::stable_sort(result.groups, [&](const DuplicateGroups::Group& a, const DuplicateGroups::Group& b) {
        if (a.totalKilobytes() != b.totalKilobytes())
            return a.totalKilobytes() > b.totalKilobytes();
        return result.copies[a.firstCopy].name < result.copies[b.firstCopy].name;
    });
    return result;
}

} // namespace mellowby::search
