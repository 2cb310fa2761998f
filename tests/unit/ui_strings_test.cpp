#include <gtest/gtest.h>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>
#include "core/paths.h"
#include "core/state.h"
#include "data/ui_strings.h"
#include "support/state_dirs.h"
#include "sys/resources.h"

using namespace orvane;
using orvane::testing::state_in_temp_dirs;

namespace {

struct ui_strings_fixture : ::testing::Test, state_in_temp_dirs {
    // Loads `bytes` as the data directory's Strings.txt.
    void load(const std::string& bytes) {
        data.write("Strings.txt", bytes);
        load_ui_strings(state, ui_string_count, ui_strings_file_name);
    }
    std::string text(int n) const { return state.ui_text(n); }
    // Every byte of slot n: a slot that took no line holds nothing at all.
    bool slot_is_clean(int n, const std::string& expected) const {
        const char* slot = state.ui_strings.load()->bytes + n * ui_slot_size;
        std::string want = expected;
        want.resize(ui_slot_size, '\0');
        return std::memcmp(slot, want.data(), ui_slot_size) == 0;
    }
};

std::vector<std::string> crlf_lines(std::string_view bytes) {
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = bytes.find("\r\n", start)) != std::string_view::npos; start = end + 2)
        lines.emplace_back(bytes.substr(start, end - start));
    return lines;
}

}  // namespace

TEST_F(ui_strings_fixture, TheDefaultFileIsWrittenToTheDataDirectoryAndLoadsLineNIntoSlotN) {
    EXPECT_EQ(state.ui_strings.load(), nullptr);
    EXPECT_EQ(text(0), "");  // no table yet: every text is empty

    load_ui_strings(state, ui_string_count, ui_strings_file_name);

    EXPECT_EQ(data.read("Strings.txt"), builtin_resource(resource_ui_strings));
    EXPECT_FALSE(program.exists("Strings.txt"));
    EXPECT_EQ(text(0), "Check");
    EXPECT_EQ(text(102), "TIME and SNTP Server Active");
    EXPECT_EQ(text(213), "What 'language' Chronobel talks to the time server with. RFC-2030 is the better protocol");
    EXPECT_EQ(text(231), "END OF NEEDED STUFF");
    EXPECT_EQ(text(249), "aaaa");
    const std::vector<std::string> lines = crlf_lines(builtin_resource(resource_ui_strings));
    ASSERT_EQ(lines.size(), 250u);
    for (int n = 0; n < ui_string_count; ++n) EXPECT_EQ(text(n), lines[n]) << "line " << n;
    EXPECT_EQ(text(250), "");
    EXPECT_EQ(text(-1), "");
}

TEST_F(ui_strings_fixture, CommentsEmptyLinesAndShortLinesTakeNoSlot) {
    load("#Translated by someone\r\nCheck\r\nCorrect\r\n");
    EXPECT_EQ(text(0), "Check");
    EXPECT_EQ(text(1), "Correct");
    EXPECT_EQ(text(2), "");

    load("One\r\n\r\n\r\nTwo\r\n");
    EXPECT_EQ(text(0), "One");
    EXPECT_EQ(text(1), "Two");

    // One character, and "#" after text: nothing of them survives, and the
    // next line still starts at the start of its slot.
    load("X\r\nAbcdef#note\r\nYz\r\n#\r\nLast\r\n");
    EXPECT_TRUE(slot_is_clean(0, "Yz"));
    EXPECT_TRUE(slot_is_clean(1, "Last"));
    EXPECT_TRUE(slot_is_clean(2, ""));
}

TEST_F(ui_strings_fixture, OnlyCarriageReturnEndsALine) {
    load("Ch\neck\r\n\n\nCor\nrect\rThird\r");
    EXPECT_EQ(text(0), "Check");
    EXPECT_EQ(text(1), "Correct");
    EXPECT_EQ(text(2), "Third");

    // A file with LF line ends only is one long line.
    load("Check\nCorrect\nOptions\n");
    EXPECT_EQ(text(0), "CheckCorrectOptions");
    EXPECT_EQ(text(1), "");
}

TEST_F(ui_strings_fixture, ALastLineWithoutLineEndIsLoaded) {
    load("One\r\nTwo");
    EXPECT_EQ(text(1), "Two");
    load("One\r\nT");  // still too short to take a slot
    EXPECT_TRUE(slot_is_clean(1, ""));
    load("One\r\nTwo#");
    EXPECT_TRUE(slot_is_clean(1, ""));
}

TEST_F(ui_strings_fixture, FewerLinesLeaveTheRestEmptyAndLinesBeyond250AreIgnored) {
    load("Check\r\nCorrect\r\nOptions\r\n");
    EXPECT_EQ(text(2), "Options");
    for (int n = 3; n < ui_string_count; ++n) EXPECT_EQ(text(n), "") << n;

    std::string many;
    for (int n = 0; n < 300; ++n) many += "Line " + std::to_string(n) + "\r\n";
    load(many);
    EXPECT_EQ(text(0), "Line 0");
    EXPECT_EQ(text(249), "Line 249");
    EXPECT_EQ(text(250), "");
    const ui_table* table = state.ui_strings.load();
    const std::string spare(table->bytes + ui_string_count * ui_slot_size, sizeof table->bytes - ui_string_count * ui_slot_size);
    EXPECT_EQ(spare, std::string(spare.size(), '\0'));
}

