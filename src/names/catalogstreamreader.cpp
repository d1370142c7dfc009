#include "names/catalogstreamreader.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "catalog/catalogformat.h"
#include "names/namesindexbuilder.h"
#include "names/writerformreader.h"
#include "platform/filesystem.h"
#include "platform/handoffqueue.h"

namespace mellowby::names {

namespace {

// The elements of a catalog as an index builder takes them.
class ElementBuilder {
public:
    explicit ElementBuilder(NamesIndexBuilder& builder)
        : m_builder(builder)
    {
    }

    void disk(std::string_view title, std::string_view label) { m_builder.beginDisk(title, label); }
    void enterDirectory(std::string_view title) { m_builder.enterDirectory(title); }
    void leaveDirectory() { m_builder.leaveDirectory(); }
    void file(std::string_view name, std::string_view size, std::string_view date)
    {
        if (!m_builder.fits())
            return; // nothing more is collected; the walk goes on
        // Files of a folder tend to share a date, and the builder's look-up of a text is dear
        // beside this comparison. Texts are numbered size first, as the builder would.
        const std::uint32_t sizeNumber = m_size.of(m_builder, size);
        m_builder.addFile(name, sizeNumber, m_date.of(m_builder, date));
    }
    bool fits() const { return m_builder.fits(); }

private:
    // The number of the last text asked for.
    struct LastText {
        std::string text;
        std::optional<std::uint32_t> number;

        std::uint32_t of(NamesIndexBuilder& builder, std::string_view value)
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

// The elements of a catalog handed to an index builder as they are read.
class BuilderSink final : public IWriterFormSink {
public:
    explicit BuilderSink(NamesIndexBuilder& builder)
        : m_elements(builder)
    {
    }

    bool disk(const WriterFormTag& tag) override
    {
        if (tag.count < 2)
            return false;
        m_elements.disk(tag.values[catalog::kTitlePosition], tag.values[catalog::kLabelPosition]);
        return true;
    }
    bool enterDirectory(const WriterFormTag& tag) override
    {
        if (tag.count < 1)
            return false;
        m_elements.enterDirectory(tag.values[catalog::kTitlePosition]);
        return true;
    }
    void leaveDirectory() override { m_elements.leaveDirectory(); }
    bool file(const WriterFormTag& tag, std::string_view text) override
    {
        if (tag.count < 2)
            return false;
        m_elements.file(text, tag.values[catalog::kFileSizePosition], tag.values[catalog::kCreateDatePosition]);
        return true;
    }
    bool goesOn() const override { return m_elements.fits(); }

private:
    ElementBuilder m_elements;
};

// The elements of a stretch of a catalog, read on one thread for another to build: each with the
// lengths of its texts, which lie one after another.
struct ReadStretch {
    enum class Kind : std::uint8_t { Disk, EnterDirectory, LeaveDirectory, File };
    struct Element {
        Kind kind;
        std::array<std::uint32_t, 3> lengths;
    };
    std::vector<Element> elements;
    std::string texts;
};

// Elements gathered into stretches and handed over a stretch at a time.
class StretchSink final : public IWriterFormSink {
public:
    StretchSink(platform::HandoffQueue<ReadStretch>& queue, const std::atomic<bool>& builderFits)
        : m_queue(queue)
        , m_builderFits(builderFits)
    {
    }

    bool disk(const WriterFormTag& tag) override
    {
        if (tag.count < 2)
            return false;
        add(ReadStretch::Kind::Disk, tag.values[catalog::kTitlePosition], tag.values[catalog::kLabelPosition]);
        return true;
    }
    bool enterDirectory(const WriterFormTag& tag) override
    {
        if (tag.count < 1)
            return false;
        add(ReadStretch::Kind::EnterDirectory, tag.values[catalog::kTitlePosition]);
        return true;
    }
    void leaveDirectory() override { add(ReadStretch::Kind::LeaveDirectory); }
    bool file(const WriterFormTag& tag, std::string_view text) override
    {
        if (tag.count < 2)
            return false;
        add(ReadStretch::Kind::File, text, tag.values[catalog::kFileSizePosition],
            tag.values[catalog::kCreateDatePosition]);
        return true;
    }
    bool goesOn() const override { return m_handing && m_builderFits.load(std::memory_order_relaxed); }

    // Hands over what is gathered; false when the builder wants no more.
    bool handOver()
    {
        if (!m_handing)
            return false;
        if (!m_stretch.elements.empty()) {
            m_handing = m_queue.push(std::move(m_stretch));
            m_stretch = m_queue.takeBack().value_or(ReadStretch {});
            m_stretch.elements.clear();
            m_stretch.texts.clear();
        }
        return m_handing;
    }

private:
    static constexpr std::size_t kStretchElements = 16384;

    void add(
        ReadStretch::Kind kind, std::string_view first = {}, std::string_view second = {}, std::string_view third = {})
    {
        ReadStretch::Element element { kind, {} };
        std::size_t i = 0;
        for (const std::string_view text : { first, second, third }) {
            element.lengths.at(i++) = static_cast<std::uint32_t>(text.size());
            m_stretch.texts.append(text);
        }
        m_stretch.elements.push_back(element);
        if (m_stretch.elements.size() >= kStretchElements)
            (void)handOver();
    }

    platform::HandoffQueue<ReadStretch>& m_queue;
    const std::atomic<bool>& m_builderFits;
    ReadStretch m_stretch;
    bool m_handing = true;
};

void build(const ReadStretch& stretch, ElementBuilder& elements)
{
    std::size_t at = 0;
    const std::string_view texts = stretch.texts;
    for (const ReadStretch::Element& element : stretch.elements) {
        std::array<std::string_view, 3> values;
        for (std::size_t i = 0; i < values.size(); ++i) {
            values.at(i) = texts.substr(at, element.lengths.at(i));
            at += element.lengths.at(i);
        }
        switch (element.kind) {
        case ReadStretch::Kind::Disk:
            elements.disk(values[0], values[1]);
            break;
        case ReadStretch::Kind::EnterDirectory:
            elements.enterDirectory(values[0]);
            break;
        case ReadStretch::Kind::LeaveDirectory:
            elements.leaveDirectory();
            break;
        case ReadStretch::Kind::File:
            elements.file(values[0], values[1], values[2]);
            break;
        }
    }
}

} // namespace

bool CatalogStreamReader::read(
    const platform::IReadableFile& file, NamesIndexBuilder& builder, std::uint64_t readApartFrom)
{
    if (file.stamp().size < readApartFrom) {
        BuilderSink sink(builder);
        return readWriterForm(file, sink);
    }
    platform::HandoffQueue<ReadStretch> queue(4);
    std::atomic<bool> builderFits = builder.fits();
    bool whole = false;
    // Declared after the queue, so joined before it goes.
    std::jthread reader([&] {
        try {
            StretchSink sink(queue, builderFits);
            whole = readWriterForm(file, sink) && sink.handOver();
            queue.finish();
        } catch (...) {
            queue.finish(std::current_exception());
        }
    });
    ElementBuilder elements(builder);
    try {
        while (auto stretch = queue.pop()) {
            build(*stretch, elements);
            builderFits.store(builder.fits(), std::memory_order_relaxed);
            queue.giveBack(std::move(*stretch));
        }
    } catch (...) {
        queue.stop();
        throw;
    }
    reader.join();
    return whole && builder.fits();
}

} // namespace mellowby::names
