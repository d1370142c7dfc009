#pragma once

// Running the Debian tools that make real archives, and reading their own listings back.

#include <array>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <stdexcept>
#include <string>

#include "archive/archivelisting.h"

namespace mellowby::tests {

// The standard output of a shell command; throws when it fails, so a test never compares
// against a listing that was not made.
inline std::string run(const std::string& command)
{
    FILE* pipe = ::popen(("(" + command + "\n) 2>/dev/null").c_str(), "r");
    if (pipe == nullptr)
        throw std::runtime_error("cannot run " + command);
    std::string out;
    std::array<char, 4096> block {};
    for (std::size_t read; (read = std::fread(block.data(), 1, block.size(), pipe)) > 0;)
        out.append(block.data(), read);
    if (::pclose(pipe) != 0)
        throw std::runtime_error("failed: " + command);
    return out;
}

inline bool hasTool(const std::string& name)
{
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

// The single-quoted form of text for a shell command.
inline std::string quoted(const std::string& text)
{
    std::string out = "'";
    for (const char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Members by name, for comparing without caring for the order of an archive.
inline std::map<std::string, archive::Member> byName(const archive::ArchiveListing& listing)
{
    std::map<std::string, archive::Member> members;
    for (const auto& member : listing.members)
        members.emplace(member.name, member);
    return members;
}

} // namespace mellowby::tests

#define REQUIRE_TOOL(name)                                                                                             \
    if (!mellowby::tests::hasTool(name))                                                                               \
    GTEST_SKIP() << (name) << " is not installed"
