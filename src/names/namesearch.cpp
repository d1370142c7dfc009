// The search of a names index: NamesIndex::findNames, with the pass over the names it makes and
// the thread it makes it on when the names are many.

#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
#include <thread>
#include <utility>

#include "catalog/namebytes.h"
#include "names/indexblockreader.h"
#include "names/namesindex.h"
#include "names/namesindexformat.h"
#include "platform/handoffqueue.h"

namespace mellowby::names {

namespace fmt = indexformat;

namespace {

// How many blocks of the names a search reads at a time.
constexpr std::uint64_t kSearchBlocks = 64;
constexpr std::size_t kBatchBytes = kSearchBlocks * fmt::kBlockSize;
// Room kept for the name a batch cuts, beyond which it grows.
constexpr std::size_t kCarriedRoom = 4096;
// From how many bytes of names on the names are searched on a thread of their own.
constexpr std::uint64_t kSearchApartFrom = 4 * kBatchBytes;

// The folder of each file, from the runs of files that lie in one folder, walked forward: the
// files asked about come in ascending order.
class FolderRuns {
public:
    FolderRuns(IndexBlockReader& reader, std::uint64_t directories)
        : m_reader(reader)
        , m_directories(directories)
        , m_runs(reader.length(fmt::DirectoryRuns) / sizeof(fmt::RunRecord))
        , m_next(runAt(0))
    {
    }

    std::uint32_t folderOf(std::uint64_t number)
    {
        while (m_next.firstFile <= number) {
            if (m_next.firstFile < m_current.firstFile || m_next.directory >= m_directories
                || (m_current.directory == fmt::kNone && m_next.firstFile != 0))
                throw IndexDamaged {};
            m_current = m_next;
            m_next = runAt(++m_run);
        }
        if (m_current.directory == fmt::kNone)
            throw IndexDamaged {};
        return m_current.directory;
    }

private:
    fmt::RunRecord runAt(std::uint64_t run)
    {
        return run < m_runs ? m_reader.record<fmt::RunRecord>(fmt::DirectoryRuns, run)
                            : fmt::RunRecord { fmt::kNone, 0 };
    }

    IndexBlockReader& m_reader;
    std::uint64_t m_directories;
    std::uint64_t m_runs;
    std::uint64_t m_run = 0;
    fmt::RunRecord m_current { 0, fmt::kNone };
    fmt::RunRecord m_next;
};

// The files whose names upper-case otherwise than letter by letter. The pass over the names skips
// them; their upper-cased forms, listed apart, decide instead.
class NamesListedApart {
public:
    explicit NamesListedApart(IndexBlockReader& reader)
        : m_reader(reader)
        , m_count(reader.length(fmt::ExtraNumbers) / sizeof(std::uint32_t))
        , m_number(m_count > 0 ? reader.record<std::uint32_t>(fmt::ExtraNumbers, 0) : fmt::kNone)
    {
    }

    // Those whose upper-cased forms hold needle, ascending. Few, and short: read whole.
    std::vector<std::uint32_t> holding(std::string_view needle) const
    {
        const std::string_view names = m_reader.bytes(fmt::ExtraUpperNames, 0, m_reader.length(fmt::ExtraUpperNames));
        std::vector<std::uint32_t> hits;
        std::uint64_t index = 0;
        std::size_t start = 0;
        while (start < names.size()) {
            const std::size_t end = names.find('\0', start);
            if (end == std::string_view::npos || index >= m_count)
                throw IndexDamaged {};
            if (names.substr(start, end - start).find(needle) != std::string_view::npos)
                hits.push_back(m_reader.record<std::uint32_t>(fmt::ExtraNumbers, index));
            ++index;
            start = end + 1;
        }
        if (index != m_count)
            throw IndexDamaged {};
        return hits;
    }

