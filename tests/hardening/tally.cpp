#include "hardening.h"

#include <gtest/gtest.h>
#include <iostream>

namespace mellowby::hardening {
namespace {

// Prints, once every test has run, how much hostile input the run tried.
class TallyReport final : public ::testing::Environment {
public:
    void TearDown() override
    {
        const Tally& counts = tally();
        std::cout << "[ hardening ] " << counts.names << " names tried, " << counts.catalogs
                  << " hostile catalogs tried, " << counts.faults << " faults injected into scans\n";
    }
};

[[maybe_unused]] ::testing::Environment* const g_report = ::testing::AddGlobalTestEnvironment(new TallyReport);

} // namespace
} // namespace mellowby::hardening
