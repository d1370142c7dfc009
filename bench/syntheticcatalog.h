#pragma once

// A catalog pair written directly, as a scan of a tree of the synthetic tree's words and shape
// would write it, for catalogs bigger than any tree the benchmarks care to create.

#include "synthetictree.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "app/codepage936.h"

namespace mellowby::bench {

namespace synthetic {

inline std::string gbk(const std::string& utf8)
{
    return app::encodeCp936(utf8).value_or(utf8);
}

inline std::string escaped(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '\'')
            out += "&apos;";
        else
            out += c;
    }
    return out;
}

} // namespace synthetic

// Writes `name`.xml (files entries: a folder every 40 files, at most eight levels deep) and its
// twin `name`.idx (the same without the files) into data: GB2312 declaration, code page 936, CRLF.
inline void writeSyntheticCatalog(const std::filesystem::path& data, const std::string& name, std::size_t files)
{
    std::ofstream xml(data / (name + ".xml"), std::ios::binary);
    std::ofstream twin(data / (name + ".idx"), std::ios::binary);
    const auto both = [&](const std::string& text) {
        xml << text;
        twin << text;
    };
    both("<?xml version =\"1.0\" encoding =\"GB2312\" standalone=\"yes\" ?>\r\n<Disk title=\"" + name
        + "\" Label=\"/media/" + name + "\">\r\n");
    std::mt19937 random(20041215);
    const std::string date = "CreateDate=\"December 7, 2026\"";
    int depth = 0;
    for (std::size_t i = 0; i < files; ++i) {
        if (i % 40 == 0 && i > 0) {
            // A sibling two times in three, else a level down.
            if (random() % 3 != 2 && depth > 0) {
                both("</Directory>\r\n");
                --depth;
            }
            if (depth < 8) {
                const auto& word = kTreeWords[random() % kTreeWords.size()];
                both("<Directory title=\"" + synthetic::gbk(synthetic::escaped(word)) + " " + std::to_string(i) + "\" "
                    + date + ">\r\n");
                ++depth;
            }
        }
        const auto& word = kTreeWords[random() % kTreeWords.size()];
        const auto& extension = kTreeExtensions[random() % kTreeExtensions.size()];
        xml << "<File " << date << " FileSize=\"" << (random() % 8192) << "KB\">"
            << synthetic::gbk(synthetic::escaped(word)) << "_" << i << extension << "</File>\r\n";
    }
    for (; depth > 0; --depth)
        both("</Directory>\r\n");
    both("</Disk>\r\n");
}

} // namespace mellowby::bench
