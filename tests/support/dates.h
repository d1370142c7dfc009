#pragma once

#include <cstdint>

namespace mellowby::tests {

// The creation time of the files the tests make up: 01:00 UTC on 15 March 2004, which a catalog
// writes as 2004年3月15日. An hour past midnight, so that a date cut to its day is seen to be cut.
inline constexpr std::int64_t kMarch15 = 1079308800 + 3600;

} // namespace mellowby::tests