    // Whether file number is one of them; the numbers asked about ascend.
    bool lists(std::uint64_t number)
    {
        while (m_number < number) {
            if (++m_next < m_count) {
                const auto following = m_reader.record<std::uint32_t>(fmt::ExtraNumbers, m_next);
                if (following <= m_number)
                    throw IndexDamaged {};
                m_number = following;
            } else {
                m_number = fmt::kNone;
            }
        }
        return m_number == number;
    }

private:
    IndexBlockReader& m_reader;
    std::uint64_t m_count;
    std::uint64_t m_next = 0;
    std::uint64_t m_number;
};

// The hits of one batch, with their size and date texts, given to the caller together.
class HitBatch {
public:
    HitBatch(const NamesIndex& index, const NamesIndex::FoundHits& found, NamesIndex::HitTexts texts)
        : m_index(index)
        , m_found(found)
        , m_numbersOnly(texts == NamesIndex::HitTexts::NumbersOnly)
    {
    }

    // A hit whose name stays where it is until the batch is given.
    void add(std::uint32_t number, std::uint32_t directory, std::string_view name)
    {
        if (m_numbersOnly) {
            // The texts are read all the same, unkept: damage in their blocks is found now, while
            // the catalog file can still give the rest, and not when the rows are shown.
            (void)m_index.textsOf(number);
            m_hits.push_back({ number, directory, {}, {}, {} });
            m_textSizes.emplace_back(0, 0);
            return;
        }
        const NamesIndex::FileView texts = m_index.textsOf(number);
        m_texts.append(texts.size).append(texts.date);
        m_textSizes.emplace_back(texts.size.size(), texts.date.size());
        m_hits.push_back({ number, directory, name, {}, {} });
    }
    // A hit whose name the batch keeps.
    void addKeeping(std::uint32_t number, std::uint32_t directory, const std::string& name)
    {
        add(number, directory, m_numbersOnly ? std::string_view() : m_keptNames.emplace_back(name));
    }

    bool empty() const { return m_hits.empty(); }

    // Gives the hits and empties the batch; false when the caller wants no more.
    bool give()
    {
        std::size_t at = 0;
        for (std::size_t i = 0; i < m_hits.size(); ++i) {
            m_hits[i].size = std::string_view(m_texts).substr(at, m_textSizes[i].first);
            at += m_textSizes[i].first;
            m_hits[i].date = std::string_view(m_texts).substr(at, m_textSizes[i].second);
            at += m_textSizes[i].second;
        }
        const bool more = m_found(m_hits);
        m_hits.clear();
        m_keptNames.clear();
        m_texts.clear();
        m_textSizes.clear();
        return more;
    }

private:
    const NamesIndex& m_index;
    const NamesIndex::FoundHits& m_found;
    bool m_numbersOnly;
    std::vector<NamesIndex::Hit> m_hits;
    std::deque<std::string> m_keptNames;
    // The size and date texts of the hits, one after another, and their lengths.
    std::string m_texts;
    std::vector<std::pair<std::size_t, std::size_t>> m_textSizes;
};

// The start of the name that holds at, in names that each end in a NUL.
const char* startOfName(const char* begin, const char* at)
{
    while (at != begin && at[-1] != '\0')
        --at;
    return at;
}

// One pass over the names of an index for the files whose names hold a needle (upper-cased, no
// NUL): the names are read a batch of blocks at a time, upper-cased in ASCII and searched. The
// names listed apart are searched in their upper-cased forms and take their places among the
// others, so the hits come in document order, one per file however often its name holds the
// needle.
class NameScan {
public:
    NameScan(const NamesIndex& index, IndexBlockReader& reader, std::string_view needle,
        const NamesIndex::FoundHits& found, NamesIndex::HitTexts texts)
        : m_reader(reader)
        , m_needle(needle)
        , m_files(index.fileCount())
        , m_folders(reader, index.directoryCount())
        , m_listedApart(reader)
        , m_listedApartHits(m_listedApart.holding(needle))
        , m_batch(index, found, texts)
    {
    }

