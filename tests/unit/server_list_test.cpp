#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "core/paths.h"
#include "core/state.h"
#include "data/server_list.h"
#include "support/state_dirs.h"
#include "sys/resources.h"

using namespace orvane;
using orvane::testing::temp_dir;
using orvane::testing::state_in_temp_dirs;

namespace {

// The options page's combo box, recorded.
struct recording_list : server_list_view {
    std::vector<std::string> entries;
    std::vector<std::string> calls;
    void clear() override {
        entries.clear();
        calls.push_back("clear");
    }
    void insert(int position, const std::string& entry) override {
        entries.insert(entries.begin() + position, entry);
        calls.push_back("insert " + std::to_string(position));
    }
    void select(int position) override { calls.push_back("select " + std::to_string(position)); }
};

struct server_list_fixture : ::testing::Test, state_in_temp_dirs {
    server_list_fixture() { server_list_unusable.store(0); }
    ~server_list_fixture() override { server_list_unusable.store(0); }

    std::vector<std::string> entries_of(const std::string& bytes, int expected_result = list_ok) {
        data.write("ServFile.txt", bytes);
        recording_list list;
        EXPECT_EQ(read_server_list(state, &list, 0), expected_result);
        return list.entries;
    }
};

using entries = std::vector<std::string>;

}  // namespace

TEST_F(server_list_fixture, TheDefaultListGoesToTheDataDirectoryAndHoldsFifteenServers) {
    EXPECT_EQ(write_default_server_list(state), list_ok);
    EXPECT_EQ(data.read("ServFile.txt"), builtin_resource(resource_server_list));
    EXPECT_FALSE(program.exists("ServFile.txt"));
    EXPECT_EQ(server_list_unusable.load(), 0);

    recording_list list;
    EXPECT_EQ(read_server_list(state, &list, 0), list_ok);
    ASSERT_EQ(list.entries.size(), 15u);
    std::string expected = "#Add as many as you like!\r\n";
    for (const std::string& entry : list.entries) expected += entry + "\r\n";
    EXPECT_EQ(expected, builtin_resource(resource_server_list));  // every line after the comment, in order

    EXPECT_EQ(read_server_list(state, nullptr, 15), list_ok);
    EXPECT_EQ(state.engine.server_name, list.entries[14]);
    EXPECT_EQ(read_server_list(state, nullptr, 16), list_too_short);
    EXPECT_EQ(read_server_list(state, nullptr, 0), list_ok);  // no view: nothing to fill
}

TEST_F(server_list_fixture, AnExistingListIsNeverTouched) {
    data.write("ServFile.txt", "mine.example\r\n");
    EXPECT_EQ(write_default_server_list(state), list_ok);
    EXPECT_EQ(data.read("ServFile.txt"), "mine.example\r\n");
    EXPECT_FALSE(program.exists("ServFile.txt"));

    // A list beside the program, where older copies kept it, moves to the
    // data folder with the other files, unchanged.
    temp_dir other_data;
    split_path(state.data_path, other_data.dir());
    program.write("ServFile.txt", "old.example");
    EXPECT_EQ(write_default_server_list(state), list_ok);
    EXPECT_EQ(other_data.read("ServFile.txt"), "old.example");
    EXPECT_FALSE(program.exists("ServFile.txt"));

    // The service takes nothing from the program's folder: its own list is the built-in one.
    temp_dir service_data;
    split_path(state.data_path, service_data.dir());
    state.data_dir_only = true;
    program.write("ServFile.txt", "planted.example\r\n");
    EXPECT_EQ(write_default_server_list(state), list_ok);
    EXPECT_EQ(service_data.read("ServFile.txt"), builtin_resource(resource_server_list));
    EXPECT_EQ(program.read("ServFile.txt"), "planted.example\r\n");
}

TEST_F(server_list_fixture, TheDataDirectoryCopyWinsOverTheProgramDirectoryCopy) {
    program.write("ServFile.txt", "program.example\r\n");
    recording_list list;
    EXPECT_EQ(read_server_list(state, &list, 0), list_ok);
    EXPECT_EQ(list.entries, entries{"program.example"});
    EXPECT_EQ(entries_of("data.example\r\n"), entries{"data.example"});
}

