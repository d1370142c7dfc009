#include "search/contentduplicates.h"

#include <algorithm>
#include <functional>
#include <optional>

#include "digest/digestalgorithm.h"
#include "search/catalogdigests.h"
#include "search/catalogfiles.h"
#include "search/duplicatekeys.h"

namespace mellowby::search {

namespace {

using catalogdb::DatabaseState;

// A digest in one number; files with equal keys are compared by their digests afterwards.
std::uint64_t keyOf(const digest::Digest& digest)
{
    const auto bytes = digest.bytes();
    const std::string_view view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return std::hash<std::string_view> {}(view) ^ static_cast<std::uint64_t>(digest.algorithm);
}

// A file of a catalog that takes part: it has a digest and is large enough.
struct DigestedFile {
    const CatalogFile& file;
    std::uint64_t kilobytes;
    digest::Digest digest;
};

struct CatalogDigests {
    DatabaseState state = DatabaseState::Absent; // Belongs only when what was given counts
    bool any = false; // whether any file had a digest, large enough or not
};

// Gives each the files of catalog that take part.
CatalogDigests eachDigestedFile(const names::NamesIndexCache& indexes, platform::IMessageBox& box,
    const std::string& catalog, std::uint64_t minKilobytes, const std::function<void(const DigestedFile&)>& each)
{
    CatalogDigests digests;
    digests.state = forEachFileWithDigest(
        indexes, box, catalog, [&](const CatalogFile& file, const catalogdb::FileRowFacts& row) {
            const auto digest
                = row.digest ? digest::digestOf(row.digest->algorithm, row.digest->bytes.view()) : std::nullopt;
            if (!digest)
                return;
            digests.any = true;
            const auto kilobytes = kilobytesOf(file.size);
            if (kilobytes && *kilobytes >= minKilobytes && !file.location.empty())
                each({ file, *kilobytes, *digest });
        });
    return digests;
}

} // namespace

ContentDuplicates findContentDuplicates(const names::NamesIndexCache& indexes, platform::IMessageBox& box,
    const std::vector<std::string>& catalogs, std::uint64_t minKilobytes)
{
    ContentDuplicates found;
    DuplicateGroups& result = found.groups;
    // As findDuplicates: every file's key alone first, then only the files of keys that repeat,
    // each put straight into the place of its key. The keys of a catalog whose database turns out
    // not to belong once it is read whole are taken back.
    std::vector<std::uint64_t> keys;
    std::vector<bool> counted(catalogs.size(), false);
    for (std::size_t catalog = 0; catalog < catalogs.size(); ++catalog) {
        const std::size_t before = keys.size();
        const CatalogDigests digests = eachDigestedFile(indexes, box, catalogs[catalog], minKilobytes,
            [&](const DigestedFile& file) { keys.push_back(keyOf(file.digest)); });
        counted[catalog] = digests.state == DatabaseState::Belongs;
        if (!counted[catalog])
            keys.resize(before);
        if (!counted[catalog] || !digests.any)
            found.withoutDigests.push_back(catalogs[catalog]);
    }
    const duplicatekeys::RepeatedKeys repeated = duplicatekeys::repeatedOf(std::move(keys));

    result.m_catalogs = catalogs;
    result.m_copies.resize(repeated.firsts.back());
    std::vector<digest::Digest> copyDigests(repeated.firsts.back());
    duplicatekeys::SharedTexts shared;
    duplicatekeys::SharedTexts::Recent folders;
    duplicatekeys::SharedTexts::Recent sizes;
    std::vector<std::size_t> next(repeated.firsts.begin(), repeated.firsts.end() - 1);
    std::vector<std::uint32_t> dropped; // catalogs whose database changed between the two passes
    for (std::uint32_t catalog = 0; catalog < catalogs.size(); ++catalog) {
        if (!counted[catalog])
            continue;
        const CatalogDigests outcome
            = eachDigestedFile(indexes, box, catalogs[catalog], minKilobytes, [&](const DigestedFile& each) {
                  const auto key = repeated.find(keyOf(each.digest));
                  if (!key || next[*key] == repeated.firsts[*key + 1])
                      return;
                  const CatalogFile& file = each.file;
                  const std::string_view folder = file.location.substr(0, file.location.size() - file.name.size());
                  copyDigests[next[*key]] = each.digest;
                  result.m_copies[next[*key]++] = { result.m_texts.size(), static_cast<std::uint32_t>(file.name.size()),
                      catalog, shared.number(folder, folders), shared.number(file.size, sizes) };
                  result.m_texts.append(file.name);
              });
        if (outcome.state != DatabaseState::Belongs)
            dropped.push_back(catalog);
    }
    result.m_shared = shared.take();

    // The files of one key part into groups of one digest, in the order of their digests; a
    // group of one (a collision of keys, or a copy whose catalog was dropped) is listed nowhere.
    struct Member {
        digest::Digest digest;
        DuplicateGroups::CopyRecord copy;
    };
    const auto digestOrder = [](const Member& a, const Member& b) {
        if (a.digest.algorithm != b.digest.algorithm)
            return a.digest.algorithm < b.digest.algorithm;
        return std::ranges::lexicographical_compare(a.digest.bytes(), b.digest.bytes());
    };
    std::vector<Member> members;
    for (std::size_t key = 0; key < repeated.keys.size(); ++key) {
        const std::size_t first = repeated.firsts[key];
        members.clear();
        for (std::size_t i = first; i < next[key]; ++i) {
            if (std::ranges::find(dropped, result.m_copies[i].catalog) == dropped.end())
                members.push_back({ copyDigests[i], result.m_copies[i] });
        }
        std::ranges::stable_sort(members, digestOrder);
        for (std::size_t i = 0; i < members.size(); ++i)
            result.m_copies[first + i] = members[i].copy;
        for (std::size_t group = 0; group < members.size();) {
            std::size_t groupEnd = group + 1;
            while (groupEnd < members.size() && members[groupEnd].digest == members[group].digest)
                ++groupEnd;
            if (groupEnd - group >= 2) {
                const auto& head = members[group].copy;
                result.m_groups.push_back({ kilobytesOf(result.shared(head.size)).value_or(0), first + group,
                    static_cast<std::uint32_t>(groupEnd - group), head.size });
            }
            group = groupEnd;
        }
    }
    result.orderGroups();
    return found;
}

} // namespace mellowby::search
