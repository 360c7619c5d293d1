// The sample module's file, examples/checklist/list_file.c, on its own: what a checklist.txt reads
// as, what a list is written as, and that a failed write leaves the old file whole. The platform's
// file and memory functions are stand-ins over a map of files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

extern "C" {
#include "checklist.h"
#include "platform/files.h"
}

checklist_t* list = nullptr;

namespace {
std::map<std::u16string, std::string> files;
struct Open {
    std::u16string path;
    std::string bytes;
    std::size_t at = 0;
    bool writing = false;
};
std::vector<Open> handles;
bool failWrite = false, failClose = false;
int renames = 0;

std::u16string path(const WCHAR* p) { return std::u16string(reinterpret_cast<const char16_t*>(p)); }
const std::u16string kFile = u"/elf/checklist.txt", kTemp = u"/elf/checklist.tmp";
}  // namespace

extern "C" {
UINT32 DL_FsSGetFileSize(const WCHAR* p, UINT32) {
    const auto f = files.find(path(p));
    return f == files.end() ? 0 : static_cast<UINT32>(f->second.size());
}
UINT32 DL_FsOpenFile(const WCHAR* p, UINT32 mode, UINT32) {
    const auto f = files.find(path(p));
    if (mode == FS_MODE_READ && f == files.end()) return FS_INVALID_HANDLE;
    handles.push_back({path(p), mode == FS_MODE_READ ? f->second : "", 0, mode == FS_MODE_WRITE});
    return static_cast<UINT32>(handles.size() - 1);
}
UINT32 DL_FsReadFile(void* buffer, UINT32 size, UINT32 count, UINT32 handle, UINT32* done) {
    Open& h = handles.at(handle);
    const std::size_t n = std::min<std::size_t>(size * count, h.bytes.size() - h.at);
    h.bytes.copy(static_cast<char*>(buffer), n, h.at);
    h.at += n;
    *done = static_cast<UINT32>(n);
    return FS_OK;
}
UINT32 DL_FsWriteFile(const void* buffer, UINT32 size, UINT32 count, UINT32 handle, UINT32* done) {
    *done = 0;
    if (failWrite) return 1;
    handles.at(handle).bytes.append(static_cast<const char*>(buffer), size * count);
    *done = size * count;
    return FS_OK;
}
UINT32 DL_FsCloseFile(UINT32 handle) {
    const Open& h = handles.at(handle);
    if (h.writing && failClose) return 1;
    if (h.writing) files[h.path] = h.bytes;
    return FS_OK;
}
UINT32 DL_FsRenameFile(const WCHAR* from, const WCHAR* to) {
    ++renames;
    files[path(to)] = files.at(path(from));
    files.erase(path(from));
    return FS_OK;
}
UINT32 DL_FsDeleteFile(const WCHAR* p, UINT32) { return files.erase(path(p)) == 1 ? FS_OK : 1; }
void* suAllocMem(UINT32 size, INT32*) { return std::malloc(size); }
void suFreeMem(void* block) { std::free(block); }
}

namespace {
struct Item {
    std::u16string text;
    bool ticked;
    bool operator==(const Item&) const = default;
};

std::vector<Item> read(const std::string& bytes) {
    files = {{kFile, bytes}};
    list_read();
    std::vector<Item> items;
    for (UINT32 i = 0; i < list->count; ++i) items.push_back({path(list->items[i].text), list->items[i].ticked != 0});
    return items;
}

class ChecklistFile : public ::testing::Test {
protected:
    void SetUp() override {
        list = new checklist_t{};
        files.clear(), handles.clear(), failWrite = failClose = false, renames = 0;
        ASSERT_TRUE(list_file_path("/elf/checklist.elf"));
    }
    void TearDown() override { delete list; }
};
}  // namespace

TEST_F(ChecklistFile, ReadsEachLineAsAnItem) {
    const std::u16string thirty = u"123456789012345678901234567890";
    const struct {
        std::string bytes;
        std::vector<Item> items;
    } cases[] = {
        {"", {}},
        {"[x] done\n[ ] to do\n", {{u"done", true}, {u"to do", false}}},
        {"plain\r\n\r\n\n[x] last", {{u"plain", false}, {u"last", true}}},
        {"[x]no blank\n[?] odd box\n", {{u"[x]no blank", false}, {u"odd box", false}}},
        {"\xd0\x9f\xd1\x80\xd0\xb8 \xe2\x82\xac\n", {{u"При €", false}}},
        // A byte that starts no whole UTF-8 character is the character of its value.
        {"caf\xe9\n", {{u"caf\u00e9", false}}},
        {"\xe2\x82\n\xc3", {{u"\u00e2\u0082", false}, {u"\u00c3", false}}},
        {"[ ] 1234567890123456789012345678901234", {{thirty, false}}},
        {"1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n", {{u"1", false}, {u"2", false}, {u"3", false}, {u"4", false},
                                                 {u"5", false}, {u"6", false}, {u"7", false}, {u"8", false},
                                                 {u"9", false}, {u"10", false}}},
        {std::string(3000, 'a') + "\nunread\n", {{std::u16string(30, u'a'), false}}},  // 2048 bytes are read
    };
    for (const auto& c : cases) EXPECT_EQ(read(c.bytes), c.items) << c.bytes;
    files.clear();
    list_read();
    EXPECT_EQ(list->count, 0u) << "a missing file is an empty list";
}

TEST_F(ChecklistFile, WritesWhatItReads) {
    const std::string bytes = "[x] done\n[ ] \xd0\x9f\xd1\x80\xd0\xb8 \xe2\x82\xac\n[ ] caf\xc3\xa9\n";
    read(bytes);
    files.clear();
    EXPECT_EQ(list_write(), FS_OK);
    EXPECT_EQ(files, (std::map<std::u16string, std::string>{{kFile, bytes}})) << "no temporary file is left";
    list->count = 0;
    EXPECT_EQ(list_write(), FS_OK);
    EXPECT_EQ(files.at(kFile), "") << "an empty list is an empty file";
}

TEST_F(ChecklistFile, AFailedWriteLeavesTheOldFile) {
    for (bool* fault : {&failWrite, &failClose}) {
        read("[ ] old\n");
        list->items[0].ticked = 1;
        *fault = true;
        EXPECT_NE(list_write(), FS_OK);
        EXPECT_EQ(files, (std::map<std::u16string, std::string>{{kFile, "[ ] old\n"}}));
        EXPECT_EQ(renames, 0);
        *fault = false;
    }
}

TEST_F(ChecklistFile, ItsPathIsBesideTheModule) {
    list_read();  // the path the stand-ins were asked for
    files = {{u"/a/b/checklist.txt", "[x] here\n"}};
    ASSERT_TRUE(list_file_path("/a/b/mine.elf"));
    list_read();
    EXPECT_EQ(list->count, 1u);
    EXPECT_FALSE(list_file_path(("/" + std::string(250, 'd') + "/x.elf").c_str())) << "a path too long";
}
