// The file types the package declares (packaging/ormid-programmer-mime.xml), as a file
// dialog or a file manager sees them once the package is installed: compiled by
// update-mime-database together with the system's types into one database (as the
// package's postinst does), in a data folder of its own, and read back through Qt.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include <QMimeDatabase>

#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;

std::string fileContent(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

const fs::path kSystemPackages = "/usr/share/mime/packages";

class MimeTypes : public testing::Test {
protected:
    // Qt reads the MIME data folders once per process, so they are set before its first use.
    static void SetUpTestSuite()
    {
        folder_.emplace("ormid_mime");
        root_ = folder_->path();
        fs::create_directories(root_ / "data/mime/packages");
        fs::create_directories(root_ / "home");
        for (const auto& entry : fs::directory_iterator(kSystemPackages))
            fs::copy_file(entry.path(), root_ / "data/mime/packages" / entry.path().filename());
        fs::copy_file(ORMID_PACKAGING_DIR "/ormid-programmer-mime.xml",
                      root_ / "data/mime/packages/ormid-programmer.xml");
        const std::string update = "update-mime-database '" + (root_ / "data/mime").string() + "'";
        compiled_ = std::system(update.c_str()) == 0;
        ::setenv("XDG_DATA_HOME", (root_ / "home").c_str(), 1);
        ::setenv("XDG_DATA_DIRS", (root_ / "data").c_str(), 1);
    }
    static void TearDownTestSuite() { folder_.reset(); }

    fs::path put(const std::string& name, const std::string& bytes) const
    {
        const fs::path path = root_ / "files" / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    static inline std::optional<ormid::test::TempFolder> folder_;
    static inline fs::path root_;
    static inline bool compiled_ = false;
};

TEST_F(MimeTypes, NameTheProgramsFilesByExtensionAndByContent)
{
    ASSERT_TRUE(compiled_) << "update-mime-database failed";
    const std::string configuration = fileContent(ORMID_SAMPLES_DIR "/street.kdc");
    const std::string firmware = fileContent(ORMID_FIRMWARE_CONTAINER);
    ASSERT_TRUE(configuration.starts_with("MMN"));
    ASSERT_TRUE(firmware.starts_with("FWX"));
    const std::string oldConfiguration = "MEM1234\r\n" + configuration.substr(configuration.find('\n') + 1);
    const std::string curve = "0\r\n1\r\n2\r\n3\r\n";

    const struct {
        const char* name;
        const std::string& bytes;
        const char* type;
    } cases[] = {
        {"street.kdc", configuration, "application/x-ormid-configuration"},
        {"old.kdc", oldConfiguration, "application/x-ormid-configuration"},
        {"ormid.kdp", firmware, "application/x-ormid-firmware"},
        {"linear.dc", curve, "application/x-ormid-dimming-curve"},
        {"configuration", configuration, "application/x-ormid-configuration"},
        {"old-configuration", oldConfiguration, "application/x-ormid-configuration"},
        {"firmware", firmware, "application/x-ormid-firmware"},
    };
    const QMimeDatabase database;
    for (const auto& c : cases)
        EXPECT_EQ(database.mimeTypeForFile(QString::fromStdString(put(c.name, c.bytes).string())).name().toStdString(),
                  c.type)
            << c.name;
}

TEST_F(MimeTypes, DescribeEachTypeAsATextFile)
{
    ASSERT_TRUE(compiled_) << "update-mime-database failed";
    const struct {
        const char* type;
        const char* comment;
        const char* suffix;
    } cases[] = {
        {"application/x-ormid-configuration", "Ormid configuration", "kdc"},
        {"application/x-ormid-firmware", "Ormid firmware container", "kdp"},
        {"application/x-ormid-dimming-curve", "Ormid dimming curve", "dc"},
    };
    const QMimeDatabase database;
    for (const auto& c : cases) {
        const QMimeType type = database.mimeTypeForName(QString::fromLatin1(c.type));
        ASSERT_TRUE(type.isValid()) << c.type;
        EXPECT_EQ(type.comment().toStdString(), c.comment) << c.type;
        EXPECT_EQ(type.preferredSuffix().toStdString(), c.suffix) << c.type;
        EXPECT_TRUE(type.inherits(QStringLiteral("text/plain"))) << c.type;
    }
}

} // namespace
