#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include "chronobel_version.h"
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
