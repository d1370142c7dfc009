#include "names/catalogstreamreader.h"

#include <cstdint>
#include <optional>
#include <string>

#include "catalog/catalogformat.h"
#include "names/namesindexbuilder.h"
#include "names/writerformreader.h"

namespace mellowby::names {

namespace {

// The elements of a catalog handed to an index builder as they are read.
class BuilderSink final : public IWriterFormSink {
public:
    explicit BuilderSink(NamesIndexBuilder& builder)
        : m_builder(builder)
    {
    }

    bool disk(const WriterFormTag& tag) override
    {
        if (tag.count < 2)
            return false;
        m_builder.beginDisk(tag.values[catalog::kTitlePosition], tag.values[catalog::kLabelPosition]);
        return true;
    }
    bool enterDirectory(const WriterFormTag& tag) override
    {
        if (tag.count < 1)
            return false;
        m_builder.enterDirectory(tag.values[catalog::kTitlePosition]);
        return true;
    }
    void leaveDirectory() override { m_builder.leaveDirectory(); }
    bool file(const WriterFormTag& tag, std::string_view text) override
    {
        if (tag.count < 2)
            return false;
        if (!m_builder.fits())
            return true; // nothing more is collected; the walk goes on
        // Files of a folder tend to share a date, and the builder's look-up of a text is dear
        // beside this comparison. Texts are numbered size first, as the builder would.
        const std::uint32_t size = m_size.of(m_builder, tag.values[catalog::kFileSizePosition]);
        m_builder.addFile(text, size, m_date.of(m_builder, tag.values[catalog::kCreateDatePosition]));
        return true;
    }
    bool goesOn() const override { return m_builder.fits(); }

private:
    // The number of the last text asked for.
    struct LastText {
        std::string text;
        std::optional<std::uint32_t> number;

        std::uint32_t of(NamesIndexBuilder& builder, const std::string& value)
        {
            if (!number || value != text) {
                number = builder.text(value);
                text = value;
            }
            return *number;
        }
    };

    NamesIndexBuilder& m_builder;
    LastText m_size;
    LastText m_date;
};

} // namespace

bool CatalogStreamReader::read(const platform::IReadableFile& file, NamesIndexBuilder& builder)
{
    BuilderSink sink(builder);
    return readWriterForm(file, sink);
}

} // namespace mellowby::names
