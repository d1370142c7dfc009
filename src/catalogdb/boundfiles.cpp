#include "catalogdb/boundfiles.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <span>
#include <sqlite3.h>

#include "platform/filesystem.h"

namespace mellowby::catalogdb {

struct BoundFile::Target {
    platform::IReplacement* replacement = nullptr; // being written
    const platform::IReadableFile* readable = nullptr; // being read
    std::uint64_t size = 0; // of what was written
    std::optional<platform::Error> failure;

    void remember(const platform::Error& error)
    {
        if (!failure)
            failure = error;
    }
};

namespace {

// The files SQLite may open now, by name.
class Registry {
public:
    std::string add(BoundFile::Target* target)
    {
        const std::lock_guard lock(m_mutex);
        std::string name = "mellowby-bound-" + std::to_string(++m_sequence);
        m_targets.emplace(name, target);
        return name;
    }
    void remove(const std::string& name)
    {
        const std::lock_guard lock(m_mutex);
        m_targets.erase(name);
    }
    BoundFile::Target* find(const char* name)
    {
        const std::lock_guard lock(m_mutex);
        const auto found = m_targets.find(name);
        return found == m_targets.end() ? nullptr : found->second;
    }

private:
    std::mutex m_mutex;
    std::uint64_t m_sequence = 0;
    std::map<std::string, BoundFile::Target*, std::less<>> m_targets;
};

Registry& registry()
{
    static Registry files;
    return files;
}

// What SQLite holds for an open file: its own part first, as it wants.
struct OpenFile {
    sqlite3_file base;
    BoundFile::Target* target;
};

BoundFile::Target& targetOf(sqlite3_file* file)
{
    return *reinterpret_cast<OpenFile*>(file)->target;
}

int closeFile(sqlite3_file*)
{
    return SQLITE_OK;
}

int readFile(sqlite3_file* file, void* into, int amount, sqlite3_int64 offset)
{
    BoundFile::Target& target = targetOf(file);
    const std::span<char> bytes(static_cast<char*>(into), static_cast<std::size_t>(amount));
    const auto offsetBytes = static_cast<std::uint64_t>(offset);
    const auto read = target.replacement != nullptr ? target.replacement->readAt(offsetBytes, bytes)
                                                    : target.readable->readAt(offsetBytes, bytes);
    if (!read) {
        target.remember(read.error());
        return SQLITE_IOERR_READ;
    }
    if (*read < bytes.size()) {
        // SQLite wants the rest zeroed.
        std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(*read), bytes.end(), '\0');
        return SQLITE_IOERR_SHORT_READ;
    }
    return SQLITE_OK;
}

int writeFile(sqlite3_file* file, const void* from, int amount, sqlite3_int64 offset)
{
    BoundFile::Target& target = targetOf(file);
    if (target.replacement == nullptr)
        return SQLITE_READONLY;
    const auto offsetBytes = static_cast<std::uint64_t>(offset);
    const auto written = target.replacement->writeAt(
        offsetBytes, std::string_view(static_cast<const char*>(from), static_cast<std::size_t>(amount)));
    if (!written) {
        target.remember(written.error());
        return written.error().number == ENOSPC ? SQLITE_FULL : SQLITE_IOERR_WRITE;
    }
    target.size = std::max(target.size, offsetBytes + static_cast<std::uint64_t>(amount));
    return SQLITE_OK;
}

// A database written once, by inserting, never shrinks, and one being read is not changed.
int truncateFile(sqlite3_file* file, sqlite3_int64 size)
{
    const BoundFile::Target& target = targetOf(file);
    return target.replacement != nullptr && static_cast<std::uint64_t>(size) >= target.size ? SQLITE_OK
                                                                                            : SQLITE_IOERR_TRUNCATE;
}

// The replacement is made durable as a whole when it is finished, with its catalog.
int syncFile(sqlite3_file*, int)
{
    return SQLITE_OK;
}

int fileSize(sqlite3_file* file, sqlite3_int64* size)
{
    const BoundFile::Target& target = targetOf(file);
    *size = static_cast<sqlite3_int64>(target.replacement != nullptr ? target.size : target.readable->stamp().size);
    return SQLITE_OK;
}

// Nobody else ever opens a bound file: a database is only replaced whole, never changed in place.
int lockFile(sqlite3_file*, int)
{
    return SQLITE_OK;
}

int checkReservedLock(sqlite3_file*, int* reserved)
{
    *reserved = 0;
    return SQLITE_OK;
}

int fileControl(sqlite3_file*, int, void*)
{
    return SQLITE_NOTFOUND;
}

int sectorSize(sqlite3_file*)
{
    return 4096;
}

int deviceCharacteristics(sqlite3_file*)
{
    return 0;
}

const sqlite3_io_methods kMethods = {
    1, // iVersion
    closeFile,
    readFile,
    writeFile,
    truncateFile,
    syncFile,
    fileSize,
    lockFile,
    lockFile,
    checkReservedLock,
    fileControl,
    sectorSize,
    deviceCharacteristics,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

sqlite3_vfs* systemVfs()
{
    static sqlite3_vfs* const system = sqlite3_vfs_find(nullptr);
    return system;
}

// Only the database itself: with no journal and temporary tables in memory, SQLite asks for
// nothing else.
int openFile(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* outFlags)
{
    file->pMethods = nullptr;
    BoundFile::Target* target = name != nullptr ? registry().find(name) : nullptr;
    if (target == nullptr || (flags & SQLITE_OPEN_MAIN_DB) == 0)
        return SQLITE_CANTOPEN;
    auto* open = reinterpret_cast<OpenFile*>(file);
    open->target = target;
    open->base.pMethods = &kMethods;
    if (outFlags != nullptr)
        *outFlags = target->replacement != nullptr ? flags : (flags & ~SQLITE_OPEN_READWRITE) | SQLITE_OPEN_READONLY;
    return SQLITE_OK;
}

int deleteFile(sqlite3_vfs*, const char*, int)
{
    return SQLITE_IOERR_DELETE_NOENT;
}

// No journal, no write-ahead log: nothing but the bound files exists.
int accessFile(sqlite3_vfs*, const char*, int, int* result)
{
    *result = 0;
    return SQLITE_OK;
}

int fullPathname(sqlite3_vfs*, const char* name, int size, char* out)
{
    const std::size_t length = std::strlen(name);
    if (length + 1 > static_cast<std::size_t>(size))
        return SQLITE_CANTOPEN;
    std::memcpy(out, name, length + 1);
    return SQLITE_OK;
}

int randomness(sqlite3_vfs*, int size, char* out)
{
    return systemVfs()->xRandomness(systemVfs(), size, out);
}

int sleepFor(sqlite3_vfs*, int microseconds)
{
    return systemVfs()->xSleep(systemVfs(), microseconds);
}

int currentTime(sqlite3_vfs*, double* now)
{
    return systemVfs()->xCurrentTime(systemVfs(), now);
}

int lastError(sqlite3_vfs*, int, char*)
{
    return 0;
}

void registerVfs()
{
    static sqlite3_vfs vfs = {
        1, // iVersion
        sizeof(OpenFile),
        512, // mxPathname
        nullptr,
        kBoundFilesVfs,
        nullptr,
        openFile,
        deleteFile,
        accessFile,
        fullPathname,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        randomness,
        sleepFor,
        currentTime,
        lastError,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
    };
    static std::once_flag once;
    std::call_once(once, [] {
        // Every allocation SQLite makes would otherwise be counted under one lock shared by all
        // connections, the readers' and the writers' threads alike; nothing here asks for the counts.
        // Refused, and harmless, once SQLite has been started by someone else.
        (void)sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
        sqlite3_vfs_register(&vfs, 0);
    });
}

} // namespace

BoundFile::BoundFile(platform::IReplacement& file)
    : m_target(std::make_unique<Target>())
{
    registerVfs();
    m_target->replacement = &file;
    m_name = registry().add(m_target.get());
}

BoundFile::BoundFile(const platform::IReadableFile& file)
    : m_target(std::make_unique<Target>())
{
    registerVfs();
    m_target->readable = &file;
    m_name = registry().add(m_target.get());
}

BoundFile::~BoundFile()
{
    registry().remove(m_name);
}

std::optional<platform::Error> BoundFile::failure() const
{
    return m_target->failure;
}

} // namespace mellowby::catalogdb
