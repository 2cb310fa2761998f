// The Windows program's custom resources 8888 and 8889 carry exactly the
// default files of resources/, as the native program does.
#include <gtest/gtest.h>
#include <fstream>
#include <iterator>
#include <string>
#include "sys/resources.h"

using namespace orvane;

namespace {

// The repository root: CHRONOBEL_SOURCE_DIR when the build passes it, else
// found from this file's own path. A Linux path is reached through Wine's Z:.
std::string source_root() {
#ifdef CHRONOBEL_SOURCE_DIR
    std::string root = CHRONOBEL_SOURCE_DIR;
#else
    std::string root = __FILE__;
    for (int up = 0; up < 3; ++up) root = root.substr(0, root.find_last_of("/\\"));
#endif
    return root.starts_with('/') ? "Z:" + root : root;
}

std::string source_file(const std::string& name) {
    std::ifstream in(source_root() + "/resources/" + name, std::ios::binary);
    EXPECT_TRUE(in.is_open()) << source_root() << "/resources/" << name;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

TEST(BuiltinResources, TheProgramCarriesTheDefaultFilesByteForByte) {
    const std::string strings = source_file("Strings.txt");
    const std::string servers = source_file("ServFile.txt");
    ASSERT_FALSE(strings.empty());
    ASSERT_FALSE(servers.empty());
    EXPECT_EQ(builtin_resource(resource_ui_strings), strings);
    EXPECT_EQ(builtin_resource(resource_server_list), servers);
    EXPECT_TRUE(builtin_resource(1).empty());
}
