#pragma once
// The Jet files made for these tests live outside the repository (this
// project cannot make Jet files); tests skip when they are not there.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace tvx::test {

inline std::string JetFile(const std::string& name) {
    return std::string(TVX_SHARED_DATA_DIR) + "/jet/" + name;
}

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

}  // namespace tvx::test

// Skips the test when a fixture file is missing.
#define TVX_REQUIRE_JET_FILE(name)                                                           \
    do {                                                                                     \
        if (!std::filesystem::exists(::tvx::test::JetFile(name)))                            \
            GTEST_SKIP() << "no " << ::tvx::test::JetFile(name) << " (shared Jet fixtures)"; \
    } while (0)
