#include "operations.hpp"

#include "application.hpp"

#include <cstdlib>
#include <fstream>
#include <string>

namespace bench {

namespace {

// "+79001234567 " and digits to 50 bytes.
std::string record(int i) {
    std::string text = "+7900" + std::to_string(1000000 + i) + " record " + std::to_string(i) + " ";
    text.resize(50, static_cast<char>('a' + i % 26));
    return text;
}

void press(sim::Phone& phone, std::initializer_list<std::uint8_t> keys) {
    for (std::uint8_t key : keys) phone.press(key);
}

}  // namespace

BenchPhone::BenchPhone(int records, ModuleKind kind)
    : BenchPhone(records, kind == ModuleKind::Arm ? NUV_ARM_MODULE_PATH : NUV_MODULE_PATH) {}

BenchPhone::BenchPhone(int records, const std::filesystem::path& module, sim::Limits limits) {
    std::string pattern = (std::filesystem::temp_directory_path() / "nuv-oka-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    root_ = pattern;
    std::filesystem::create_directories(root_ / "elf");
    std::ofstream file(root_ / "elf" / "BlackList.txt", std::ios::binary);
    for (int i = 0; i < records; ++i) file << (i ? "\r\n" : "") << record(i);
    file.close();
    phone_ = std::make_unique<sim::Phone>(sim::PhoneOptions{root_, LANGUAGE_RUSSIAN, nullptr, limits});
    if (!phone_->load(module)) std::abort();
}

BenchPhone::~BenchPhone() {
    phone_.reset();
    std::filesystem::remove_all(root_);
}

std::uintmax_t BenchPhone::fileSize() const { return std::filesystem::file_size(root_ / "elf" / "BlackList.txt"); }

const std::vector<Operation>& operations() {
    const auto start = [](sim::Phone& p) {
        if (!p.start(nuvoka::kAppPath)) std::abort();
    };
    const auto tick = [](sim::Phone& p) { p.tick(); };
    const auto confirm = [](sim::Phone& p) { p.press(KEY_OK); };
    static const std::vector<Operation> table = {
        {"startup", "start-up from Lib to the first painted screen, 255 records", 255, true, [](sim::Phone&) {}, start},
        {"repaint-1", "a full repaint, 1 record", 1, false, start, tick},
        {"repaint-12", "a full repaint, 12 records", 12, false, start, tick},
        {"repaint-100", "a full repaint, 100 records", 100, false, start, tick},
        {"repaint-255", "a full repaint, 255 records", 255, false, start, tick},
        {"repaint-10000", "a full repaint, a file of 10,000 records", 10000, false, start, tick},
        {"menu-move", "a move of the menu's highlight, 255 records", 255, false,
         [=](sim::Phone& p) { start(p), p.press(KEY_SOFT_LEFT); }, [](sim::Phone& p) { p.press(KEY_DOWN); }},
        {"menu-open-close", "opening and closing the menu, 255 records", 255, false, start,
         [](sim::Phone& p) {
             press(p, {KEY_SOFT_LEFT, KEY_SOFT_LEFT});
         }},
        {"add", "adding a record (the editor's confirm), 254 records", 254, true,
         [=](sim::Phone& p) {
             start(p), press(p, {KEY_SOFT_LEFT, KEY_DOWN, KEY_DOWN, KEY_OK});
             p.setEditorText(u"+79001234567 added");
         },
         confirm},
        {"delete-first", "deleting the first record, 255 records", 255, true,
         [=](sim::Phone& p) {
             start(p), press(p, {KEY_SOFT_LEFT, KEY_DOWN});
         },
         confirm},
        {"delete-last", "deleting the last record, 255 records", 255, true,
         [=](sim::Phone& p) {
             start(p), press(p, {KEY_UP, KEY_SOFT_LEFT, KEY_DOWN});
         },
         confirm},
        {"edit", "editing the second record (the editor's confirm), 255 records", 255, true,
         [=](sim::Phone& p) {
             start(p), press(p, {KEY_DOWN, KEY_SOFT_LEFT, KEY_OK});
             p.setEditorText(u"+79001234567 edited");
         },
         confirm},
    };
    return table;
}

const Operation* findOperation(const std::string& name) {
    for (const Operation& op : operations())
        if (op.name == name) return &op;
    return nullptr;
}

}  // namespace bench
