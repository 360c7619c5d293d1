// The simulated platform's own services: the path sandbox, the file service and its
// injected failures, the memory tracker, and the 16-bit text functions, driven through
// the platform calls the application makes.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "app_test.hpp"
#include "platform/files.h"
#include "platform/memory.h"
#include "platform/text.h"

using namespace nuvtest;
namespace fs = std::filesystem;

namespace {

std::string contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void put(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

const WCHAR* w(const std::u16string& text) { return reinterpret_cast<const WCHAR*>(text.c_str()); }

class Platform : public ::testing::Test {
protected:
    Platform() { fs::create_directories(root.path() / "elf"); }
    std::string host(const char* name) const { return contents(root.path() / name); }

    TempFolder root, outside;
    sim::Phone phone{sim::PhoneOptions{root.path(), LANGUAGE_ENGLISH}};
    const sim::PathSandbox& sandbox = phone.files.sandbox();
};

TEST_F(Platform, PathsMapInsideTheRootOrAreRefused) {
    const std::pair<std::u16string, fs::path> mapped[] = {
        {u"/elf/x", "elf/x"},
        {u"elf/x", "elf/x"},
        {u"//elf//./x/", "elf/x"},
        {u"/\u0437\u0430\u043F\u0438\u0441\u0438.txt", "\xD0\xB7\xD0\xB0\xD0\xBF\xD0\xB8\xD1\x81\xD0\xB8.txt"},
        {u"/\xD83D\xDE00", "\xF0\x9F\x98\x80"},  // a surrogate pair is one character
    };
    for (const auto& [phonePath, hostPath] : mapped) EXPECT_EQ(sandbox.resolve(phonePath), sandbox.root() / hostPath);

    const std::u16string refused[] = {
        u"",
        u"/",
        u"/.",
        u"..",
        u"/a/../b",
        u"/elf/..",
        u"/elf/../../etc/passwd",
        u"/\xD800",
        u"/\xDC00x",
        u"/x\xDBFF",
        u"/\xDFFF\xD800",  // lone or reversed surrogates
        std::u16string(u"/..\0", 4),
        std::u16string(u"/elf/a\0b", 8),
    };
    for (std::size_t i = 0; i < std::size(refused); ++i) EXPECT_FALSE(sandbox.resolve(refused[i])) << "case " << i;
}

TEST_F(Platform, LinksAreNeverFollowed) {
    put(outside.path() / "secret.txt", "host file");
    fs::create_directory_symlink(outside.path(), root.path() / "out");
    fs::create_directory_symlink(outside.path(), root.path() / "elf" / "deeper");
    fs::create_symlink(outside.path() / "secret.txt", root.path() / "elf" / "BlackList.txt");
    fs::create_directory_symlink(root.path() / "elf", root.path() / "inner");  // even one that stays inside
    for (const std::u16string path :
         {u"/out", u"/out/secret.txt", u"/elf/deeper/secret.txt", u"/elf/BlackList.txt", u"/inner/x"})
        EXPECT_FALSE(sandbox.resolve(path)) << std::string(path.begin(), path.end());

    EXPECT_EQ(DL_FsOpenFile(w(u"/elf/BlackList.txt"), FS_MODE_WRITE, 0), FS_INVALID_HANDLE);
    EXPECT_EQ(DL_FsOpenFile(w(u"/out/new.txt"), FS_MODE_WRITE, 0), FS_INVALID_HANDLE);
    EXPECT_EQ(DL_FsOpenFile(w(u"/out/secret.txt"), FS_MODE_READ, 0), FS_INVALID_HANDLE);
    EXPECT_NE(DL_FsDeleteFile(w(u"/out/secret.txt"), 0), FS_OK);
    EXPECT_EQ(contents(outside.path() / "secret.txt"), "host file");
    EXPECT_FALSE(fs::exists(outside.path() / "new.txt"));
}

TEST_F(Platform, FilesFollowTheirModes) {
    const std::u16string path = u"/elf/BlackList.txt";
    EXPECT_EQ(DL_FsSGetFileSize(w(path), 0), 0u);
    EXPECT_EQ(DL_FsSGetFileSize(w(u"/elf"), 0), 0u);  // a folder is no file
    EXPECT_EQ(DL_FsOpenFile(w(path), FS_MODE_READ, 0), FS_INVALID_HANDLE);
    EXPECT_EQ(DL_FsOpenFile(w(path), 2, 0), FS_INVALID_HANDLE) << "an unknown mode";
    EXPECT_FALSE(fs::exists(root.path() / "elf/BlackList.txt"));

    UINT32 done = 99;
    UINT32 file = DL_FsOpenFile(w(path), FS_MODE_WRITE, 0);
    EXPECT_EQ(DL_FsWriteFile("+80501234567 info", 17, 1, file, &done), FS_OK);
    EXPECT_EQ(done, 17u);
    EXPECT_EQ(DL_FsCloseFile(file), FS_OK);

    // Mode 1 empties the file at the open, before anything is written.
    file = DL_FsOpenFile(w(path), FS_MODE_WRITE, 0);
    EXPECT_EQ(DL_FsSGetFileSize(w(path), 0), 0u);
    EXPECT_EQ(DL_FsWriteFile("a\xFF", 2, 1, file, &done), FS_OK);
    EXPECT_EQ(DL_FsCloseFile(file), FS_OK);
    EXPECT_EQ(host("elf/BlackList.txt"), "a\xFF");

    // Mode 0 reads from the start; meeting the end is no failure, `done` tells how much came.
    file = DL_FsOpenFile(w(path), FS_MODE_READ, 0);
    char buffer[8] = {};
    EXPECT_EQ(DL_FsReadFile(buffer, 5, 1, file, &done), FS_OK);
    EXPECT_EQ(std::string(buffer, done), "a\xFF");
    EXPECT_NE(DL_FsWriteFile("x", 1, 1, file, &done), FS_OK) << "a file opened for reading took a write";
    EXPECT_EQ(DL_FsCloseFile(file), FS_OK);
    EXPECT_NE(DL_FsCloseFile(file), FS_OK);
    EXPECT_NE(DL_FsReadFile(buffer, 1, 1, file, &done), FS_OK);
    EXPECT_EQ(phone.files.openHandles(), 0u);
}

TEST_F(Platform, InjectedFailuresHitExactlyTheChosenCall) {
    put(root.path() / "f.txt", "content");
    for (std::uint32_t nth = 0; nth <= 3; ++nth) {
        phone.files.faults(sim::FileOp::Open).failNth(nth);
        for (std::uint32_t call = 1; call <= 4; ++call) {
            const UINT32 file = DL_FsOpenFile(w(u"/f.txt"), FS_MODE_READ, 0);
            EXPECT_EQ(file == FS_INVALID_HANDLE, call == nth) << "open " << call << " of failNth " << nth;
            DL_FsCloseFile(file);
        }
    }

    // A failing read moves nothing; the next read goes on from the start.
    UINT32 file = DL_FsOpenFile(w(u"/f.txt"), FS_MODE_READ, 0);
    char buffer[8] = {};
    UINT32 done = 99;
    phone.files.faults(sim::FileOp::Read).failNth(1);
    EXPECT_NE(DL_FsReadFile(buffer, 7, 1, file, &done), FS_OK);
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(DL_FsReadFile(buffer, 7, 1, file, &done), FS_OK);
    EXPECT_EQ(std::string(buffer, done), "content");
    DL_FsCloseFile(file);

    // A failing write leaves the file as the open left it: empty.
    file = DL_FsOpenFile(w(u"/f.txt"), FS_MODE_WRITE, 0);
    phone.files.faults(sim::FileOp::Write).failNth(1);
    EXPECT_NE(DL_FsWriteFile("new", 3, 1, file, &done), FS_OK);
    EXPECT_EQ(DL_FsCloseFile(file), FS_OK);
    EXPECT_EQ(host("f.txt"), "");

    // failAlways holds until cleared; every call is counted.
    put(root.path() / "g.txt", "12345");
    phone.files.faults(sim::FileOp::Size).failAlways();
    for (int call = 0; call < 2; ++call) EXPECT_EQ(DL_FsSGetFileSize(w(u"/g.txt"), 0), 0u);
    phone.files.faults(sim::FileOp::Size).clear();
    EXPECT_EQ(DL_FsSGetFileSize(w(u"/g.txt"), 0), 5u);
    EXPECT_EQ(phone.files.faults(sim::FileOp::Size).calls(), 3u);
}

TEST_F(Platform, RenamePutsTheNewFileInPlaceOfTheOldInOneStep) {
    const std::u16string tmp = u"/elf/BlackList.tmp", txt = u"/elf/BlackList.txt";
    put(root.path() / "elf/BlackList.txt", "old records");
    put(root.path() / "elf/BlackList.tmp", "new records");
    const UINT32 reader = DL_FsOpenFile(w(txt), FS_MODE_READ, 0);
    EXPECT_EQ(DL_FsRenameFile(w(tmp), w(txt)), FS_OK);
    EXPECT_EQ(host("elf/BlackList.txt"), "new records");
    EXPECT_FALSE(fs::exists(root.path() / "elf/BlackList.tmp"));
    // A reader that had the old file open keeps reading the old bytes whole.
    char buffer[32] = {};
    UINT32 done = 0;
    EXPECT_EQ(DL_FsReadFile(buffer, sizeof buffer, 1, reader, &done), FS_OK);
    EXPECT_EQ(std::string(buffer, done), "old records");
    DL_FsCloseFile(reader);

    // A rename that fails, injected, for a missing source or out of the root, changes neither file.
    put(root.path() / "elf/BlackList.tmp", "never shown");
    phone.files.faults(sim::FileOp::Rename).failNth(1);
    EXPECT_NE(DL_FsRenameFile(w(tmp), w(txt)), FS_OK);
    EXPECT_NE(DL_FsRenameFile(w(u"/elf/missing.tmp"), w(txt)), FS_OK);
    EXPECT_NE(DL_FsRenameFile(w(tmp), w(u"/../BlackList.txt")), FS_OK);
    EXPECT_EQ(host("elf/BlackList.txt"), "new records");
    EXPECT_EQ(host("elf/BlackList.tmp"), "never shown");

    EXPECT_EQ(DL_FsDeleteFile(w(tmp), 0), FS_OK);
    EXPECT_NE(DL_FsDeleteFile(w(tmp), 0), FS_OK);
    EXPECT_NE(DL_FsDeleteFile(w(u"/elf"), 0), FS_OK);
    EXPECT_TRUE(fs::exists(root.path() / "elf"));
}

TEST_F(Platform, MemoryTrackerCountsBlocksPeakAndBadReleases) {
    sim::Memory& memory = phone.memory;
    INT32 error = -1;
    void* a = suAllocMem(100, &error);
    void* b = suAllocMem(50, nullptr);
    void* empty = suAllocMem(0, nullptr);
    ASSERT_TRUE(a && b && empty);
    EXPECT_EQ(error, 0);
    EXPECT_TRUE(empty != a && empty != b);
    EXPECT_EQ(memory.outstandingBlocks(), 3u);
    EXPECT_EQ(memory.outstandingBytes(), 150u);

    suFreeMem(a);
    void* c = suAllocMem(70, nullptr);
    EXPECT_EQ(memory.peakBytes(), 150u);
    memory.resetPeak();
    EXPECT_EQ(memory.peakBytes(), 120u);

    // A double free, a pointer never handed out and one inside a block are bad releases
    // that change nothing; releasing nothing is no fault.
    int local = 0;
    void* const bad[] = {a, &local, static_cast<char*>(b) + 1, nullptr};
    for (void* block : bad) suFreeMem(block);
    EXPECT_EQ(memory.badReleases(), 3u);
    EXPECT_EQ(memory.outstandingBlocks(), 3u);
    EXPECT_EQ(memory.outstandingBytes(), 120u);
    for (void* block : {b, c, empty}) suFreeMem(block);

    for (std::uint32_t nth = 0; nth <= 3; ++nth) {
        memory.faults().failNth(nth);
        for (std::uint32_t call = 1; call <= 4; ++call) {
            void* block = suAllocMem(8, &error);
            EXPECT_EQ(block == nullptr, call == nth) << "call " << call << " of failNth " << nth;
            EXPECT_EQ(error != 0, call == nth);
            suFreeMem(block);
        }
    }
    EXPECT_EQ(memory.outstandingBlocks(), 0u);
    EXPECT_EQ(memory.outstandingBytes(), 0u);
    EXPECT_EQ(memory.badReleases(), 3u);
}

TEST(PlatformText, NumbersBecomeTheirDecimalDigits) {
    const std::pair<INT32, std::u16string> cases[] = {
        {0, u"0"}, {7, u"7"}, {10, u"10"}, {2147483647, u"2147483647"}, {-255, u"-255"}, {INT_MIN, u"-2147483648"},
    };
    for (const auto& [number, digits] : cases) {
        WCHAR out[16];
        std::fill(std::begin(out), std::end(out), WCHAR{0xAAAA});
        EXPECT_EQ(u_ltou(number, out), out);
        EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(out)), digits);
        EXPECT_EQ(out[digits.size() + 1], 0xAAAA) << "wrote past the zero for " << number;
    }
}

