#pragma once

#include <string_view>

namespace mellowby::archive {

// Whether a file's name is one archives are given (.zip, .7z, .rar, .tar.gz, .cab, ...), letter
// case ignored, disc images among them. A scan looks inside only the files so named: reading the first bytes of every
// file would cost a seek per file on an optical disc, many times the walk itself. What is inside still decides: a
// "photo.zip" holding a JPEG is a file like any other.
bool namedLikeArchive(std::string_view fileName);

// Whether it is named as disc images are (.iso): such a file is an archive only when its volume
// descriptors, tens of kilobytes in, say it is one.
bool namedLikeDiscImage(std::string_view fileName);

} // namespace mellowby::archive