    void run()
    {
        const std::uint64_t blocks = blocksOf(m_reader.length(fmt::Names));
        for (std::uint64_t block = 0; block < blocks; block += kSearchBlocks) {
            const std::size_t size = readBlocks(block, std::min(kSearchBlocks, blocks - block));
            const char* const begin = m_work.get();
            const char* const filled = begin + size;
            // Whole names only: up to the last NUL. The rest is carried over to the next batch.
            const char* end = filled;
            while (end != begin && end[-1] != '\0')
                --end;
            catalog::copyUpperAscii(begin, end, m_upper.get());
            searchWholeNames(m_upper.get() + (end - begin));
            // Given empty too: a caller may want to know the search goes on.
            if (!m_batch.give())
                return;
            m_carried = static_cast<std::size_t>(filled - end);
            if (m_carried > fmt::kMaxNameBytes)
                throw IndexDamaged {};
            std::memmove(m_work.get(), end, m_carried);
        }
        if (m_carried != 0 || m_number != m_files)
            throw IndexDamaged {};
        addListedApartBefore(m_files);
        if (!m_batch.empty())
            (void)m_batch.give();
    }

private:
    // Reads count blocks from block after what is carried over; the bytes now at hand.
    std::size_t readBlocks(std::uint64_t block, std::uint64_t count)
    {
        if (m_room < m_carried + kBatchBytes) {
            // Room for a batch after the longest name the batches cut, most of the time.
            m_room = std::max(m_carried, kCarriedRoom) + kBatchBytes;
            auto grown = std::make_unique_for_overwrite<char[]>(m_room);
            if (m_carried > 0)
                std::memcpy(grown.get(), m_work.get(), m_carried);
            m_work = std::move(grown);
            m_upper = std::make_unique_for_overwrite<char[]>(m_room);
        }
        return m_carried + m_reader.read(fmt::Names, block, count, m_work.get() + m_carried);
    }

    // Finds the hits among the whole names upper-cased up to upperEnd, counting the names.
    void searchWholeNames(const char* const upperEnd)
    {
        const char* const upperBegin = m_upper.get();
        const char* position = upperBegin;
        while (position != upperEnd) {
            const char* const at = catalog::findBytes(position, upperEnd, m_needle);
            if (at == nullptr) {
                m_number += catalog::countNuls(position, upperEnd);
                return;
            }
            m_number += catalog::countNuls(position, at);
            if (m_number >= m_files)
                throw IndexDamaged {};
            const char* const nameStart = startOfName(upperBegin, at);
            const char* const nameEnd
                = static_cast<const char*>(std::memchr(at, '\0', static_cast<std::size_t>(upperEnd - at)));
            // A name listed apart is left to its upper-cased form.
            if (!m_listedApart.lists(m_number)) {
                addListedApartBefore(m_number);
                const std::uint32_t directory = m_folders.folderOf(m_number);
                m_batch.add(static_cast<std::uint32_t>(m_number), directory,
                    std::string_view(
                        m_work.get() + (nameStart - upperBegin), static_cast<std::size_t>(nameEnd - nameStart)));
            }
            position = nameEnd + 1;
            ++m_number;
        }
    }

    // Adds the names listed apart that hold the needle and come before file number.
    void addListedApartBefore(std::uint64_t number)
    {
        for (; m_nextListedApartHit < m_listedApartHits.size() && m_listedApartHits[m_nextListedApartHit] < number;
             ++m_nextListedApartHit) {
            const std::uint32_t hit = m_listedApartHits[m_nextListedApartHit];
            if (hit >= m_files)
                throw IndexDamaged {};
            const std::uint32_t directory = m_folders.folderOf(hit);
            m_reader.copyTerminated(fmt::Names, m_reader.record<std::uint32_t>(fmt::NameOffsets, hit), m_name);
            m_batch.addKeeping(hit, directory, m_name);
        }
    }

