// A fresh temporary folder that is the current directory while a test runs.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace vistrelle::testing {

class Sandbox {
public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Writes a file of the sandbox byte for byte.
    void write(const std::string& name, std::string_view bytes) const;
    // The bytes of a file of the sandbox; empty when it does not exist.
    std::string read(const std::string& name) const;
    bool exists(const std::string& name) const;
    // The names of the entries of the sandbox, sorted.
    std::vector<std::string> entries() const;

private:
    std::filesystem::path path_;
    std::filesystem::path previous_;
};

// A test fixture whose tests run inside a Sandbox.
class SandboxTest : public ::testing::Test {
protected:
    Sandbox sandbox;
};

// The bytes of a file of tests/assets.
std::string assetBytes(const std::string& name);

}  // namespace vistrelle::testing