TEST_F(server_list_fixture, LinesBecomeEntriesByTheLineRules) {
    // Two characters are too few, three are enough; text is kept as written.
    EXPECT_EQ(entries_of("ab\r\nabc\r\n x \r\n\r\nHost.Example \r\n"), (entries{"abc", " x ", "Host.Example "}));
    // "#" anywhere makes the whole line a comment.
    EXPECT_EQ(entries_of("time.example#backup\r\n#\r\nnext.example\r\n"), entries{"next.example"});
    // LF is dropped wherever it stands; only CR ends a line.
    EXPECT_EQ(entries_of("ti\nme.example\r\n\n\r\nsecond.example\r"), (entries{"time.example", "second.example"}));
    EXPECT_EQ(entries_of("one.example\ntwo.example\n"), entries{"one.exampletwo.example"});
    // A last line typed without Enter is an entry like any other, by the same rules.
    EXPECT_EQ(entries_of("one.example\r\ntwo.example"), (entries{"one.example", "two.example"}));
    EXPECT_EQ(read_server_list(state, nullptr, 2), list_ok);
    EXPECT_EQ(state.engine.server_name, "two.example");
    EXPECT_EQ(entries_of("one.example\r\nab"), entries{"one.example"});
    EXPECT_EQ(entries_of("one.example\r\n#last"), entries{"one.example"});
    EXPECT_EQ(entries_of("", list_too_short), entries{});
    EXPECT_EQ(entries_of("#only a comment\r\n", list_too_short), entries{});
}

TEST_F(server_list_fixture, ALineOf600CharactersOrMoreIsNoEntryAndDisturbsNothingAfterIt) {
    const std::string longest(599, 'a');
    EXPECT_EQ(entries_of(longest + "\r\n" + std::string(600, 'b') + "\r\nafter.example\r\n" + std::string(70000, 'c') +
                         "\r\nlast.example\r\n"),
              (entries{longest, "after.example", "last.example"}));
    EXPECT_EQ(read_server_list(state, nullptr, 2), list_ok);
    EXPECT_EQ(state.engine.server_name, "after.example");
}

TEST_F(server_list_fixture, AnEntryBeyondTheEndLeavesTheServerNameAlone) {
    data.write("ServFile.txt", "first.example\r\nsecond.example\r\n");
    state.engine.server_name = "previous.example";
    EXPECT_EQ(read_server_list(state, nullptr, 3), list_too_short);
    EXPECT_EQ(state.engine.server_name, "previous.example");
    EXPECT_EQ(read_server_list(state, nullptr, 2), list_ok);
    EXPECT_EQ(state.engine.server_name, "second.example");
    EXPECT_EQ(read_server_list(state, nullptr, 1), list_ok);
    EXPECT_EQ(state.engine.server_name, "first.example");
}

TEST_F(server_list_fixture, AMissingListCannotBeRead) {
    EXPECT_EQ(read_server_list(state, nullptr, 0), list_unreadable);
    EXPECT_EQ(read_server_list(state, nullptr, 1), list_unreadable);
}

TEST_F(server_list_fixture, RefreshFillsTheListInFileOrderAndNotesWhetherItIsUsable) {
    data.write("ServFile.txt", "one.example\r\ntwo.example\r\nthree.example\r\n");
    state.engine.server_index = 1;
    server_list_unusable.store(1);
    recording_list list;
    list.entries = {"stale"};
    EXPECT_EQ(refresh_server_list(state, &list), list_ok);
    EXPECT_EQ(list.entries, (entries{"one.example", "two.example", "three.example"}));
    EXPECT_EQ(list.calls, (entries{"clear", "insert 0", "insert 1", "insert 2", "select 1"}));
    EXPECT_EQ(server_list_unusable.load(), 0);
    EXPECT_EQ(state.engine.server_source, source_list);

    // A shorter list: its first entry is the current server, and shown.
    data.write("ServFile.txt", "one.example\r\n");
    EXPECT_EQ(refresh_server_list(state, &list), list_ok);
    EXPECT_EQ(list.calls.back(), "select 0");
    EXPECT_EQ(state.engine.server_index, 0);

    // A list without entries: "Use List" falls back to "Manual A".
    data.write("ServFile.txt", "#nothing\r\nab\r\n");
    EXPECT_EQ(refresh_server_list(state, &list), list_too_short);
    EXPECT_EQ(list.entries, entries{});
    EXPECT_EQ(server_list_unusable.load(), 1);
    EXPECT_EQ(state.engine.server_source, source_manual_a);

    // Unreadable: another manual source stays as it is.
    std::filesystem::remove(data / "ServFile.txt");
    state.engine.server_source = source_manual_b;
    EXPECT_EQ(refresh_server_list(state, nullptr), list_unreadable);
    EXPECT_EQ(state.engine.server_source, source_manual_b);
    EXPECT_EQ(server_list_unusable.load(), 1);
}

TEST_F(server_list_fixture, AListThatCannotBeWrittenMarksTheListUnusable) {
    // Both directories lie inside a regular file, so nothing can be created there.
    data.write("file.txt", "not a directory");
    split_path(state.program_path, data.dir() + L"file.txt/chronobel");
    split_path(state.data_path, data.dir() + L"file.txt/");
    EXPECT_EQ(write_default_server_list(state), list_not_written);
    EXPECT_EQ(server_list_unusable.load(), 1);
    EXPECT_EQ(refresh_server_list(state, nullptr), list_unreadable);
    EXPECT_EQ(state.engine.server_source, source_manual_a);
}
