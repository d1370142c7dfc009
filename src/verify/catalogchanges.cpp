#include "verify/catalogchanges.h"

#include "catalogdb/catalogfilefinder.h"
#include "catalogdb/catalogfiles.h"

#include "platform/paths.h"

namespace mellowby::verify {

namespace {

VerdictRow rowOf(const catalogdb::CatalogFile& file, Verdict verdict, const std::string& root, std::string detail = {})
{
    const std::string_view below = file.path;
    return { std::string(below.substr(below.rfind('/') + 1)), verdict, platform::joinPath(root, below.substr(1)),
        std::move(detail) };
}

std::string sizeText(const std::optional<std::uint64_t>& size)
{
    return size ? std::to_string(*size) : "?";
}

} // namespace

VerdictCounts catalogChanges(const catalogdb::CatalogFiles& earlier, const catalogdb::CatalogFiles& now,
    const std::string& root, const std::function<void(const VerdictRow&)>& rows)
{
    VerdictCounts counts;
    auto tell = [&](const VerdictRow& row) {
        counts.add(row.verdict);
        if (row.verdict != Verdict::Ok && rows)
            rows(row);
    };
    catalogdb::CatalogFileFinder before(earlier.files);
    for (const catalogdb::CatalogFile& file : now.files) {
        const catalogdb::CatalogFile* found = before.take(file.path);
        if (found == nullptr) {
            tell(rowOf(file, Verdict::Added, root, sizeText(file.size) + " 字节"));
            continue;
        }
        const catalogdb::CatalogFile& old = *found;
        if (old.size != file.size || old.modifiedNs != file.modifiedNs) {
            tell(rowOf(file, Verdict::Modified, root,
                "大小 " + sizeText(old.size) + " → " + sizeText(file.size) + " 字节"
                    + (old.modifiedNs != file.modifiedNs ? "，修改时间不同" : "")));
        } else if (!old.digest.empty() && file.digest.empty() && !now.algorithm.empty()) {
            tell(rowOf(file, Verdict::Unreadable, root, "未能计算校验和"));
        } else {
            counts.add(Verdict::Ok); // not told: no row to make
        }
    }
    // The files gone, in the earlier catalog's order.
    for (std::size_t i = 0; i < earlier.files.size(); ++i) {
        if (!before.taken(i))
            tell(rowOf(earlier.files[i], Verdict::Missing, root));
    }
    return counts;
}

} // namespace mellowby::verify
