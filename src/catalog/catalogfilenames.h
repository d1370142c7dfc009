#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace mellowby::catalog {

// The name used when the user gives none.
inline constexpr std::string_view kUnnamedCatalog = "tmp1000";

// A file kept beside a catalog proper, named after it with an extension of its own: written with
// it as one unit, replaced with it, found in any letter case as it is, and left in place when it
// goes to the trash, so that putting it back brings the catalog back whole. None ends in ".xml",
// so no list of catalogs takes one for a catalog. A new catalog's companions are put in place in
// the order listed here, all before the catalog proper, so that it is never found without them.
enum class Companion : std::size_t {
    Twin, // the index twin: the catalog without its File elements, which the tree is filled from
    VolumeRecord, // the record of the volume the catalog was scanned from
    Database, // the exact facts of the catalog's entries, which the format has no room for
    Count
};
inline constexpr std::array<std::string_view, std::to_underlying(Companion::Count)> kCompanionExtensions {
    ".idx",
    ".vol",
    ".sqlite",
};
static_assert(
    std::ranges::none_of(kCompanionExtensions, &std::string_view::empty), "every companion has its extension");
// Every companion, in that order.
inline constexpr auto kCompanions = [] {
    std::array<Companion, std::to_underlying(Companion::Count)> all {};
    for (std::size_t i = 0; i < all.size(); ++i)
        all[i] = static_cast<Companion>(i);
    return all;
}();

// The files a typed catalog name gives and the title its Disk element gets: the catalog proper,
// the name with ".xml" (a name that ends in ".xml" in any case is the catalog's file name as it
// stands), its companions, the name with their extensions, and tmp1000 for an empty name.
struct CatalogFileNames {
    std::string xmlName;
    std::array<std::string, std::to_underlying(Companion::Count)> companionNames;
    std::string diskTitle;

    const std::string& companionName(Companion which) const { return companionNames[std::to_underlying(which)]; }
};
CatalogFileNames catalogFileNames(std::string_view typedName);

// The file of the catalog proper of a name (as typed, as a Disk title reads, or a key).
std::string xmlFileNameOf(std::string_view name);
// The file of a companion of the catalog of a name or of a catalog's file name.
std::string companionFileNameOf(std::string_view name, Companion which);
// Whether a file name ends in ".xml" in any letter case: the catalogs of the Data folder.
bool endsWithXmlAnyCase(std::string_view name);

// The name a catalog gets: the typed one, or tmp1000 when none was typed, so that the catalog
// has a title by which it can be listed, searched and deleted.
std::string effectiveCatalogName(std::string_view typedName);

// The key of a catalog: its name, or its file's name, without a final ".xml" (any case), so that a
// name typed with that ending and the stem of its file are the same catalog.
std::string catalogKeyOf(std::string_view name);

// The name of the catalog whose catalog proper is the file fileName of the Data folder: the file's
// name without ".xml", read as UTF-8 when it is, else as code page 936 (a catalog unpacked from an
// archive made on Chinese Windows keeps its name's bytes). It is the Disk title the catalog's
// maker gave it, by which the tree, the lists and the commands know it.
std::string catalogNameOfFile(std::string_view fileName);

// What two catalog names are the same catalog by: equal keys. Letter case is ignored, and so is
// the difference between the characters that code page 936 and strict GB2312 read from the same
// two bytes (A1A4 "·" and "・", A1AA "—" and "―"): earlier versions of this program wrote the
// second of each pair as those bytes, which are now read as the first, so such a catalog's Disk
// title no longer spells its file's name.
std::string catalogNameKey(std::string_view name);

// Why a name cannot name a catalog of the Data folder (a path made from it would lie outside
// the folder), or nothing when it can. Every path made from a typed name or a Disk title passes
// this check.
std::optional<std::string> catalogNameProblem(std::string_view name);

} // namespace mellowby::catalog
