#include "search/textcollator.h"

#include <limits>
#include <stdexcept>
#include <string_view>

#include <unicode/uloc.h>
#include <unicode/ustring.h>

namespace mellowby::search {

namespace {

// Windows sorts Chinese (PRC) names by pinyin as GB2312 lists its characters, each under its most
// common reading (长 as cháng), and after Latin letters. ICU's default Chinese collation reads 长
// as zhǎng and puts Chinese before Latin, so a locale that would get it gets ICU's GB2312 order
// instead; characters outside GB2312 follow those inside it.
std::string windowsLikeLocale(const std::string& localeName)
{
    char equivalent[ULOC_FULLNAME_CAPACITY] = {};
    UBool available = false;
    UErrorCode status = U_ZERO_ERROR;
    ucol_getFunctionalEquivalent(equivalent, sizeof equivalent, "collation", localeName.c_str(), &available, &status);
    if (U_FAILURE(status) || std::string_view(equivalent) != "zh")
        return localeName;
    char tailored[ULOC_FULLNAME_CAPACITY] = {};
    localeName.copy(tailored, sizeof tailored - 1);
    uloc_setKeywordValue("collation", "gb2312han", tailored, sizeof tailored, &status);
    return U_SUCCESS(status) ? std::string(tailored) : localeName;
}

} // namespace

TextCollator::TextCollator(const std::string& localeName)
{
    UErrorCode status = U_ZERO_ERROR;
    m_collator = ucol_open(windowsLikeLocale(localeName).c_str(), &status);
    if (U_FAILURE(status) || m_collator == nullptr)
        throw std::runtime_error(std::string("ICU collation unavailable: ") + u_errorName(status));
    // Secondary strength: accents count, letter case does not.
    ucol_setStrength(m_collator, UCOL_SECONDARY);
}

TextCollator::~TextCollator()
{
    ucol_close(m_collator);
}

void TextCollator::appendKey(std::string& keys, std::string_view utf8)
{
    if (utf8.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max() / 4))
        throw std::length_error("text too long to sort");
    int32_t length = 0;
    m_utf16.resize(utf8.size());
    // Most names are ASCII, whose UTF-16 is their bytes widened: ICU's converter is a good part of
    // the time a sort by name takes.
    while (static_cast<std::size_t>(length) < utf8.size() && static_cast<unsigned char>(utf8[length]) < 0x80) {
        m_utf16[length] = static_cast<UChar>(utf8[length]);
        ++length;
    }
    if (static_cast<std::size_t>(length) < utf8.size()) {
        UErrorCode status = U_ZERO_ERROR;
        u_strFromUTF8WithSub(m_utf16.data(), static_cast<int32_t>(m_utf16.size()), &length, utf8.data(),
            static_cast<int32_t>(utf8.size()), 0xFFFD, nullptr, &status);
        if (U_FAILURE(status))
            throw std::runtime_error(std::string("cannot sort text: ") + u_errorName(status));
    }

    // A key is seldom longer than three bytes a character; ICU says how long it is when it is.
    // The room is written by ICU alone, not cleared first.
    const std::size_t start = keys.size();
    std::size_t room = static_cast<std::size_t>(length) * 3 + 16;
    for (;;) {
        int32_t needed = 0;
        keys.resize_and_overwrite(start + room, [&](char* bytes, std::size_t) {
            needed = ucol_getSortKey(m_collator, m_utf16.data(), length, reinterpret_cast<uint8_t*>(bytes + start),
                static_cast<int32_t>(room));
            // The key ends with a NUL that no key holds elsewhere; comparing without it keeps
            // the order, as a key that is a prefix of another sorts first either way.
            const bool fits = needed > 0 && static_cast<std::size_t>(needed) <= room;
            return fits ? start + static_cast<std::size_t>(needed) - 1 : start;
        });
        if (needed <= 0)
            throw std::runtime_error("cannot make a sort key");
        if (static_cast<std::size_t>(needed) <= room)
            return;
        room = static_cast<std::size_t>(needed);
    }
}

} // namespace mellowby::search