TEST_F(ui_strings_fixture, ALongLineKeepsItsFirst99CharactersAndTheNextLineItsOwnSlot) {
    const std::string exact(99, 'e');
    std::string long_line;
    for (int i = 0; i < 150; ++i) long_line += static_cast<char>('A' + i % 26);
    load(exact + "\r\n" + long_line + "\r\nNext\r\n" + std::string(5000, 'z'));
    EXPECT_EQ(text(0), exact);
    EXPECT_EQ(text(1), long_line.substr(0, 99));
    EXPECT_TRUE(slot_is_clean(2, "Next"));
    EXPECT_EQ(text(3), std::string(99, 'z'));
    EXPECT_EQ(text(4), "");
}

TEST_F(ui_strings_fixture, TheDataDirectoryCopyWinsAndAProgramDirectoryCopyIsUsedAsItIs) {
    program.write("Strings.txt", "From program\r\n");
    load_ui_strings(state, ui_string_count, ui_strings_file_name);
    EXPECT_EQ(text(0), "From program");
    EXPECT_FALSE(data.exists("Strings.txt"));  // nothing written
    EXPECT_EQ(program.read("Strings.txt"), "From program\r\n");

    load("From data\r\n");
    EXPECT_EQ(text(0), "From data");
}

TEST_F(ui_strings_fixture, ResetRewritesTheDataDirectoryCopyEvenWhenTheProgramDirectoryHasOne) {
    data.write("Strings.txt", "Edited in data\r\n");
    program.write("Strings.txt", "Edited in program\r\n");
    load_ui_strings(state, ui_string_count, ui_strings_file_name);
    ASSERT_EQ(text(0), "Edited in data");

    EXPECT_EQ(reset_ui_strings(state), ui_strings_ok);
    EXPECT_EQ(data.read("Strings.txt"), builtin_resource(resource_ui_strings));
    EXPECT_EQ(program.read("Strings.txt"), "Edited in program\r\n");
    EXPECT_EQ(text(0), "Check");
    EXPECT_EQ(text(231), "END OF NEEDED STUFF");
}

TEST_F(ui_strings_fixture, AnUnwritableDataDirectoryLeavesAnEmptyTableOrTheOtherCopy) {
    data.write("file.txt", "not a directory");
    split_path(state.data_path, data.dir() + L"file.txt/");
    EXPECT_EQ(write_default_ui_strings(state, ui_strings_file_name), ui_strings_not_written);

    load_ui_strings(state, ui_string_count, ui_strings_file_name);
    ASSERT_NE(state.ui_strings.load(), nullptr);  // an empty table, never none
    for (int n = 0; n < ui_string_count; ++n) EXPECT_EQ(text(n), "");

    // A failing Reset write: the reload reads whichever copy it finds.
    program.write("Strings.txt", "Program copy\r\n");
    EXPECT_EQ(reset_ui_strings(state), ui_strings_not_written);
    EXPECT_EQ(text(0), "Program copy");
}

TEST_F(ui_strings_fixture, ReadersOnOtherThreadsSeeOneWholeTableWhileItIsReloaded) {
    std::string alpha, beta;
    for (int n = 0; n < ui_string_count; ++n) {
        alpha += "Alpha " + std::to_string(n) + "\r\n";
        beta += "Beta " + std::to_string(n) + "\r\n";
    }
    program.write("Strings.txt", alpha);
    data.write("Strings.txt", beta);
    load_ui_strings(state, ui_string_count, ui_strings_file_name);

    std::atomic<bool> done{false};
    std::atomic<int> bad_reads{0};
    std::atomic<long> reads{0};
    std::thread reader([&] {
        while (!done.load()) {
            for (int n = 0; n < ui_string_count; ++n) {
                const std::string seen = state.ui_text(n);
                const std::string number = std::to_string(n);
                if (seen != "Alpha " + number && seen != "Beta " + number) bad_reads.fetch_add(1);
            }
            reads.fetch_add(1);
        }
    });
    for (int round = 0; round < 40; ++round) {
        // Alternate between the two copies: with the data copy gone the
        // program directory's is read.
        if (round % 2 == 0) std::filesystem::remove(data / "Strings.txt");
        else data.write("Strings.txt", beta);
        load_ui_strings(state, ui_string_count, ui_strings_file_name);
    }
    while (reads.load() < 3) std::this_thread::yield();
    done.store(true);
    reader.join();
    EXPECT_EQ(bad_reads.load(), 0);
    EXPECT_EQ(text(7), "Beta 7");
}
