// The simulated platform's own services: the path sandbox, the file service and its
// injected failures, the memory tracker, and the 16-bit text functions, each driven
// directly or through the platform calls the application makes.
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
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

bool inside(const fs::path& root, const fs::path& p) {
    const fs::path rel = p.lexically_normal().lexically_relative(root);
    return !rel.empty() && *rel.begin() != ".." && rel != ".";
}

// 16-bit text of the platform from a char16_t literal.
const WCHAR* w(const std::u16string& text) { return reinterpret_cast<const WCHAR*>(text.c_str()); }

std::u16string fromWide(const WCHAR* text) {
    std::u16string out;
    while (*text) out.push_back(static_cast<char16_t>(*text++));
    return out;
}

// ---------------------------------------------------------------- path sandbox

class SimSandbox : public ::testing::Test {
protected:
    TempFolder root;
    TempFolder outside;
    sim::PathSandbox sandbox{root.path()};
};

TEST_F(SimSandbox, PhonePathsMapInsideTheRoot) {
    struct Case {
        std::u16string phone;
        fs::path host;
    };
    const Case cases[] = {
        {u"/elf/x", "elf/x"},
        {u"elf/x", "elf/x"},
        {u"//elf//./x/", "elf/x"},
        {u"/elf/BlackList.txt", "elf/BlackList.txt"},
        {u"/\u0437\u0430\u043F\u0438\u0441\u0438.txt", "\xD0\xB7\xD0\xB0\xD0\xBF\xD0\xB8\xD1\x81\xD0\xB8.txt"},
        {u"/\xD83D\xDE00", "\xF0\x9F\x98\x80"},  // a surrogate pair is one character
        {u"/a/b/c/d.e", "a/b/c/d.e"},
    };
    for (const Case& c : cases) {
        const auto host = sandbox.resolve(c.phone);
        ASSERT_TRUE(host.has_value()) << c.host;
        EXPECT_EQ(*host, sandbox.root() / c.host);
        EXPECT_TRUE(inside(sandbox.root(), *host)) << *host;
    }
}

TEST_F(SimSandbox, PathsThatWouldLeaveTheRootAreRefused) {
    const std::u16string refused[] = {
        u"",          u"/",           u"/.",           u"..",           u"/..",
        u"/a/../b",   u"/elf/..",     u"/elf/../../etc/passwd",         u"../x",
        u"/\xD800",   u"/\xDC00x",    u"/\xD800x",     u"/x\xDBFF",     u"/\xDFFF\xD800",
        std::u16string(u"/..\0", 4),  std::u16string(u"/elf/a\0b", 8),
    };
    for (const std::u16string& path : refused) {
        std::string shown;
        for (char16_t c : path) shown += c < 0x80 ? std::string(1, static_cast<char>(c)) : "\\u" + std::to_string(c);
        EXPECT_FALSE(sandbox.resolve(path).has_value()) << "\"" << shown << "\"";
    }
}

TEST_F(SimSandbox, LinksAreNeverFollowed) {
    put(outside.path() / "secret.txt", "host file");
    fs::create_directories(root.path() / "elf");
    fs::create_directory_symlink(outside.path(), root.path() / "out");
    fs::create_directory_symlink(outside.path(), root.path() / "elf" / "deeper");
    fs::create_symlink(outside.path() / "secret.txt", root.path() / "elf" / "BlackList.txt");
    fs::create_directory_symlink(root.path() / "elf", root.path() / "inner");  // even one that stays inside

    for (const std::u16string path : {u"/out", u"/out/secret.txt", u"/out/new.txt", u"/elf/deeper/secret.txt",
                                      u"/elf/BlackList.txt", u"/inner/x"}) {
        EXPECT_FALSE(sandbox.resolve(path).has_value()) << std::string(path.begin(), path.end());
    }

    // Nor does the file service write through them.
    sim::FileSystem files(root.path());
    EXPECT_EQ(files.open(u"/elf/BlackList.txt", sim::OpenMode::Write), sim::FileSystem::kInvalidHandle);
    EXPECT_EQ(files.open(u"/out/new.txt", sim::OpenMode::Write), sim::FileSystem::kInvalidHandle);
    EXPECT_EQ(files.open(u"/out/secret.txt", sim::OpenMode::Read), sim::FileSystem::kInvalidHandle);
    EXPECT_EQ(files.size(u"/out/secret.txt"), 0u);
    EXPECT_FALSE(files.remove(u"/out/secret.txt"));
    EXPECT_EQ(contents(outside.path() / "secret.txt"), "host file");
    EXPECT_FALSE(fs::exists(outside.path() / "new.txt"));
}

