// The simulated platform's own services, driven through the platform calls an application
// makes: the path sandbox, files and their injected failures, the memory tracker, 16-bit text,
// the framework's event loop, and drawing checked against a plain pixel-by-pixel reference.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "app_test.hpp"
#include "platform_values.hpp"
#include "host/host_module.hpp"
#include "platform/drawing.h"
#include "platform/files.h"
#include "platform/memory.h"
#include "platform/text.h"

using namespace nuvtest;
namespace fs = std::filesystem;

namespace {

void put(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

const WCHAR* w(const std::u16string& text) { return reinterpret_cast<const WCHAR*>(text.c_str()); }

class Platform : public ::testing::Test {
protected:
    Platform() { fs::create_directories(root.path() / "elf"); }
    std::string host(const char* name) const { return readFile(root.path() / name); }

    TempFolder root, outside;
    sim::Phone phone{sim::PhoneOptions{root.path(), LANGUAGE_ENGLISH}};
    const sim::PathSandbox& sandbox = phone.files().sandbox();
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
        u"/\xDFFF\xD800",
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
    EXPECT_NE(DL_FsDeleteFile(w(u"/out/secret.txt"), 0), FS_OK);
    EXPECT_EQ(readFile(outside.path() / "secret.txt"), "host file");
    EXPECT_FALSE(fs::exists(outside.path() / "new.txt"));
}

// Writing empties the file at the open; reading meets the end without failing and `done` tells
// how much came; an injected failure hits exactly the chosen call and moves nothing; a failed
// close keeps nothing of what was written.
TEST_F(Platform, FilesFollowTheirModesAndInjectedFailures) {
    const std::u16string path = u"/elf/f.txt";
    EXPECT_EQ(DL_FsOpenFile(w(path), FS_MODE_READ, 0), FS_INVALID_HANDLE);
    EXPECT_EQ(DL_FsOpenFile(w(path), 2, 0), FS_INVALID_HANDLE) << "an unknown mode";
    EXPECT_EQ(DL_FsSGetFileSize(w(path), 0), 0u) << "a missing file";
    EXPECT_EQ(DL_FsSGetFileSize(w(u"/elf"), 0), FS_SIZE_UNKNOWN) << "a folder is no file";
    UINT32 done = 99, file = DL_FsOpenFile(w(path), FS_MODE_WRITE, 0);
    EXPECT_EQ(DL_FsWriteFile("content", 7, 1, file, &done), FS_OK);
    EXPECT_EQ(DL_FsCloseFile(file), FS_OK);
    char buffer[8] = {};
    for (std::uint32_t nth = 1; nth <= 3; ++nth) {
        phone.files().faults(sim::FileOp::Read).failNth(nth);
        file = DL_FsOpenFile(w(path), FS_MODE_READ, 0);
        UINT32 left = 7;
        for (std::uint32_t call = 1; call <= 3; ++call) {
            const bool failed = DL_FsReadFile(buffer, 4, 1, file, &done) != FS_OK;
            EXPECT_EQ(failed, call == nth);
            EXPECT_EQ(done, failed ? 0u : std::min(left, 4u));
            left -= done;
        }
        EXPECT_NE(DL_FsWriteFile("x", 1, 1, file, &done), FS_OK) << "a file opened for reading took a write";
        EXPECT_EQ(DL_FsCloseFile(file), FS_OK);
        EXPECT_NE(DL_FsCloseFile(file), FS_OK);
    }
    file = DL_FsOpenFile(w(path), FS_MODE_WRITE, 0);
    EXPECT_EQ(DL_FsSGetFileSize(w(path), 0), 0u);
    EXPECT_EQ(DL_FsWriteFile("new", 3, 1, file, &done), FS_OK);
    phone.files().faults(sim::FileOp::Close).failNth(1);
    EXPECT_NE(DL_FsCloseFile(file), FS_OK);
    EXPECT_EQ(host("elf/f.txt"), "");
    EXPECT_EQ(phone.files().openHandles(), 0u);
}

TEST_F(Platform, RenamePutsTheNewFileInPlaceOfTheOldInOneStep) {
    const std::u16string tmp = u"/elf/BlackList.tmp", txt = u"/elf/BlackList.txt";
    put(root.path() / "elf/BlackList.txt", "old records");
    put(root.path() / "elf/BlackList.tmp", "new records");
    const UINT32 reader = DL_FsOpenFile(w(txt), FS_MODE_READ, 0);
    EXPECT_EQ(DL_FsRenameFile(w(tmp), w(txt)), FS_OK);
    EXPECT_EQ(host("elf/BlackList.txt"), "new records");
    char buffer[32] = {};  // a reader that had the old file open keeps reading it whole
    UINT32 done = 0;
    EXPECT_EQ(DL_FsReadFile(buffer, sizeof buffer, 1, reader, &done), FS_OK);
    EXPECT_EQ(std::string(buffer, done), "old records");
    DL_FsCloseFile(reader);
    // A rename that fails, injected, from a missing file or out of the root changes neither file.
    put(root.path() / "elf/BlackList.tmp", "never shown");
    phone.files().faults(sim::FileOp::Rename).failNth(1);
    for (const auto& [from, to] : {std::pair{tmp, txt}, {u"/elf/missing.tmp", txt}, {tmp, u"/../BlackList.txt"}})
        EXPECT_NE(DL_FsRenameFile(w(from), w(to)), FS_OK);
    EXPECT_EQ(host("elf/BlackList.txt"), "new records");
    EXPECT_EQ(host("elf/BlackList.tmp"), "never shown");
}

TEST_F(Platform, MemoryTrackerCountsBlocksPeakAndBadReleases) {
    sim::Memory& memory = phone.memory();
    INT32 error = -1;
    void* a = suAllocMem(100, &error);
    void* b = suAllocMem(50, nullptr);
    void* empty = suAllocMem(0, nullptr);
    ASSERT_TRUE(a && b && empty);
    EXPECT_EQ(error, 0);
    EXPECT_TRUE(empty != a && empty != b);
    EXPECT_EQ(memory.outstandingBytes(), 150u);
    suFreeMem(a);
    void* c = suAllocMem(70, nullptr);
    EXPECT_EQ(memory.peakBytes(), 150u);
    EXPECT_EQ(memory.restOfBlock(static_cast<char*>(c) + 60).size(), 10u);
    EXPECT_TRUE(memory.restOfBlock(static_cast<char*>(c) + 70).empty());
    // What the heap cannot give is refused, also a request near 4 GiB.
    for (UINT32 size : {UINT32{0xFFFFFFFF}, static_cast<UINT32>(sim::Memory::kHeapBytes + 1)}) {
        EXPECT_EQ(suAllocMem(size, &error), nullptr);
        EXPECT_NE(error, 0);
    }
    memory.faults().failNth(2);
    void* first = suAllocMem(8, nullptr);
    EXPECT_EQ(suAllocMem(8, nullptr), nullptr);
    suFreeMem(first);
    for (void* block : {b, c, empty}) suFreeMem(block);
    EXPECT_EQ(memory.outstandingBlocks(), 0u);
    EXPECT_EQ(phone.framework().fault(), "");
}

// The whole heap can be had in blocks of any size, up to the count of blocks it keeps; blocks
// released in any order leave it whole again.
TEST(PlatformMemory, TheWholeHeapCanBeHadWhateverTheBlockSizes) {
    sim::Memory memory;
    for (std::uint32_t size : {40000u, 0u, 4096u * 1024u + 1, static_cast<std::uint32_t>(sim::Memory::kHeapBytes)}) {
        std::vector<void*> blocks;
        while (void* block = memory.allocate(size)) blocks.push_back(block);
        const std::size_t each = std::max<std::size_t>((size + 7) / 8 * 8, 8);
        EXPECT_EQ(blocks.size(), std::min(sim::Memory::kHeapBytes / each, sim::Memory::kMostBlocks)) << size;
        std::shuffle(blocks.begin(), blocks.end(), std::mt19937(size));
        for (void* block : blocks) EXPECT_TRUE(memory.release(block));
    }
    EXPECT_EQ(memory.badReleases(), 0u);
    EXPECT_NE(memory.allocate(static_cast<std::uint32_t>(sim::Memory::kHeapBytes)), nullptr);
}

TEST(PlatformText, NumbersTextAndDivision) {
    const std::pair<INT32, std::u16string> numbers[] = {
        {0, u"0"}, {7, u"7"}, {2147483647, u"2147483647"}, {-255, u"-255"}, {INT_MIN, u"-2147483648"}};
    for (const auto& [number, digits] : numbers) {
        WCHAR out[16];
        std::fill(std::begin(out), std::end(out), WCHAR{0xAAAA});
        EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(u_ltou(number, out))), digits);
        EXPECT_EQ(out[digits.size() + 1], 0xAAAA) << "wrote past the zero for " << number;
    }
    // Bytes widen and narrow keeping their value; wider code units keep their low eight bits.
    std::string bytes;
    for (int b = 1; b <= 0xFF; ++b) bytes.push_back(static_cast<char>(b));
    std::vector<WCHAR> wide(bytes.size() + 2, 0xAAAA);
    u_atou(bytes.c_str(), wide.data());
    for (std::size_t i = 0; i < bytes.size(); ++i) ASSERT_EQ(wide[i], i + 1) << "byte " << i + 1;
    EXPECT_EQ(u_strlen(wide.data()), 255u);
    EXPECT_EQ(wide[256], 0xAAAA);
    std::string narrow(bytes.size() + 2, '\x55');
    u_utoa(wide.data(), narrow.data());
    EXPECT_EQ(narrow, bytes + '\0' + '\x55');
    char low[8];
    EXPECT_EQ(std::string(u_utoa(w(u"\u0410\u0451A"), low)),
              "\x10\x51"
              "A");
    WCHAR text[32];
    u_strcat(u_strcat(u_strcpy(text, w(u"Black")), w(u"")), w(u"List"));
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(text)), u"BlackList");
    // The divisor comes first.
    const UINT32 divisions[][3] = {{3, 10, 3}, {10, 3, 0}, {1, 0xFFFFFFFFu, 0xFFFFFFFFu}, {12, 255, 21}, {0, 5, 0}};
    for (const auto& [divisor, dividend, quotient] : divisions) EXPECT_EQ(__rt_udiv(divisor, dividend), quotient);
}

