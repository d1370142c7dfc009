#pragma once

#include <string_view>

#include "archive/archivelisting.h"

namespace mellowby::archive {

// Every word about archives and disc images that the user reads, in one place.

// The status of an archive as shown beside its members: both kinds of encryption read 已加密,
// whether the names could be read is told by the members being there or not.
std::string_view statusText(ArchiveStatus status);

// A disc image that carries only UDF, which libarchive cannot read.
inline constexpr std::string_view kUdfImageText = "此光盘映像是 UDF 格式，无法读取。";
// An image file whose contents are no disc that can be read.
inline constexpr std::string_view kNotADiscImageText = "这个文件不是可以读取的光盘映像。";
// An image file cut short or damaged, which cannot be catalogued whole.
inline constexpr std::string_view kDamagedImageText = "光盘映像已损坏或不完整，无法读取。";
// A file of a catalogued image that the image no longer holds.
inline constexpr std::string_view kImageFileMissingText = "光盘映像中已经没有这个文件，可能光盘映像已被修改。";
// A file opened as an archive that turned out to be none.
inline constexpr std::string_view kNotAnArchiveText = "这个文件不是压缩文件。";

// Why a member could not be taken out of its archive to be opened.
inline constexpr std::string_view kMemberMissingText = "压缩文件中已经没有这个文件，可能压缩文件已被修改。";
inline constexpr std::string_view kMemberEncryptedText = "这个文件已加密，无法打开。";
inline constexpr std::string_view kMemberTooLargeText = "这个文件太大，无法从压缩文件中取出。";
inline constexpr std::string_view kMemberDamagedText = "压缩文件已损坏，无法取出这个文件。";
inline constexpr std::string_view kMemberIsFolderText = "这是一个文件夹，不能作为文件打开。";

} // namespace mellowby::archive
