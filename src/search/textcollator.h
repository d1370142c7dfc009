#pragma once

#include <string>
#include <string_view>

#include <unicode/ucol.h>

namespace mellowby::search {

// The user's order of texts, as the list control sorts its text columns: ICU's collation for a
// locale (pinyin order for zh_CN), letter case ignored. Texts are compared through sort keys made
// once per text, so that sorting a million rows costs a million keys and then byte comparisons,
// not a collation per comparison.
class TextCollator {
public:
    // Throws when ICU has no collation at all; a locale it does not know gets the root order.
    explicit TextCollator(const std::string& localeName);
    ~TextCollator();
    TextCollator(const TextCollator&) = delete;
    TextCollator& operator=(const TextCollator&) = delete;

    // Appends the sort key of the UTF-8 text (bytes that are not UTF-8 count as U+FFFD): keys
    // compare as byte strings exactly as their texts compare.
    void appendKey(std::string& keys, std::string_view utf8);

private:
    UCollator* m_collator = nullptr;
    std::u16string m_utf16; // reused from text to text
};

} // namespace mellowby::search