// Text copied onto itself would run past its end, and a function that needs memory cannot work on
// none: either is the module's fault, which halts the framework, and the call changes nothing.
TEST(PlatformText, TextCopiedOntoItselfOrANullPointerIsTheModulesFault) {
    const std::pair<const char*, std::function<void(WCHAR*)>> misdeeds[] = {
        {"handed u_strcpy overlapping arguments", [](WCHAR* text) { u_strcpy(text + 1, text); }},
        {"handed u_strcat overlapping arguments", [](WCHAR* text) { u_strcat(text, text + 2); }},
        {"handed u_atou overlapping arguments", [](WCHAR* text) { u_atou(reinterpret_cast<char*>(text), text); }},
        {"handed u_strlen a null pointer as its first argument", [](WCHAR*) { u_strlen(nullptr); }},
    };
    TempFolder root;
    for (const auto& [what, misdeed] : misdeeds) {
        SCOPED_TRACE(what);
        sim::Phone phone{sim::PhoneOptions{root.path(), LANGUAGE_ENGLISH}};
        std::u16string text = u"abcdef";
        misdeed(reinterpret_cast<WCHAR*>(text.data()));
        EXPECT_EQ(text, u"abcdef");
        EXPECT_NE(phone.framework().fault().find(std::string("the application crashed: it ") + what), std::string::npos)
            << phone.framework().fault();
    }
}

