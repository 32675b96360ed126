#pragma once
// A test that works with files in a folder of its own, removed afterwards.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>

#include <unistd.h>

#include "files/atomic_file.h"

namespace ormid::test {

class FileFolderTest : public testing::Test {
protected:
    void SetUp() override
    {
        folder_ = std::filesystem::temp_directory_path()
            / ("ormid_" + std::to_string(::getpid()) + "_"
               + testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    // Writes `bytes` to the file `name` in the folder; its path.
    std::string put(const std::string& name, std::string_view bytes)
    {
        const std::filesystem::path path = folder_ / name;
        EXPECT_TRUE(writeFileAtomically(path, bytes).ok());
        return path.string();
    }

    std::filesystem::path folder_;
};

} // namespace ormid::test
