#include "archive/archivereader.h"

#include <algorithm>
#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <clocale>
#include <string>

#include "archive/membernames.h"
#include "platform/filesystem.h"

namespace mellowby::archive {

namespace {

// Reads start small after each seek and grow while the reading goes on in order: a zip read
// from its central directory seeks to every member's local header and needs a few hundred bytes
// there, while a compressed tar is read whole from start to end.
constexpr std::size_t kFirstReadBlock = 4 * 1024;
constexpr std::size_t kReadBlock = 64 * 1024;

locale_t utf8Locale()
{
    // Made once and kept for the life of the program: every reader of every thread uses it.
    static const locale_t locale = ::newlocale(LC_ALL_MASK, "C.UTF-8", nullptr);
    return locale;
}

// Switches the calling thread to the C.UTF-8 locale for as long as it lives.
class Utf8LocaleScope {
public:
    Utf8LocaleScope()
    {
        if (const locale_t locale = utf8Locale(); locale != nullptr)
            m_previous = ::uselocale(locale);
    }
    ~Utf8LocaleScope()
    {
        if (m_previous != nullptr)
            ::uselocale(m_previous);
    }
    Utf8LocaleScope(const Utf8LocaleScope&) = delete;
    Utf8LocaleScope& operator=(const Utf8LocaleScope&) = delete;

private:
    locale_t m_previous = nullptr;
};

void enableFormats(struct archive* reader, ArchiveKind kind)
{
    switch (kind) {
    case ArchiveKind::Zip:
        // Seekable (the central directory) when the file has one; the local headers otherwise,
        // which still lists the members of a zip whose end was cut off.
        archive_read_support_format_zip(reader);
        break;
    case ArchiveKind::SevenZip:
        archive_read_support_format_7zip(reader);
        break;
    case ArchiveKind::Rar:
        archive_read_support_format_rar(reader);
        break;
    case ArchiveKind::Rar5:
        archive_read_support_format_rar5(reader);
        break;
    case ArchiveKind::Tar:
        archive_read_support_format_tar(reader);
        break;
    case ArchiveKind::Compressed:
        archive_read_support_filter_all(reader);
        archive_read_support_format_tar(reader);
        archive_read_support_format_cpio(reader);
        break;
    case ArchiveKind::Cpio:
        archive_read_support_format_cpio(reader);
        break;
    case ArchiveKind::Cab:
        archive_read_support_format_cab(reader);
        break;
    case ArchiveKind::Iso9660:
        archive_read_support_format_iso9660(reader);
        break;
    case ArchiveKind::None:
    case ArchiveKind::Udf:
        break;
    }
}

} // namespace

// What libarchive's callbacks read from: the file, where they are in it, and the deadline.
struct ArchiveReader::Source {
    Source(const platform::IReadableFile& readFrom, Deadline until)
        : file(readFrom)
        , size(readFrom.stamp().size)
        , deadline(std::move(until))
    {
    }

    const platform::IReadableFile& file;
    std::uint64_t size;
    std::uint64_t position = 0;
    Deadline deadline;
    std::vector<char> block = std::vector<char>(kReadBlock);
    std::size_t nextRead = kFirstReadBlock;
    bool timedOut = false;
    std::optional<platform::Error> readError;

    static la_ssize_t read(struct archive* reader, void* data, const void** buffer)
    {
        auto& source = *static_cast<Source*>(data);
        if (source.deadline.passed()) {
            source.timedOut = true;
            archive_set_error(reader, ETIMEDOUT, "time allowed for the archive has passed");
            return ARCHIVE_FATAL;
        }
        const auto read = source.file.readAt(source.position, std::span<char>(source.block).first(source.nextRead));
        source.nextRead = std::min(source.nextRead * 2, kReadBlock);
        if (!read) {
            source.readError = read.error();
            archive_set_error(reader, read.error().number, "%s", read.error().description.c_str());
            return ARCHIVE_FATAL;
        }
        source.position += *read;
        *buffer = source.block.data();
        return static_cast<la_ssize_t>(*read);
    }

    static la_int64_t skip(struct archive*, void* data, la_int64_t request)
    {
        auto& source = *static_cast<Source*>(data);
        // Never past the end: libarchive then reads what is left and finds the file cut short.
        const auto skipped = std::min<std::uint64_t>(static_cast<std::uint64_t>(std::max<la_int64_t>(request, 0)),
            source.size - std::min(source.position, source.size));
        source.position += skipped;
        return static_cast<la_int64_t>(skipped);
    }

    static la_int64_t seek(struct archive*, void* data, la_int64_t offset, int whence)
    {
        auto& source = *static_cast<Source*>(data);
        la_int64_t base = 0;
        if (whence == SEEK_CUR)
            base = static_cast<la_int64_t>(source.position);
        else if (whence == SEEK_END)
            base = static_cast<la_int64_t>(source.size);
        if ((offset < 0 && base < -offset) || (offset > 0 && base > INT64_MAX - offset))
            return ARCHIVE_FATAL;
        source.position = static_cast<std::uint64_t>(base + offset);
        source.nextRead = kFirstReadBlock;
        return static_cast<la_int64_t>(source.position);
    }
};

ArchiveReader::ArchiveReader(const platform::IReadableFile& file, ArchiveKind kind, Deadline deadline)
    : m_source(std::make_unique<Source>(file, std::move(deadline)))
    , m_archive(archive_read_new())
    , m_kind(kind)
{
    if (m_archive == nullptr)
        return;
    const Utf8LocaleScope locale;
    enableFormats(m_archive, kind);
    archive_read_set_callback_data(m_archive, m_source.get());
    archive_read_set_read_callback(m_archive, &Source::read);
    archive_read_set_skip_callback(m_archive, &Source::skip);
    archive_read_set_seek_callback(m_archive, &Source::seek);
    if (archive_read_open1(m_archive) == ARCHIVE_OK)
        m_opening = Opening::Opened;
    else if (m_source->timedOut)
        m_opening = Opening::TimedOut;
    else if (m_source->readError)
        m_opening = Opening::Failed;
    else
        m_opening = Opening::NotRecognised;
}

ArchiveReader::~ArchiveReader()
{
    if (m_archive != nullptr)
        archive_read_free(m_archive);
}

int ArchiveReader::nextHeader(archive_entry*& entry)
{
    if (m_opening != Opening::Opened)
        return ARCHIVE_FATAL;
    const Utf8LocaleScope locale;
    return archive_read_next_header(m_archive, &entry);
}

bool ArchiveReader::timedOut() const
{
    return m_source->timedOut;
}

const std::optional<platform::Error>& ArchiveReader::readError() const
{
    return m_source->readError;
}

std::string ArchiveReader::errorText() const
{
    const char* text = m_archive != nullptr ? archive_error_string(m_archive) : nullptr;
    return text != nullptr ? text : "";
}

std::string ArchiveReader::nameOf(archive_entry* entry)
{
    const Utf8LocaleScope locale;
    const char* raw = archive_entry_pathname(entry);
    if (m_kind == ArchiveKind::Zip && raw != nullptr)
        return m_zipNames.read(raw);
    if (const char* utf8 = archive_entry_pathname_utf8(entry); utf8 != nullptr)
        return utf8;
    return raw != nullptr ? raw : "";
}

} // namespace mellowby::archive