// The framework reads a handler table only up to its end marker, stops a handler that keeps
// posting events, and forgets the module when it is unloaded.
namespace {
int ticksHandled = 0;
UINT32 countTick(event_context_t*, app_record_t*) {
    ++ticksHandled;
    return 0;
}
int ticksPosted = 0;
UINT32 postAnother(event_context_t* ev, app_record_t*) {
    ++ticksPosted;
    return AFW_AddEvEvD(ev, EV_TICK);
}
UINT32 startNothing(event_context_t*, UINT32) { return 0; }
}  // namespace

TEST_F(Platform, EventLoopReadsTablesToTheirEndAndStopsARunawayHandler) {
    const event_handler_entry_t ended[] = {{EVENT_TABLE_END, nullptr}, {EV_TICK, countTick}};
    const event_handler_entry_t looping[] = {{EV_TICK, postAnother}, {EVENT_TABLE_END, nullptr}};
    const state_row_t states[] = {
        {0, {}, nullptr, nullptr, ended}, {1, {}, nullptr, nullptr, ended}, {2, {}, nullptr, nullptr, looping}};
    const std::uint32_t base = 7;
    sim::HostCode code{phone.watchdog()};
    phone.framework().useCode(code);
    ASSERT_EQ(phone.framework().registerApp(&base, 1, sim::hostAddress(states), 3, sim::hostAddress(startNothing)), 0u);
    app_record_t* app = phone.framework().initAppData(sim::hostAddress(APP_HandleEvent), sizeof(app_record_t), 1);
    ASSERT_EQ(phone.framework().start(app, 1, sim::hostAddress(states), 0, nullptr), 0u);
    phone.deliver(EV_TICK);
    EXPECT_EQ(ticksHandled, 0);
    EXPECT_EQ(phone.framework().fault(), "");

    ASSERT_EQ(phone.framework().changeState(2, app), 0u);
    phone.deliver(EV_TICK);
    EXPECT_NE(phone.framework().fault().find("kept queueing events"), std::string::npos);
    // Halted: the framework takes no more events.
    const int posted = ticksPosted;
    phone.deliver(EV_TICK);
    EXPECT_EQ(ticksPosted, posted);

    phone.framework().forgetModule();
    EXPECT_FALSE(phone.framework().registered());
    phone.deliver(EV_TICK);  // nothing of the module is called any more
    EXPECT_EQ(ticksHandled, 0);
}

