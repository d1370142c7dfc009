#include "archive/memberextraction.h"

#include <archive.h>
#include <archive_entry.h>
#include <array>
#include <cerrno>
#include <exception>

#include <fcntl.h>
#include <unistd.h>

#include "archive/archivereader.h"
#include "archive/archivetexts.h"
#include "archive/membernames.h"
#include "archive/rar5encryption.h"
#include "platform/filesystem.h"
#include "platform/linux/filedescriptor.h"
#include "platform/linux/linuxfilesystem.h"
#include "platform/paths.h"

namespace mellowby::archive {

namespace {

constexpr unsigned kMaxNameAttempts = 1000;

platform::Error textError(std::string_view text, int number = 0)
{
    return { number, std::string(text) };
}

// A new file in the folder open as directory, under name or a numbered form of it.
std::expected<std::pair<platform::FileDescriptor, std::string>, platform::Error> createUniqueFile(
    const platform::FileDescriptor& directory, const std::string& name)
{
    for (unsigned attempt = 1; attempt <= kMaxNameAttempts; ++attempt) {
        std::string candidate = attempt == 1 ? name : numberedFileName(name, attempt);
        auto file = platform::FileDescriptor::openAt(
            directory.get(), candidate, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (file)
            return std::pair { std::move(*file), std::move(candidate) };
        if (file.error().number != EEXIST)
            return std::unexpected(file.error());
    }
    return std::unexpected(platform::errorFromErrno(EEXIST));
}

bool isEncryptedRar5Member(const platform::IReadableFile& file, std::uint64_t index)
{
    const auto encrypted = rar5EncryptedMembers(file, static_cast<std::size_t>(index) + 1, Deadline());
    return index < encrypted.size() && encrypted[static_cast<std::size_t>(index)];
}

// Copies the data of the entry the reader stands at into file, at most maxBytes of it.
std::expected<void, platform::Error> copyData(
    ArchiveReader& reader, const platform::FileDescriptor& file, std::uint64_t maxBytes)
{
    std::array<char, 64 * 1024> block {};
    std::uint64_t written = 0;
    for (;;) {
        const la_ssize_t read = archive_read_data(reader.get(), block.data(), block.size());
        if (read == 0)
            return {};
        if (read < 0) {
            if (reader.readError())
                return std::unexpected(*reader.readError());
            return std::unexpected(textError(kMemberDamagedText));
        }
        written += static_cast<std::uint64_t>(read);
        if (written > maxBytes)
            return std::unexpected(textError(kMemberTooLargeText, EFBIG));
        if (auto done = file.writeAll(std::string_view(block.data(), static_cast<std::size_t>(read))); !done)
            return std::unexpected(done.error());
    }
}

std::expected<std::string, platform::Error> extract(
    const std::string& archivePath, const MemberIdentity& member, const std::string& folder, std::uint64_t maxBytes)
{
    platform::LinuxFileSystem fileSystem;
    const auto file = fileSystem.openForReading(archivePath);
    if (!file)
        return std::unexpected(file.error());
    const Sniffed sniffed = sniffFile(**file);
    if (sniffed.kind == ArchiveKind::None || sniffed.kind == ArchiveKind::Udf || sniffed.namesEncrypted)
        return std::unexpected(textError(kMemberMissingText));

    ArchiveReader reader(**file, sniffed.kind, Deadline());
    if (reader.opening() != ArchiveReader::Opening::Opened)
        return std::unexpected(reader.readError() ? *reader.readError() : textError(kMemberDamagedText));
    archive_entry* entry = nullptr;
    for (std::uint64_t index = 0; index <= member.index; ++index) {
        const int result = reader.nextHeader(entry);
        if (result == ARCHIVE_EOF)
            return std::unexpected(textError(kMemberMissingText));
        if (result != ARCHIVE_OK && result != ARCHIVE_WARN)
            return std::unexpected(reader.readError() ? *reader.readError() : textError(kMemberDamagedText));
    }
    const std::string name = reader.nameOf(entry);
    if (name != member.name)
        return std::unexpected(textError(kMemberMissingText));
    if (archive_entry_filetype(entry) == AE_IFDIR)
        return std::unexpected(textError(kMemberIsFolderText));
    if (archive_entry_is_data_encrypted(entry) > 0
        || (sniffed.kind == ArchiveKind::Rar5 && isEncryptedRar5Member(**file, member.index)))
        return std::unexpected(textError(kMemberEncryptedText));
    if (archive_entry_size_is_set(entry) != 0 && archive_entry_size(entry) > 0
        && static_cast<std::uint64_t>(archive_entry_size(entry)) > maxBytes)
        return std::unexpected(textError(kMemberTooLargeText, EFBIG));

    // The folder is opened once, without following a link put in its place, and the file is
    // made in it by name: no component of the member's name is ever a path.
    auto directory = platform::FileDescriptor::open(folder, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (!directory)
        return std::unexpected(directory.error());
    auto created = createUniqueFile(*directory, safeFileName(name));
    if (!created)
        return std::unexpected(created.error());
    auto& [output, fileName] = *created;
    auto copied = copyData(reader, output, maxBytes);
    if (copied)
        copied = output.close();
    if (!copied) {
        ::unlinkat(directory->get(), fileName.c_str(), 0);
        return std::unexpected(copied.error());
    }
    return platform::joinPath(folder, fileName);
}

} // namespace

std::expected<std::string, platform::Error> extractMember(
    const std::string& archivePath, const MemberIdentity& member, const std::string& folder, std::uint64_t maxBytes)
{
    try {
        return extract(archivePath, member, folder, maxBytes);
    } catch (const std::exception&) {
        return std::unexpected(platform::errorFromErrno(ENOMEM));
    }
}

} // namespace mellowby::archive
