// Files and folders no phone should meet, each loaded, painted on every page and changed without
// harm: nothing is held afterwards, the selection stays on the list, and a change that is not made
// leaves the file as it was. (Run as root, permissions stop nothing: a folder that cannot be read
// or written is a file service whose calls fail.)
#include <filesystem>
#include <fstream>
#include <string>

#include "app_test.hpp"
#include "screen_text.hpp"

using namespace nuvtest;

namespace {

std::string repeated(const std::string& piece, std::size_t times) {
    std::string out;
    out.reserve(piece.size() * times);
    for (std::size_t i = 0; i < times; ++i) out += piece;
    return out;
}

std::string everyByte() {
    std::string out;
    for (int round = 0; round < 3; ++round)
        for (int b = 0; b < 256; ++b) out += static_cast<char>(b);
    return out;
}

struct Hostile {
    const char* name;
    std::string file;
    bool folder = false;                    // BlackList.txt is a folder
    std::vector<sim::FileOp> failing = {};  // calls that always fail
};

const Hostile kCases[] = {
    {"every byte value", everyByte()},
    {"CR only", std::string(300, '\r')},
    {"LF only", std::string(300, '\n')},
    {"100,000 records", repeated("r\r\n", 100000)},
    {"a 10 MB file", repeated(std::string(499998, 'x') + "\r\n", 20)},
    {"a record of 10,000 bytes", "A\r\n" + std::string(10000, 'y') + "\r\nC"},
    {"a folder in its place", "", true},
    {"a folder that cannot be read", "A\r\nB", false, {sim::FileOp::Open}},
    {"a folder that cannot be written", "A\r\nB", false, {sim::FileOp::Rename, sim::FileOp::Delete}},
};

void PrintTo(const Hostile& h, std::ostream* out) { *out << h.name; }

class HostileInput : public AppTest, public ::testing::WithParamInterface<Hostile> {};

TEST_P(HostileInput, IsLoadedPaintedAndChangedWithoutHarm) {
    const Hostile& h = GetParam();
    if (h.folder)
        std::filesystem::create_directories(recordFile());
    else
        writeRecords(h.file);
    for (sim::FileOp op : h.failing) phone().files().faults(op).failAlways();
    boot();
    const int count = position().count;
    ASSERT_GE(count, 1);
    for (int i = 0; i <= count; ++i) press(KEY_DOWN);  // every page, and round to the first
    EXPECT_EQ(position().selected, count > 1 ? 2 : 1);
    EXPECT_TRUE(nothingHeld());
    for (int item : {kEdit, kAdd, kDelete}) {
        const std::string before = h.folder ? "" : records();
        choose(item);
        if (phone().editorOpen()) {
            phone().setEditorText(u"new");
            press(KEY_OK);
        }
        EXPECT_EQ(state(), "main");
        if (!message().empty()) {
            if (!h.folder) {
                EXPECT_EQ(records(), before) << item;
            }
            press(KEY_OK);
        }
        const Position p = position();
        EXPECT_TRUE(p.selected >= 1 && p.selected <= p.count) << p;
        EXPECT_TRUE(nothingHeld());
    }
    EXPECT_EQ(std::filesystem::is_directory(recordFile()), h.folder);
    press(KEY_END);
    EXPECT_EQ(state(), "ended");
}

INSTANTIATE_TEST_SUITE_P(Files, HostileInput, ::testing::ValuesIn(kCases), [](const auto& c) {
    std::string name;
    for (char ch : std::string(c.param.name)) name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
    return name;
});

}  // namespace
