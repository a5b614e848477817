#pragma once
// Temporary folders, manifest copies and small files for the materials tests.

#include "platform/utf8.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace materials_test {

namespace fs = std::filesystem;

inline fs::path ManifestData(const std::string& name) {
    const char* root = std::getenv("QUILLOR_TEST_DATA");
    return fs::path(root ? root : "tests/data") / "manifest" / name;
}

inline std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string U8(const fs::path& path) {
    return platform::PathToUtf8(path);
}

// A fresh folder per test, removed afterwards.
class TempFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("quillor_materials_" + std::to_string(std::random_device{}()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    // Copies a manifest of the test data into the folder; returns its UTF-8 path.
    std::string copyManifest(const std::string& name, const std::string& as = "TempXml.XML") {
        fs::copy_file(ManifestData(name), dir_ / as, fs::copy_options::overwrite_existing);
        return U8(dir_ / as);
    }
    std::string writeManifest(const std::string& content, const std::string& as = "TempXml.XML") {
        WriteBytes(dir_ / as, content);
        return U8(dir_ / as);
    }
    // A file of `bytes` bytes; returns its UTF-8 path.
    std::string makeFile(const fs::path& relative, std::size_t bytes) {
        WriteBytes(dir_ / relative, std::string(bytes, 'x'));
        return U8(dir_ / relative);
    }

    fs::path dir_;
};

} // namespace materials_test
