#include "catalog/drivelist.h"

#include <algorithm>

#include "app/showmsg.h"
#include "platform/drives.h"

namespace mellowby::catalog {

namespace {

std::string_view kindText(platform::DriveKind kind)
{
    switch (kind) {
    case platform::DriveKind::Removable:
    case platform::DriveKind::Remote:
        return "(可移动盘)";
    case platform::DriveKind::Fixed:
        return "(本地硬盘)";
    case platform::DriveKind::CdRom:
        return "(光驱)";
    case platform::DriveKind::RamDisk:
        return "(虚拟磁盘)";
    case platform::DriveKind::Unknown:
        break;
    }
    return "(未知设备)";
}

std::string_view trimBlanks(std::string_view text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::size_t findIgnoringCase(std::string_view text, std::string_view needle, std::size_t from)
{
    const auto it = std::search(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(), needle.begin(),
        needle.end(), [](char a, char b) { return lowerAscii(a) == lowerAscii(b); });
    return it == text.end() ? std::string_view::npos : static_cast<std::size_t>(it - text.begin());
}

} // namespace

std::size_t getDriveList(platform::IDrives& drives, DriveList& list)
{
    list = {};
    for (const auto& drive : drives.listDrives()) {
        list.labels.push_back(drive.root + std::string(kindText(drive.kind)));
        if (drive.kind == platform::DriveKind::CdRom)
            list.cdDrives += ";" + drive.root;
    }
    std::string_view cd = trimBlanks(list.cdDrives);
    if (cd.starts_with(';'))
        cd.remove_prefix(1);
    if (cd.ends_with(';'))
        cd.remove_suffix(1);
    list.cdDrives = std::string(cd);
    return list.labels.size();
}

std::string nullListToStr(std::string_view text, std::size_t& count)
{
    count = 0;
    std::string out(trimBlanks(text));
    for (char& c : out) {
        if (c == '\0') {
            c = ';';
            ++count;
        }
    }
    return out;
}

std::string getStrByIndex(std::string_view text, std::ptrdiff_t n, std::string_view separator)
{
    if (text.empty() || n < 1 || separator.empty())
        return {};
    std::size_t fieldStart = 0;
    for (std::ptrdiff_t field = 1;; ++field) {
        const auto end = findIgnoringCase(text, separator, fieldStart);
        if (end == std::string_view::npos)
            return {};
        if (field == n)
            return std::string(text.substr(fieldStart, end - fieldStart));
        fieldStart = end + separator.size();
    }
}

bool ifMediaValided(platform::IDrives& drives, platform::IMessageBox& box, const std::string& path)
{
    if (path.empty())
        return false;
    const auto ready = drives.mediaReady(path);
    if (!ready) {
        app::ShowMsg(box, "查看光驱时出错！", ready.error(), "modFunction-ifMediaValided");
        return false;
    }
    return *ready;
}

} // namespace mellowby::catalog
