#pragma once

#include <string>

namespace mellowby::app {

// The locale the user chose for one category, as the C library picks it: LC_ALL, then the
// category's own variable (LC_TIME, LC_COLLATE...), then LANG; without encoding or modifier
// ("zh_CN.UTF-8" gives "zh_CN"); "en_US" for the C and POSIX locales.
std::string userLocaleName(const char* categoryVariable);

} // namespace mellowby::app
