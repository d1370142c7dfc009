#pragma once

#include "catalogdb/streamhash.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mellowby::catalogdb {

// One row of the entries table, as written and as read back (see databaseschema.cpp).
struct EntryRow {
    std::int64_t id = 0;
    std::optional<std::int64_t> parent;
    std::int64_t kind = 0;
    std::string_view name;
    std::optional<std::int64_t> size;
    std::optional<std::int64_t> modifiedNs;
    std::optional<std::int64_t> bornNs;
    std::optional<std::int64_t> dateFrom;
    std::optional<std::int64_t> sizeText;
};

// One row of the archives table.
struct ArchiveRow {
    std::int64_t entry = 0;
    std::int64_t status = 0;
    std::string_view format;
    std::int64_t memberCount = 0;
};

// One row of the members table.
struct MemberRow {
    std::int64_t id = 0;
    std::int64_t archive = 0;
    std::optional<std::int64_t> parent;
    std::int64_t kind = 0;
    std::string_view name;
    std::optional<std::int64_t> size;
    std::optional<std::int64_t> modifiedNs;
    std::optional<std::int64_t> position;
    std::string_view path;
    bool encrypted = false;
};

// One row of the digests table. The digest's bytes are a blob: appended as text, they are hashed
// by their length and bytes all the same.
struct DigestRow {
    std::int64_t entry = 0;
    std::string_view algorithm;
    std::string_view digest;
};

// The hash of the rows of a database, one after another, which the writer records and the reader
// computes again: SQLite keeps no checksums of its own, so a byte of a row changed where the file
// still reads would otherwise pass unseen.
class RowsHash {
public:
    void add(const EntryRow& row);
    void add(const ArchiveRow& row);
    void add(const MemberRow& row);
    void add(const DigestRow& row);
    Hash128 digest() const { return m_hash.digest(); }

private:
    StreamHash m_hash;
    std::string m_row; // the bytes of the row being added, kept for the next
};

} // namespace mellowby::catalogdb
