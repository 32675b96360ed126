#pragma once
// A folder of its own under the system's temporary folder, removed with everything in it
// afterwards: TempFolder for a test that needs one, TempFolderTest for a fixture.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

#include <stdlib.h>

namespace ormid::test {

class TempFolder {
public:
    // A new folder whose name starts with `prefix` (mkdtemp: unique even across the
    // processes CTest runs side by side).
    explicit TempFolder(std::string_view prefix = "ormid")
    {
        std::string pattern = (std::filesystem::temp_directory_path() / (std::string(prefix) + "_XXXXXX")).string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed for " + pattern);
        path_ = pattern;
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }

    // Writes `bytes` to the file `name` in the folder; its path.
    std::string put(const std::string& name, std::string_view bytes) const
    {
        const std::filesystem::path file = path_ / name;
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        EXPECT_TRUE(out) << "cannot write " << file;
        return file.string();
    }

private:
    std::filesystem::path path_;
};

// A test with a folder of its own, folder_, made before SetUp and removed after TearDown.
class TempFolderTest : public testing::Test {
protected:
    std::string put(const std::string& name, std::string_view bytes) const { return temp_.put(name, bytes); }

    TempFolder temp_;
    const std::filesystem::path folder_ = temp_.path();
};

} // namespace ormid::test
