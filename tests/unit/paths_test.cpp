#include <gtest/gtest.h>
#include "core/paths.h"
#include "app/program.h"
#include "core/state.h"
#include "support/temp_dir.h"

using namespace orvane;
using orvane::testing::temp_dir;

TEST(Paths, SplitPathTakesThePartsAroundTheLastSeparator) {
    path_set set;
    split_path(set, L"/opt/chronobel/chronobel");
    EXPECT_EQ(set.full, L"/opt/chronobel/chronobel");
    EXPECT_EQ(set.directory, L"/opt/chronobel/");
    EXPECT_EQ(set.file, L"chronobel");
    EXPECT_EQ(set.root, L"/op");

    split_path(set, L"/data/");
    EXPECT_EQ(set.directory, L"/data/");
    EXPECT_EQ(set.file, L"");

    // Three characters or fewer: only `full` changes.
    split_path(set, L"/a/");
    EXPECT_EQ(set.full, L"/a/");
    EXPECT_EQ(set.directory, L"/data/");
    EXPECT_EQ(set.root, L"/da");

    // No separator: directory and file keep their values.
    split_path(set, L"plainname");
    EXPECT_EQ(set.directory, L"/data/");
    EXPECT_EQ(set.root, L"pla");
    EXPECT_EQ(join_path(L"/x/", L"y.txt"), L"/x/y.txt");
}

TEST(Paths, DataFilesAreReadFromTheDataDirectoryFirst) {
    temp_dir program, data;
    chronobel_state state;
    split_path(state.program_path, program.dir());
    split_path(state.data_path, data.dir());
    EXPECT_EQ(locate_data_file(state, L"ServFile.txt"), program.dir() + L"ServFile.txt");  // in neither
    program.write("ServFile.txt", "p");
    EXPECT_EQ(locate_data_file(state, L"ServFile.txt"), program.dir() + L"ServFile.txt");
    data.write("ServFile.txt", "d");
    EXPECT_EQ(locate_data_file(state, L"ServFile.txt"), data.dir() + L"ServFile.txt");
}

TEST(Paths, AProgramNotNamedAsExpectedLeavesBothDirectoriesEmpty) {
    // The test program is not called "chronobel": the search finds nothing,
    // so the data files are named relative to the current directory.
    chronobel_state state;
    init_identity(state, L"chronobel");
    EXPECT_EQ(state.program_name, L"Chronobel");
    EXPECT_TRUE(state.program_dir().empty());
    EXPECT_TRUE(state.data_dir().empty());
    EXPECT_EQ(locate_data_file(state, L"dSync.dat"), L"dSync.dat");
}

TEST(Switches, OnlyTheSecondCharacterDecidesInEitherCase) {
    EXPECT_EQ(switch_letter(L"/q"), L'q');
    EXPECT_EQ(switch_letter(L"-Q"), L'q');
    EXPECT_EQ(switch_letter(L"xSilent"), L's');
    EXPECT_EQ(switch_letter(L"C:\\Program Files\\Chronobel.exe"), L':');  // the program's own path
    EXPECT_EQ(switch_letter(L"q"), 0);
    EXPECT_EQ(switch_letter(L""), 0);
    EXPECT_EQ(switch_letter(std::wstring(5000, L'Z')), L'z');  // a long argument is cut, not overrun
}
