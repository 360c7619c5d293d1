// Random sessions against a model: a small list of records written from the rules a user knows
// (not from the application's code), driven by seeded random keys, edits with random texts,
// additions and deletions, with random faults mixed in. After every step the file's bytes are
// the model's, the selection is on the list and nothing is held. A failing seed is printed with
// the command that replays it:  NUV_SEED=<seed> tests/test_model
#include <iconv.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "app_test.hpp"
#include "screen_text.hpp"

using namespace nuvtest;

namespace {

const char* const kNotSaved = "Write error!";

// The byte CP1251 holds a character as, or "?" (the host's iconv is the table).
char cp1251Byte(char16_t c) {
    if (c == u'\r') return ' ';                  // a change is one record
    if (c <= 0xFF) return static_cast<char>(c);  // an 8-bit code stays as it is
    iconv_t cd = ::iconv_open("CP1251", "UTF-16LE");
    char in[2] = {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)}, out[4];
    char *inp = in, *outp = out;
    std::size_t inLeft = 2, outLeft = sizeof out;
    const bool ok = ::iconv(cd, &inp, &inLeft, &outp, &outLeft) == 0 && outLeft == sizeof out - 1;
    ::iconv_close(cd);
    return ok ? out[0] : '?';
}

struct Model {
    std::vector<std::string> records;
    int selected = 1;

    std::string bytes() const {
        std::string out;
        for (std::size_t i = 0; i < records.size(); ++i) out += (i ? "\r\n" : "") + records[i];
        return out;
    }
    int count() const { return static_cast<int>(records.size()); }
    static std::string text(const std::u16string& typed) {
        std::string out;
        for (char16_t c : typed.substr(0, kRecordChars)) out += cp1251Byte(c);
        return out;
    }
    void add(const std::string& record) {
        records.push_back(record);
        selected = count();
    }
    void remove() {
        records.erase(records.begin() + (selected - 1));
        selected = std::min(selected, count());
    }
    void edit(const std::string& record) {
        remove();
        add(record);
        if (records.size() == 1 && records[0].empty()) records[0] = kDefaultRecord;
    }
};

std::u16string randomText(std::mt19937& random) {
    static const std::u16string alphabet = u"abcXYZ 019+-.,\u0410\u0416\u044F\u0401\u0451\u4E2D\u20AC\u2116\r\n";
    std::u16string text;
    const int length = std::uniform_int_distribution<int>(0, 60)(random);
    for (int i = 0; i < length; ++i) {
        if (random() % 40 == 0) text += u"\U0001F600";  // a pair of surrogates
        text += alphabet[random() % alphabet.size()];
    }
    return text;
}

class RandomSession : public AppTest {
protected:
    std::mt19937 random;
    Model model;

    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); }

    // Arms a random fault some calls ahead in one of every few changes; true when one was armed.
    bool maybeFault() {
        if (pick(0, 4) != 0) return false;
        const std::uint32_t n = static_cast<std::uint32_t>(pick(1, 8));
        switch (pick(0, 7)) {
        case 0: phone().memory().faults().failNth(n); break;
        case 1: phone().dialogs().creationFaults().failNth(n); break;
        default: phone().files().faults(static_cast<sim::FileOp>(pick(0, sim::kFileOpCount - 1))).failNth(n); break;
        }
        return true;
    }
    void clearFaults() {
        phone().memory().faults().clear();
        phone().dialogs().creationFaults().clear();
        for (int op = 0; op < sim::kFileOpCount; ++op) phone().files().faults(static_cast<sim::FileOp>(op)).clear();
    }

    // One change through the menu and the editor. With a fault armed it may not be made: then
    // the file is as before and "not saved" is shown, or (a failed editor) nothing at all.
    void change(int item) {
        const Model before = model;
        const std::u16string typed = randomText(random);
        const bool faulty = maybeFault();
        choose(item);
        if (phone().editorOpen()) {
            phone().setEditorText(typed);
            press(KEY_OK);
        }
        clearFaults();
        phone().tick();
        const std::string shown = message();
        const std::string record = Model::text(typed);
        if (item == kAdd && shown.empty()) model.add(record);
        if (item == kDelete && shown.empty() && model.count() > 1) model.remove();
        if (item == kEdit && shown.empty()) model.edit(record);
        if (!shown.empty() || records() != model.bytes()) {
            // A refusal the model knows, or a fault that kept the old file.
            const bool tooLong = item == kEdit && before.records[before.selected - 1].size() > kRecordChars;
            const bool onlyRecord = item == kDelete && before.count() == 1;
            model = before;
            if (!tooLong && !onlyRecord) {
                EXPECT_TRUE(faulty && (shown.empty() || shown == glyphForm(kNotSaved)));
            }
            if (!shown.empty()) press(KEY_OK);
        }
    }

    void step() {
        switch (pick(0, 9)) {
        case 0:
        case 1:
            press(KEY_DOWN);
            model.selected = model.selected % model.count() + 1;
            break;
        case 2:
            press(KEY_UP);
            model.selected = (model.selected + model.count() - 2) % model.count() + 1;
            break;
        case 3: change(kAdd); break;
        case 4: change(kDelete); break;
        case 5:
        case 6: change(kEdit); break;
        case 7: choose(kAbout), press(KEY_OK); break;
        case 8: choose(kExit), press(KEY_OK); break;  // "No" is chosen
        default: press(KEY_SOFT_LEFT), press(KEY_SOFT_LEFT); break;
        }
    }

    void run(unsigned seed, int steps) {
        random.seed(seed);
        model = {};
        for (int i = 0, n = pick(1, 30); i < n; ++i) model.records.push_back(Model::text(randomText(random)));
        restartPhone();
        bootWith(model.bytes());
        for (int i = 0; i < steps && !HasFailure(); ++i) {
            step();
            EXPECT_EQ(visible(records()), visible(model.bytes())) << "step " << i;
            EXPECT_EQ(position(), (Position{model.selected, model.count()})) << "step " << i;
            EXPECT_TRUE(nothingHeld()) << "step " << i;
        }
        const char* module = std::getenv("NUV_MODULE");
        if (HasFailure())
            ADD_FAILURE() << "replay: " << (module ? "NUV_MODULE=" + std::string(module) + " " : "")
                          << "NUV_SEED=" << seed << " tests/test_model (in the build folder)";
    }
};

// NUV_STEPS=<n> runs one session of n steps (of seed 1 unless NUV_SEED says otherwise): the
// phone's module on the emulated CPU runs a few hundred.
TEST_F(RandomSession, FileAndSelectionFollowTheModel) {
    const char* chosen = std::getenv("NUV_SEED");
    const char* steps = std::getenv("NUV_STEPS");
    if (chosen || steps)
        return run(chosen ? static_cast<unsigned>(std::atoi(chosen)) : 1, steps ? std::atoi(steps) : 2000);
    for (unsigned seed = 1; seed <= 12 && !HasFailure(); ++seed) run(seed, 250);
}

}  // namespace