// ---------------------------------------------------------------- file service

class SimFiles : public ::testing::Test {
protected:
    std::optional<std::string> readAll(const std::u16string& path, std::uint32_t bytes = 4096) {
        const std::uint32_t handle = files.open(path, sim::OpenMode::Read);
        if (handle == sim::FileSystem::kInvalidHandle) return std::nullopt;
        std::string out(bytes, '\0');
        const auto got = files.read(handle, out.data(), bytes);
        EXPECT_TRUE(files.close(handle));
        if (!got) return std::nullopt;
        out.resize(*got);
        return out;
    }
    bool writeAll(const std::u16string& path, const std::string& bytes) {
        const std::uint32_t handle = files.open(path, sim::OpenMode::Write);
        if (handle == sim::FileSystem::kInvalidHandle) return false;
        const auto moved = files.write(handle, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
        const bool closed = files.close(handle);
        return moved && *moved == bytes.size() && closed;
    }

    TempFolder root;
    sim::FileSystem files{root.path()};
};

TEST_F(SimFiles, WriteModeCreatesAndDropsOldContent) {
    fs::create_directories(root.path() / "elf");
    EXPECT_EQ(files.size(u"/elf/a.txt"), 0u);
    ASSERT_TRUE(writeAll(u"/elf/a.txt", "a longer first content"));
    EXPECT_EQ(files.size(u"/elf/a.txt"), 22u);
    ASSERT_TRUE(writeAll(u"/elf/a.txt", "short"));
    EXPECT_EQ(contents(root.path() / "elf/a.txt"), "short");
    EXPECT_EQ(files.size(u"/elf/a.txt"), 5u);
    EXPECT_EQ(readAll(u"/elf/a.txt"), "short");

    // Opening for writing empties the file at once, before anything is written.
    const std::uint32_t handle = files.open(u"/elf/a.txt", sim::OpenMode::Write);
    ASSERT_NE(handle, sim::FileSystem::kInvalidHandle);
    EXPECT_EQ(files.size(u"/elf/a.txt"), 0u);
    EXPECT_TRUE(files.close(handle));
    EXPECT_EQ(files.openHandles(), 0u);
}

TEST_F(SimFiles, MissingFilesHaveNoSizeAndCannotBeRead) {
    fs::create_directories(root.path() / "elf");
    EXPECT_EQ(files.size(u"/elf/none.txt"), 0u);
    EXPECT_EQ(files.size(u"/elf"), 0u);  // a folder is no file
    EXPECT_EQ(files.open(u"/elf/none.txt", sim::OpenMode::Read), sim::FileSystem::kInvalidHandle);
    EXPECT_EQ(files.open(u"/elf", sim::OpenMode::Read), sim::FileSystem::kInvalidHandle);
    EXPECT_EQ(files.open(u"/nofolder/x.txt", sim::OpenMode::Write), sim::FileSystem::kInvalidHandle);
    EXPECT_FALSE(fs::exists(root.path() / "elf/none.txt"));
    EXPECT_EQ(files.openHandles(), 0u);
}

TEST_F(SimFiles, ReadsStopAtTheEndAndUnknownHandlesFail) {
    put(root.path() / "f.bin", std::string("\0\x01\xFF\r\n", 5));
    const std::uint32_t handle = files.open(u"/f.bin", sim::OpenMode::Read);
    ASSERT_NE(handle, sim::FileSystem::kInvalidHandle);
    char buffer[16] = {};
    EXPECT_EQ(files.read(handle, buffer, 3), 3u);
    EXPECT_EQ(files.read(handle, buffer + 3, 10), 2u);  // only two bytes are left
    EXPECT_EQ(std::string(buffer, 5), std::string("\0\x01\xFF\r\n", 5));
    EXPECT_EQ(files.read(handle, buffer, 4), 0u);
    EXPECT_FALSE(files.write(handle, "x", 1).has_value()) << "a file opened for reading took a write";
    EXPECT_TRUE(files.close(handle));

    EXPECT_FALSE(files.read(handle, buffer, 1).has_value());
    EXPECT_FALSE(files.write(handle, buffer, 1).has_value());
    EXPECT_FALSE(files.close(handle));
    EXPECT_FALSE(files.read(sim::FileSystem::kInvalidHandle, buffer, 1).has_value());
}

TEST_F(SimFiles, InjectedFailuresHitExactlyTheChosenCall) {
    put(root.path() / "f.txt", "content");
    for (std::uint32_t nth = 1; nth <= 3; ++nth) {
        files.faults(sim::FileOp::Open).failNth(nth);
        for (std::uint32_t call = 1; call <= 4; ++call) {
            const std::uint32_t handle = files.open(u"/f.txt", sim::OpenMode::Read);
            EXPECT_EQ(handle == sim::FileSystem::kInvalidHandle, call == nth) << "open " << call << " of failNth " << nth;
            if (handle != sim::FileSystem::kInvalidHandle) files.close(handle);
        }
    }

    // A failing read moves nothing; the next read goes on from the start.
    std::uint32_t handle = files.open(u"/f.txt", sim::OpenMode::Read);
    char buffer[8] = {};
    files.faults(sim::FileOp::Read).failNth(1);
    EXPECT_FALSE(files.read(handle, buffer, 7).has_value());
    EXPECT_EQ(files.read(handle, buffer, 7), 7u);
    EXPECT_EQ(std::string(buffer, 7), "content");
    files.close(handle);

    // A failing write leaves the file as the open left it: empty.
    handle = files.open(u"/f.txt", sim::OpenMode::Write);
    files.faults(sim::FileOp::Write).failNth(1);
    EXPECT_FALSE(files.write(handle, "new", 3).has_value());
    EXPECT_TRUE(files.close(handle));
    EXPECT_EQ(contents(root.path() / "f.txt"), "");

    // failAlways holds until cleared; every call is counted.
    files.faults(sim::FileOp::Size).failAlways();
    put(root.path() / "g.txt", "12345");
    EXPECT_EQ(files.size(u"/g.txt"), 0u);
    EXPECT_EQ(files.size(u"/g.txt"), 0u);
    files.faults(sim::FileOp::Size).clear();
    EXPECT_EQ(files.size(u"/g.txt"), 5u);
    EXPECT_EQ(files.faults(sim::FileOp::Size).calls(), 3u);
    EXPECT_EQ(files.openHandles(), 0u);
}

TEST_F(SimFiles, RenamePutsTheNewFileInPlaceOfTheOld) {
    put(root.path() / "elf/BlackList.txt", "old records");
    put(root.path() / "elf/BlackList.tmp", "new records");
    EXPECT_TRUE(files.rename(u"/elf/BlackList.tmp", u"/elf/BlackList.txt"));
    EXPECT_EQ(contents(root.path() / "elf/BlackList.txt"), "new records");
    EXPECT_FALSE(fs::exists(root.path() / "elf/BlackList.tmp"));

    // A reader that had the old file open keeps reading the old bytes whole.
    put(root.path() / "elf/BlackList.tmp", "newer");
    const std::uint32_t reader = files.open(u"/elf/BlackList.txt", sim::OpenMode::Read);
    ASSERT_NE(reader, sim::FileSystem::kInvalidHandle);
    EXPECT_TRUE(files.rename(u"/elf/BlackList.tmp", u"/elf/BlackList.txt"));
    char buffer[32] = {};
    EXPECT_EQ(files.read(reader, buffer, sizeof buffer), 11u);
    EXPECT_EQ(std::string(buffer, 11), "new records");
    files.close(reader);
    EXPECT_EQ(contents(root.path() / "elf/BlackList.txt"), "newer");

    // A rename that fails, injected or for a missing source, changes neither file.
    put(root.path() / "elf/BlackList.tmp", "never shown");
    files.faults(sim::FileOp::Rename).failNth(1);
    EXPECT_FALSE(files.rename(u"/elf/BlackList.tmp", u"/elf/BlackList.txt"));
    EXPECT_FALSE(files.rename(u"/elf/missing.tmp", u"/elf/BlackList.txt"));
    EXPECT_FALSE(files.rename(u"/elf/BlackList.tmp", u"/../BlackList.txt"));
    EXPECT_EQ(contents(root.path() / "elf/BlackList.txt"), "newer");
    EXPECT_EQ(contents(root.path() / "elf/BlackList.tmp"), "never shown");

    EXPECT_TRUE(files.remove(u"/elf/BlackList.tmp"));
    EXPECT_FALSE(files.remove(u"/elf/BlackList.tmp"));
    EXPECT_FALSE(files.remove(u"/elf"));
    EXPECT_TRUE(fs::exists(root.path() / "elf"));
}

// ---------------------------------------------------------------- memory tracker

TEST(SimMemory, TracksBlocksBytesAndThePeak) {
    sim::Memory memory;
    void* a = memory.allocate(100);
    void* b = memory.allocate(50);
    void* empty = memory.allocate(0);
    ASSERT_TRUE(a && b && empty);
    EXPECT_NE(empty, a);
    EXPECT_NE(empty, b);
    EXPECT_EQ(memory.outstandingBlocks(), 3u);
    EXPECT_EQ(memory.outstandingBytes(), 150u);
    EXPECT_EQ(memory.peakBytes(), 150u);

    EXPECT_TRUE(memory.release(a));
    EXPECT_EQ(memory.outstandingBytes(), 50u);
    EXPECT_EQ(memory.peakBytes(), 150u);
    void* c = memory.allocate(70);
    EXPECT_EQ(memory.peakBytes(), 150u);
    memory.resetPeak();
    EXPECT_EQ(memory.peakBytes(), 120u);

    // A double free and a pointer that was never handed out are bad releases, and
    // change nothing else.
    EXPECT_FALSE(memory.release(a));
    int local = 0;
    EXPECT_FALSE(memory.release(&local));
    EXPECT_FALSE(memory.release(static_cast<char*>(b) + 1));
    EXPECT_EQ(memory.badReleases(), 3u);
    EXPECT_EQ(memory.outstandingBlocks(), 3u);
    EXPECT_EQ(memory.outstandingBytes(), 120u);

    for (void* block : {b, c, empty}) EXPECT_TRUE(memory.release(block));
    EXPECT_EQ(memory.outstandingBlocks(), 0u);
    EXPECT_EQ(memory.outstandingBytes(), 0u);
}

TEST(SimMemory, ChosenAllocationFails) {
    for (std::uint32_t nth = 1; nth <= 4; ++nth) {
        sim::Memory memory;
        memory.faults().failNth(nth);
        std::vector<void*> blocks;
        for (std::uint32_t call = 1; call <= 5; ++call) {
            void* block = memory.allocate(8);
            EXPECT_EQ(block == nullptr, call == nth) << "call " << call << " of failNth " << nth;
            if (block) blocks.push_back(block);
        }
        EXPECT_EQ(memory.outstandingBlocks(), 4u);
        EXPECT_EQ(memory.outstandingBytes(), 32u);
        for (void* block : blocks) memory.release(block);
        EXPECT_EQ(memory.badReleases(), 0u);
    }
}

// ---------------------------------------------------------------- platform calls

// The platform functions as the application calls them, reaching an active phone.
class PlatformCalls : public ::testing::Test {
protected:
    TempFolder root;
    sim::Phone phone{sim::PhoneOptions{root.path(), sim::kLanguageEnglish}};
};

TEST_F(PlatformCalls, FileCallsFollowTheirModes) {
    fs::create_directories(root.path() / "elf");
    const std::u16string path = u"/elf/BlackList.txt";
    EXPECT_EQ(DL_FsSGetFileSize(w(path), 0), 0u);
    EXPECT_EQ(DL_FsOpenFile(w(path), FS_MODE_READ, 0), FS_INVALID_HANDLE);
    EXPECT_EQ(DL_FsOpenFile(w(path), 2, 0), FS_INVALID_HANDLE) << "an unknown mode";
    EXPECT_EQ(DL_FsOpenFile(nullptr, FS_MODE_WRITE, 0), FS_INVALID_HANDLE);
    EXPECT_FALSE(fs::exists(root.path() / "elf/BlackList.txt"));

    UINT32 file = DL_FsOpenFile(w(path), FS_MODE_WRITE, 0);
    ASSERT_NE(file, FS_INVALID_HANDLE);
    UINT32 done = 99;
    EXPECT_EQ(DL_FsWriteFile("+80501234567 info", 17, 1, file, &done), FS_OK);
    EXPECT_EQ(done, 17u);
    EXPECT_EQ(DL_FsCloseFile(file), FS_OK);
    EXPECT_EQ(DL_FsSGetFileSize(w(path), 0), 17u);

    // Mode 1 again: the old content is gone even though fewer bytes are written.
    file = DL_FsOpenFile(w(path), FS_MODE_WRITE, 0);
    EXPECT_EQ(DL_FsWriteFile("ab", 2, 1, file, &done), FS_OK);
    EXPECT_EQ(DL_FsCloseFile(file), FS_OK);
    EXPECT_EQ(contents(root.path() / "elf/BlackList.txt"), "ab");

    // Mode 0 reads from the start; meeting the end first is no failure, `done` tells
    // how many bytes came.
    file = DL_FsOpenFile(w(path), FS_MODE_READ, 0);
    char buffer[8] = {};
    EXPECT_EQ(DL_FsReadFile(buffer, 5, 1, file, &done), FS_OK);
    EXPECT_EQ(done, 2u);
    EXPECT_EQ(std::string(buffer, 2), "ab");
    EXPECT_EQ(DL_FsCloseFile(file), FS_OK);
    EXPECT_NE(DL_FsCloseFile(file), FS_OK);

    // Injected failures reach the application's calls too.
    phone.files.faults(sim::FileOp::Open).failNth(1);
    EXPECT_EQ(DL_FsOpenFile(w(path), FS_MODE_READ, 0), FS_INVALID_HANDLE);
    file = DL_FsOpenFile(w(path), FS_MODE_READ, 0);
    phone.files.faults(sim::FileOp::Read).failNth(1);
    done = 99;
    EXPECT_NE(DL_FsReadFile(buffer, 2, 1, file, &done), FS_OK);
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(DL_FsCloseFile(file), FS_OK);
    EXPECT_EQ(phone.files.openHandles(), 0u);
}

TEST_F(PlatformCalls, MemoryCallsAreTracked) {
    INT32 error = -1;
    void* a = suAllocMem(64, &error);
    EXPECT_NE(a, nullptr);
    EXPECT_EQ(error, 0);
    void* b = suAllocMem(16, nullptr);
    EXPECT_EQ(phone.memory.outstandingBlocks(), 2u);
    EXPECT_EQ(phone.memory.peakBytes(), 80u);

    phone.memory.faults().failNth(1);
    EXPECT_EQ(suAllocMem(8, &error), nullptr);
    EXPECT_NE(error, 0);

    suFreeMem(a);
    suFreeMem(a);
    suFreeMem(nullptr);  // releasing nothing is no fault
    EXPECT_EQ(phone.memory.badReleases(), 1u);
    suFreeMem(b);
    EXPECT_EQ(phone.memory.outstandingBlocks(), 0u);
}

// ---------------------------------------------------------------- 16-bit text

TEST(PlatformText, NumbersBecomeTheirDecimalDigits) {
    struct Case {
        INT32 number;
        const char16_t* digits;
    };
    const Case cases[] = {
        {0, u"0"},           {7, u"7"},          {10, u"10"},
        {255, u"255"},       {1000000, u"1000000"}, {2147483647, u"2147483647"},
        {-1, u"-1"},         {-255, u"-255"},    {INT_MIN, u"-2147483648"},
    };
    for (const Case& c : cases) {
        WCHAR out[16];
        std::fill(std::begin(out), std::end(out), WCHAR{0xAAAA});
        EXPECT_EQ(u_ltou(c.number, out), out);
        EXPECT_EQ(fromWide(out), c.digits) << c.number;
        EXPECT_EQ(out[std::char_traits<char16_t>::length(c.digits) + 1], 0xAAAA) << "wrote past the zero for " << c.number;
    }
}

TEST(PlatformText, BytesWidenAndNarrowKeepingTheirValue) {
    // Every non-zero byte, with those of 0x80 and above in particular, keeps its value.
    std::string bytes;
    for (int b = 1; b <= 0xFF; ++b) bytes.push_back(static_cast<char>(b));
    std::vector<WCHAR> wide(bytes.size() + 2, 0xAAAA);
    EXPECT_EQ(u_atou(bytes.c_str(), wide.data()), wide.data());
    for (std::size_t i = 0; i < bytes.size(); ++i) ASSERT_EQ(wide[i], i + 1) << "byte " << i + 1;
    EXPECT_EQ(wide[bytes.size()], 0);
    EXPECT_EQ(wide[bytes.size() + 1], 0xAAAA);
    EXPECT_EQ(u_strlen(wide.data()), 255u);

    std::string narrow(bytes.size() + 2, '\x55');
    EXPECT_EQ(u_utoa(wide.data(), narrow.data()), narrow.data());
    EXPECT_EQ(narrow.substr(0, bytes.size()), bytes);
    EXPECT_EQ(narrow[bytes.size()], '\0');
    EXPECT_EQ(narrow[bytes.size() + 1], '\x55');

    // Narrowing keeps the low eight bits of wider code units.
    const std::u16string units = u"\u0410\u0451\u2116A";
    char low[8];
    u_utoa(w(units), low);
    EXPECT_EQ(std::string(low), "\x10\x51\x16" "A");

    WCHAR empty[2] = {0xAAAA, 0xAAAA};
    u_atou("", empty);
    EXPECT_EQ(empty[0], 0);
    EXPECT_EQ(empty[1], 0xAAAA);
    EXPECT_EQ(strlen("\xC0\xC1"), 2u);
}

TEST(PlatformText, CopyAndAppend) {
    WCHAR text[32];
    std::fill(std::begin(text), std::end(text), WCHAR{0xAAAA});
    EXPECT_EQ(u_strcpy(text, w(u"Black")), text);
    EXPECT_EQ(u_strcat(text, w(u"List")), text);
    EXPECT_EQ(u_strcat(text, w(u"")), text);
    EXPECT_EQ(u_strcat(text, w(u".txt")), text);
    EXPECT_EQ(fromWide(text), u"BlackList.txt");
    EXPECT_EQ(u_strlen(text), 13u);
    EXPECT_EQ(text[14], 0xAAAA);
    EXPECT_EQ(u_strlen(w(u"")), 0u);
}

TEST(PlatformText, UnsignedDivisionTakesTheDivisorFirst) {
    struct Case {
        UINT32 divisor, dividend, quotient;
    };
    const Case cases[] = {
        {3, 10, 3},          {10, 3, 0},          {1, 0xFFFFFFFFu, 0xFFFFFFFFu}, {0xFFFFFFFFu, 0xFFFFFFFFu, 1},
        {2, 0x80000000u, 0x40000000u}, {12, 255, 21}, {7, 0, 0},  {0, 5, 0}, {0, 0, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(__rt_udiv(c.divisor, c.dividend), c.quotient) << c.dividend << " / " << c.divisor;
}

}  // namespace