TEST(PlatformText, BytesWidenNarrowCopyAndAppendKeepingTheirValue) {
    std::string bytes;
    for (int b = 1; b <= 0xFF; ++b) bytes.push_back(static_cast<char>(b));
    std::vector<WCHAR> wide(bytes.size() + 2, 0xAAAA);
    EXPECT_EQ(u_atou(bytes.c_str(), wide.data()), wide.data());
    for (std::size_t i = 0; i < bytes.size(); ++i) ASSERT_EQ(wide[i], i + 1) << "byte " << i + 1;
    EXPECT_EQ(wide[255], 0);
    EXPECT_EQ(wide[256], 0xAAAA);
    EXPECT_EQ(u_strlen(wide.data()), 255u);

    std::string narrow(bytes.size() + 2, '\x55');
    EXPECT_EQ(u_utoa(wide.data(), narrow.data()), narrow.data());
    EXPECT_EQ(narrow, bytes + '\0' + '\x55');
    char low[8];
    u_utoa(w(u"\u0410\u0451\u2116A"), low);  // wider code units keep their low eight bits
    EXPECT_EQ(std::string(low),
              "\x10\x51\x16"
              "A");
    EXPECT_EQ(strlen("\xC0\xC1"), 2u);

    WCHAR text[32];
    std::fill(std::begin(text), std::end(text), WCHAR{0xAAAA});
    EXPECT_EQ(u_strcpy(text, w(u"Black")), text);
    EXPECT_EQ(u_strcat(text, w(u"List")), text);
    u_strcat(text, w(u""));
    u_strcat(text, w(u".txt"));
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(text)), u"BlackList.txt");
    EXPECT_EQ(text[14], 0xAAAA);
    EXPECT_EQ(u_strlen(w(u"")), 0u);
}

TEST(PlatformText, UnsignedDivisionTakesTheDivisorFirst) {
    const UINT32 cases[][3] = {
        // divisor, dividend, quotient
        {3, 10, 3}, {10, 3, 0}, {1, 0xFFFFFFFFu, 0xFFFFFFFFu}, {0xFFFFFFFFu, 0xFFFFFFFFu, 1}, {12, 255, 21}, {0, 5, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(__rt_udiv(c[0], c[1]), c[2]) << c[1] << " / " << c[0];
}

}  // namespace
