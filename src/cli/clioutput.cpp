#include "cli/clioutput.h"

#include <cerrno>

#include "platform/bulkoutput.h"
#include "platform/error.h"

namespace mellowby::cli {

CheckedOutput::CheckedOutput(std::FILE* stream)
    : m_stream(stream)
{
    // A search can print millions of rows.
    platform::prepareBulkOutput(stream);
}

void CheckedOutput::write(std::string_view text)
{
    if (m_error != 0 || text.empty())
        return;
    // One thread writes to the stream: no lock per row.
    if (::fwrite_unlocked(text.data(), 1, text.size(), m_stream) != text.size())
        m_error = errno != 0 ? errno : EIO;
}

void CheckedOutput::line(std::string_view text)
{
    write(text);
    write("\n");
}

bool CheckedOutput::finish()
{
    if (m_error == 0 && std::fflush(m_stream) != 0)
        m_error = errno != 0 ? errno : EIO;
    return m_error == 0;
}

std::string CheckedOutput::failure() const
{
    return platform::errorFromErrno(m_error).description;
}

OutputFile::OutputFile(std::string path, std::unique_ptr<platform::IReplacement> file)
    : m_path(std::move(path))
    , m_file(std::move(file))
{
}

std::expected<OutputFile, std::string> OutputFile::begin(platform::IFileSystem& fileSystem, const std::string& path)
{
    if (fileSystem.isDirectory(path))
        return std::unexpected("无法写入“" + path + "”：" + platform::errorFromErrno(EISDIR).description);
    auto file = fileSystem.beginReplacement(path);
    if (!file)
        return std::unexpected("无法写入“" + path + "”：" + file.error().description);
    return OutputFile(path, std::move(*file));
}

void OutputFile::write(std::string_view text)
{
    if (m_failure)
        return;
    constexpr std::size_t kPieceSize = 64 * 1024;
    if (m_pending.empty() && text.size() >= kPieceSize) {
        if (auto written = m_file->write(text); !written)
            m_failure = written.error();
        return;
    }
    m_pending += text;
    if (m_pending.size() >= kPieceSize) {
        if (auto written = m_file->write(m_pending); !written)
            m_failure = written.error();
        m_pending.clear();
    }
}

std::optional<std::string> OutputFile::finish()
{
    if (!m_failure && !m_pending.empty()) {
        if (auto written = m_file->write(m_pending); !written)
            m_failure = written.error();
    }
    if (!m_failure) {
        if (auto committed = m_file->commit(); !committed)
            m_failure = committed.error();
    }
    if (!m_failure)
        return std::nullopt;
    // Dropping the replacement removes what was written; the file stays as it was.
    m_file.reset();
    return "无法写入“" + m_path + "”：" + m_failure->description;
}

} // namespace mellowby::cli