// A call that needs a phone, made while none runs, fails with a message; the process goes on.
TEST(PlatformShells, ACallWithoutAPhoneFailsWithAMessage) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(suAllocMem(8, nullptr), nullptr);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("suAllocMem: a platform function was called with no phone running"), std::string::npos) << said;
}

// Drawing: every primitive against a reference that walks each pixel through the general
// raster operation and the clip, on random shapes, clips and raster codes; then shapes far
// outside the 16-bit range, which must cost no more than the pixels they reach.
struct Reference {
    sim::Surface& dst;
    const sim::Surface& src;
    std::uint8_t rop;
    sim::Rgb565 brush;
    sim::Graphics::Box clip;
    void plot(std::int64_t x, std::int64_t y, sim::Rgb565 source) {
        if (x < clip.x1 || x >= clip.x2 || y < clip.y1 || y >= clip.y2 || !dst.contains(int(x), int(y))) return;
        dst.set(int(x), int(y), sim::applyRop3(rop, brush, source, dst.at(int(x), int(y))));
    }
    void plot(std::int64_t x, std::int64_t y) { plot(x, y, src.at(int(x), int(y))); }
    // A glyph's ink takes the colour as it is, whatever the raster operation.
    void paint(std::int64_t x, std::int64_t y, sim::Rgb565 colour) {
        if (x >= clip.x1 && x < clip.x2 && y >= clip.y1 && y < clip.y2 && dst.contains(int(x), int(y)))
            dst.set(int(x), int(y), colour);
    }
    // Bresenham's walk with its error term starting at dx - |dy|.
    void line(ahi_point_t a, ahi_point_t b) {
        std::int64_t x = a.x, y = a.y, dx = std::abs(std::int64_t{b.x} - a.x), dy = -std::abs(std::int64_t{b.y} - a.y);
        const int sx = a.x < b.x ? 1 : -1, sy = a.y < b.y ? 1 : -1;
        for (std::int64_t err = dx + dy;;) {
            plot(x, y);
            if (x == b.x && y == b.y) return;
            const std::int64_t e2 = 2 * err;
            if (e2 >= dy) err += dy, x += sx;
            if (e2 <= dx) err += dx, y += sy;
        }
    }
};

