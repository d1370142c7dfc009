#include "verify/catalogchanges.h"

#include "scan/earlierchanges.h"

namespace mellowby::verify {

namespace {

std::string sizeText(const std::optional<std::uint64_t>& size)
{
    return size ? std::to_string(*size) : "?";
}

VerdictRow rowOf(const scan::ChangedFile& file, const std::string& root)
{
    switch (file.what) {
    case scan::ChangedFile::What::Added:
        return rowBelow(file.below, Verdict::Added, root, sizeText(file.size) + " 字节");
    case scan::ChangedFile::What::Modified:
        return rowBelow(file.below, Verdict::Modified, root,
            "大小 " + sizeText(file.earlierSize) + " → " + sizeText(file.size) + " 字节"
                + (file.timeDiffers ? "，修改时间不同" : ""));
    case scan::ChangedFile::What::NotDigested:
        break;
    }
    return rowBelow(file.below, Verdict::Unreadable, root, "未能计算校验和");
}

} // namespace

VerdictCounts catalogChanges(
    const scan::EarlierChanges& changes, const std::string& root, const std::function<void(const VerdictRow&)>& rows)
{
    VerdictCounts counts;
    auto tell = [&](const VerdictRow& row) {
        counts.add(row.verdict);
        if (rows)
            rows(row);
    };
    for (const scan::ChangedFile& file : changes.changed)
        tell(rowOf(file, root));
    counts.add(Verdict::Ok, changes.unchanged); // not told: no row to make
    // The files gone, in the earlier catalog's order.
    for (const std::string& gone : changes.gone)
        tell(rowBelow(gone, Verdict::Missing, root));
    return counts;
}

} // namespace mellowby::verify
