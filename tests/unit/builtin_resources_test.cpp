#include <gtest/gtest.h>
#include <sys/resource.h>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include "chronobel_version.h"
#include "data/builtin_file.h"
#include "support/temp_dir.h"
#include "sys/files.h"
#include "sys/resources.h"

using namespace orvane;

namespace {

// The repository's resources/ folder, found from this file's own path.
std::string source_file(const std::string& name) {
    const std::filesystem::path root = std::filesystem::path(__FILE__).parent_path().parent_path().parent_path();
    std::ifstream in(root / "resources" / name, std::ios::binary);
    EXPECT_TRUE(in.is_open()) << name;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

TEST(BuiltinResources, TheProgramCarriesTheDefaultFilesByteForByte) {
    EXPECT_EQ(builtin_resource(resource_ui_strings), source_file("Strings.txt"));
    EXPECT_EQ(builtin_resource(resource_server_list), source_file("ServFile.txt"));
    EXPECT_TRUE(builtin_resource(1).empty());
    // The texts name the release's version (About and the log's first line).
    const std::string shown = "Chronobel v" + std::to_string(CHRONOBEL_VERSION_MAJOR) + "." +
                              std::to_string(CHRONOBEL_VERSION_MINOR) + " Log";
    EXPECT_NE(builtin_resource(resource_ui_strings).find(shown), std::string::npos) << shown;
}

TEST(BuiltinResources, TheDefaultTableHas250PlainLinesThatEachFitASlot) {
    const std::string_view bytes = builtin_resource(resource_ui_strings);
    int lines = 0;
    for (std::size_t start = 0; start < bytes.size(); ++lines) {
        const std::size_t end = bytes.find("\r\n", start);
        ASSERT_NE(end, std::string_view::npos) << "line " << lines << " has no CR LF";
        const std::string_view line = bytes.substr(start, end - start);
        EXPECT_GE(line.size(), 2u) << lines;
        EXPECT_LE(line.size(), 99u) << lines;
        for (char c : line) EXPECT_TRUE(c >= 0x20 && c < 0x7F && c != '#') << "line " << lines;
        if (lines == 214) {
            EXPECT_NE(line.find("Orvane"), std::string_view::npos);
        }
        start = end + 2;
    }
    EXPECT_EQ(lines, 250);
}

TEST(BuiltinResources, ADefaultFileIsWrittenWholeThroughATemporaryNameOrNotAtAll) {
    EXPECT_EQ(temporary_name_for(L"/data/dSync.dat"), L"/data/dSync.new");
    EXPECT_EQ(temporary_name_for(L"/da.ta/ServFile"), L"/da.ta/ServFile.new");
    EXPECT_EQ(temporary_name_for(L"/data/x.new"), L"/data/x.new.new");
    orvane::testing::temp_dir dir;
    const std::string_view strings = builtin_resource(resource_ui_strings);

    // The temporary name is taken (by a folder, which stops root too): no file.
    ASSERT_TRUE(create_directory(dir.dir() + L"Strings.new"));
    EXPECT_FALSE(write_builtin_file(resource_ui_strings, dir.dir() + L"Strings.txt"));
    EXPECT_FALSE(dir.exists("Strings.txt"));
    std::filesystem::remove(dir / "Strings.new");

    // A write cut short (the file-size limit holds for root too): neither a
    // partial file nor the temporary one is left.
    {
        rlimit old_limit{};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
        rlimit short_limit = old_limit;
        short_limit.rlim_cur = strings.size() / 2;
        const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);  // the write fails instead
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &short_limit), 0);
        const bool written = write_builtin_file(resource_ui_strings, dir.dir() + L"Strings.txt");
        setrlimit(RLIMIT_FSIZE, &old_limit);
        std::signal(SIGXFSZ, old_handler);
        EXPECT_FALSE(written);
    }
    EXPECT_FALSE(dir.exists("Strings.txt"));
    EXPECT_FALSE(dir.exists("Strings.new"));

    EXPECT_TRUE(write_builtin_file(resource_ui_strings, dir.dir() + L"Strings.txt"));
    EXPECT_EQ(dir.read("Strings.txt"), strings);
    EXPECT_FALSE(dir.exists("Strings.new"));
}
