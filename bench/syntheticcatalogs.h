#pragma once

// Catalogs for the benchmarks, written by the program's own writer from trees held in memory
// (see tests::CatalogMaker).

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/catalogmaker.h"

namespace mellowby::bench {

// Some day between 1996 and 2004, so that the dates repeat as in a real collection.
inline std::int64_t creationTime(std::size_t n)
{
    return 820454400 + static_cast<std::int64_t>(n % 3000) * 86400 + 3600;
}

// Writes the catalog `name` of the tree described to maker; ends the benchmark when it cannot,
// since its figures would mean nothing.
inline void writeCatalog(tests::CatalogMaker& maker, const std::string& name)
{
    if (!maker.write(name)) {
        std::fprintf(stderr, "could not write the catalog %s\n", name.c_str());
        std::exit(EXIT_FAILURE);
    }
}

} // namespace mellowby::bench