    IndexBlockReader& m_reader;
    std::string_view m_needle;
    std::uint64_t m_files;
    FolderRuns m_folders;
    NamesListedApart m_listedApart;
    std::vector<std::uint32_t> m_listedApartHits;
    std::size_t m_nextListedApartHit = 0;
    HitBatch m_batch;
    std::uint64_t m_number = 0; // of the next name
    // Blocks as read, after what is left of the name the previous batch cut, and the same
    // upper-cased in ASCII, where the needle is looked for.
    std::size_t m_room = 0;
    std::unique_ptr<char[]> m_work;
    std::unique_ptr<char[]> m_upper;
    std::size_t m_carried = 0;
    std::string m_name; // of a hit listed apart, as read
};

// A batch of hits handed from the searching thread, with its texts, which the views of the hits
// point into once it has arrived.
struct HandedHits {
    std::vector<NamesIndex::Hit> hits;
    std::string texts;
};

// Hits gathered from several batches and handed to the other thread together: a hand-over may
// have to wake that thread, which costs more than making the rows of a batch of few hits. Hits
// wait no longer than a few milliseconds, so that the first rows still show at once.
class HitHandOver {
public:
    explicit HitHandOver(platform::HandoffQueue<HandedHits>& queue)
        : m_queue(queue)
    {
    }

    // False when the other thread wants no more.
    bool add(std::span<const NamesIndex::Hit> hits)
    {
        // Given after every stretch of names, hits or not: hits found early wait no longer when
        // no more follow.
        if (hits.empty())
            return m_batch.hits.empty() || std::chrono::steady_clock::now() - m_since < kLongest || handOver();
        if (m_batch.hits.empty()) {
            m_batch = m_queue.takeBack().value_or(HandedHits {});
            m_batch.hits.clear();
            m_batch.texts.clear();
            m_since = std::chrono::steady_clock::now();
        }
        m_batch.hits.insert(m_batch.hits.end(), hits.begin(), hits.end());
        for (const NamesIndex::Hit& hit : hits)
            m_batch.texts.append(hit.name).append(hit.size).append(hit.date);
        if (m_batch.hits.size() < kHits && std::chrono::steady_clock::now() - m_since < kLongest)
            return true;
        return handOver();
    }
    bool handOver()
    {
        if (m_batch.hits.empty())
            return true;
        const bool more = m_queue.push(std::move(m_batch));
        m_batch = {};
        return more;
    }

private:
    static constexpr std::size_t kHits = 16384;
    static constexpr std::chrono::milliseconds kLongest { 5 };

    platform::HandoffQueue<HandedHits>& m_queue;
    HandedHits m_batch;
    std::chrono::steady_clock::time_point m_since;
};

void pointIntoTexts(HandedHits& batch)
{
    std::size_t at = 0;
    const std::string_view texts = batch.texts;
    for (NamesIndex::Hit& hit : batch.hits) {
        for (std::string_view* text : { &hit.name, &hit.size, &hit.date }) {
            const std::size_t size = text->size();
            *text = texts.substr(at, size);
            at += size;
        }
    }
}

} // namespace

void NamesIndex::findNames(std::string_view needle, const FoundHits& found, HitTexts texts) const
{
    if (needle.find('\0') != std::string_view::npos)
        return;
    if (m_reader->length(fmt::Names) < kSearchApartFrom) {
        NameScan(*this, *m_reader, needle, found, texts).run();
        return;
    }
    // Names are read and searched on a thread of their own while this one makes rows of the hits.
    const NamesIndex scanning = forAnotherThread();
    platform::HandoffQueue<HandedHits> queue(4);
    std::thread worker([&] {
        try {
            HitHandOver handing(queue);
            NameScan(
                scanning, *scanning.m_reader, needle, [&](std::span<const Hit> hits) { return handing.add(hits); },
                texts)
                .run();
            (void)handing.handOver();
            queue.finish();
        } catch (...) {
            queue.finish(std::current_exception());
        }
    });
    try {
        while (auto batch = queue.pop()) {
            pointIntoTexts(*batch);
            if (!found(batch->hits))
                break;
            queue.giveBack(std::move(*batch));
        }
    } catch (...) {
        queue.stop();
        worker.join();
        throw;
    }
    queue.stop();
    worker.join();
}

} // namespace mellowby::names
