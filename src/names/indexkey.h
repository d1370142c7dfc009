#pragma once

#include <string>

#include "platform/filesystem.h"

namespace mellowby::names {

// Which catalog file an index is made for: its folder, its name and the version of it.
struct IndexKey {
    std::string dataFolder; // absolute
    std::string fileName; // as it lies on disk
    platform::FileStamp stamp;

    // The bytes of the index's Key section: the folder and the file name, a NUL between them.
    std::string text() const
    {
        std::string text = dataFolder;
        text += '\0';
        text += fileName;
        return text;
    }
};

} // namespace mellowby::names