class Drawing : public Platform {
protected:
    sim::Graphics& g = phone.graphics();
    static constexpr std::uint32_t ctx = sim::Graphics::kContext;
    std::mt19937 random{12345};
    int any(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); }
    void scribble(sim::Surface& s) {
        for (int y = 0; y < s.height(); ++y)
            for (int x = 0; x < s.width(); ++x) s.set(x, y, static_cast<sim::Rgb565>(random()));
    }
};

TEST_F(Drawing, EveryPrimitiveMatchesThePixelByPixelReference) {
    const std::uint32_t rops[] = {ROP_COPY_SOURCE, ROP_PAINT_BRUSH, 0x66, 0x00, 0xFF, 0x5A, 0x88};
    for (int round = 0; round < 600; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        scribble(g.offscreen());
        scribble(g.display());
        const bool sameSurface = round % 3 == 0;
        g.setDestination(ctx, sim::Graphics::kDisplay);
        g.setSource(ctx, sameSurface ? sim::Graphics::kDisplay : sim::Graphics::kOffscreen);
        const ahi_rect_t clip{any(-20, 100), any(-20, 100), any(60, 200), any(60, 240)};
        const ahi_rect_t srcClip{any(-20, 80), any(-20, 80), any(80, 200), any(80, 240)};
        g.setDestinationClip(ctx, round % 4 ? &clip : nullptr);
        g.setSourceClip(ctx, round % 5 ? &srcClip : nullptr);
        const auto rop = rops[std::size_t(round) % std::size(rops)];
        g.setRop(ctx, rop);
        const auto brush = static_cast<sim::Rgb565>(random());
        g.setBrushColor(ctx, brush);

        sim::Surface expected = g.display();
        // Lines and fills read the source where they draw, as it is then; a copy reads it as it
        // was before the copy began.
        const sim::Surface source = sameSurface ? g.display() : g.offscreen();
        Reference ref{expected, sameSurface ? expected : g.offscreen(), static_cast<std::uint8_t>(rop), brush,
                      round % 4 ? sim::Graphics::Box{clip.x1, clip.y1, clip.x2, clip.y2}
                                : sim::Graphics::Box{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}};
        const ahi_rect_t r{any(-300, 250), any(-300, 300), any(-300, 250), any(-300, 300)};
        const ahi_point_t a{any(-400, 400), any(-400, 400)}, b{any(-400, 400), any(-400, 400)};
        switch (round % 4) {
        case 3: {
            // Glyphs in the text colour, some repeated (the drawing remembers a glyph's ink).
            std::vector<std::vector<UINT8>> bits;
            std::vector<glyph_record_t> glyphs;
            for (int i = any(1, 6); i > 0; --i) {
                const int w = any(0, 12), h = any(0, 14);
                bits.emplace_back((w * h + 7) / 8 + 1);
                for (UINT8& byte : bits.back()) byte = static_cast<UINT8>(any(0, 2) ? random() : bits.size() * 37);
                glyphs.push_back({UINT8(w), 0, UINT8(any(0, 14)), UINT8(h), bits.back().data()});
            }
            glyphs.push_back(glyphs.front());
            g.setTextColor(ctx, brush);
            const ahi_point_t at{any(-10, 170), any(-10, 215)};
            g.drawGlyphs(ctx, at, glyphs);
            std::int64_t pen = at.x;
            for (const glyph_record_t& glyph : glyphs) {
                for (int bit = 0; bit < glyph.width * glyph.height; ++bit)
                    if (glyph.bits[bit / 8] & (0x80 >> (bit % 8)))
                        ref.paint(pen + bit % glyph.width, std::int64_t{at.y} + bit / glyph.width, brush);
                pen += glyph.advance;
            }
            break;
        }
        case 0: {
            g.fillSpans(ctx, std::span(&r, 1));
            for (std::int64_t y = r.y1; y < r.y2; ++y)
                for (std::int64_t x = r.x1; x < r.x2; ++x) ref.plot(x, y);
            break;
        }
        case 1: {
            const ahi_point_t points[] = {a, b, {a.x, b.y}};
            g.drawLines(ctx, points);
            ref.line(a, b);
            ref.line(b, {a.x, b.y});
            break;
        }
        case 2: {
            g.bitBlt(ctx, r, a);
            for (std::int64_t y = r.y1; y < r.y2; ++y)
                for (std::int64_t x = r.x1; x < r.x2; ++x) {
                    const bool inSource =
                        source.contains(int(x), int(y)) &&
                        (round % 5 == 0 || (x >= srcClip.x1 && x < srcClip.x2 && y >= srcClip.y1 && y < srcClip.y2));
                    if (inSource) ref.plot(a.x + (x - r.x1), a.y + (y - r.y1), source.at(int(x), int(y)));
                }
            break;
        }
        }
        ASSERT_TRUE(g.display() == expected) << "rop 0x" << std::hex << rop;
    }
}

TEST_F(Drawing, FarAwayShapesAreCutBeforeTheyAreWalked) {
    g.setDestination(ctx, sim::Graphics::kDisplay);
    g.setRop(ctx, ROP_PAINT_BRUSH);
    g.setBrushColor(ctx, 0xFFFF);
    // A long line that crosses the screen: the same pixels as the reference walk.
    const ahi_point_t crossing[] = {{-500000, -3}, {500000, 300}};
    g.drawLines(ctx, crossing);
    sim::Surface expected;
    Reference{expected, g.offscreen(), 0xF0, 0xFFFF, {0, 0, 176, 220}}.line(crossing[0], crossing[1]);
    EXPECT_TRUE(g.display() == expected);
    // Lines, fills and copies reaching the ends of the 32-bit range finish at once and change
    // only what lies on the screen.
    const ahi_point_t extremes[] = {{INT32_MIN, INT32_MIN}, {INT32_MAX, INT32_MAX}, {INT32_MIN, 100},
                                    {INT32_MAX, 101},       {50, INT32_MIN},        {51, INT32_MAX}};
    g.drawLines(ctx, extremes);
    const ahi_rect_t huge{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    g.setRop(ctx, ROP_COPY_SOURCE);
    for (const ahi_point_t to : {ahi_point_t{INT32_MAX - 5, 0}, ahi_point_t{INT32_MIN, INT32_MIN}}) {
        EXPECT_TRUE(g.bitBlt(ctx, huge, to));
        EXPECT_TRUE(g.bitBlt(ctx, {INT32_MAX - 10, 0, INT32_MAX, 5}, {0, 0}));
    }
    g.setRop(ctx, ROP_PAINT_BRUSH);
    EXPECT_TRUE(g.fillSpans(ctx, std::span(&huge, 1)));
    EXPECT_EQ(g.display(), sim::Surface(176, 220, 0xFFFF));
}

}  // namespace

// A buffer's size from a size and a count: exactly what 32 bits can say, and no more.
TEST(PlatformValues, ByteCountStopsAtWhatThirtyTwoBitsSay) {
    struct Row {
        std::uint64_t size, count;
        std::optional<std::uint32_t> bytes;
    };
    const Row rows[] = {
        {0, UINT32_MAX, 0u},
        {UINT32_MAX, 0, 0u},
        {UINT32_MAX, 1, UINT32_MAX},
        {65536, 65535, 0xFFFF0000u},
        {65536, 65536, std::nullopt},
        {0x80000000u, 2, std::nullopt},
        {1, std::uint64_t{1} << 32, std::nullopt},
        {3, 0x55555555u, 0xFFFFFFFFu},
        {3, 0x55555556u, std::nullopt},
    };
    for (const Row& r : rows) EXPECT_EQ(sim::byteCount(r.size, r.count), r.bytes) << r.size << " x " << r.count;
}
