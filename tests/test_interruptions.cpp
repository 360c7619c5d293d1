// An incoming call interrupts the application in each place a user can be, through the script
// engine as a script or the window drives it: the call screen shows, keys do not reach the
// application but the tick does, and after the call is declined (by `resume` or by the end key
// on the call screen) the screen is the one before, pixel for pixel, the file holds what it
// held, nothing is left open and the end key still leaves. Scripts write GOLDEN/ for a copy of
// the golden screens (a failed `expect screen` writes its picture of differences beside it).
// NUV_UPDATE_GOLDEN=1 writes the call screen's reference.
#include <cstdlib>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>

#include "app_test.hpp"
#include "png.hpp"
#include "session.hpp"

using namespace nuvtest;

namespace {

namespace fs = std::filesystem;

struct Place {
    const char* name;
    std::string records;
    std::string script;       // reaches the place
    std::string then = "";    // after the call, before the end key
    bool failRename = false;  // the first rename fails
};

const std::string kRecords = goldenRecords();
const std::string kToEditor = "press down\npress soft-left\npress ok\n";
const Place kPlaces[] = {
    {"list", kRecords, "press down\nexpect screen GOLDEN/list-en.png"},
    {"menu", kRecords, "press down\npress soft-left\nexpect screen GOLDEN/menu-edit-en.png"},
    {"editor", kRecords, kToEditor + "text +79161234567 Иван Петров\nexpect screen GOLDEN/editor-en.png"},
    // A letter still pending under the cursor.
    {"editor-typed", kRecords, kToEditor + "text Typed \npress key-2 3\nexpect state edit"},
    {"exit", kRecords,
     "press down\npress soft-left\npress up\npress ok\npress right\nexpect screen GOLDEN/exit-en.png"},
    {"about", kRecords, "press soft-left\npress up 2\npress ok\nexpect screen GOLDEN/about-en.png"},
    {"error", kDefaultRecord, "press soft-left\npress down\npress ok\nexpect screen GOLDEN/only-record-en.png"},
    // The last record edited to what it was: the file keeps its bytes, the list its last page.
    {"changed", numbered(30), "press up\npress soft-left\npress ok\npress ok\nexpect state main",
     "press up 9\nexpect screen GOLDEN/page-2-en.png"},
    {"not-saved", kRecords, "press soft-left\npress down\npress ok\nexpect screen GOLDEN/not-saved-en.png", "", true},
};

const fs::path kGolden = fs::path(NUV_TESTS_DIR) / "golden";

struct Case {
    const Place* place;
    const char* decline;  // the script line that ends the call
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.place->name << ", declined by " << c.decline; }

std::vector<Case> cases() {
    std::vector<Case> out;
    for (const Place& p : kPlaces)
        for (const char* decline : {"resume", "press end"}) out.push_back({&p, decline});
    return out;
}

std::string panelText(runner::Session& s) {
    std::string text;
    for (const std::string& line : s.panel("F6 resumes")) text += line + "\n";
    return text;
}

}  // namespace

class Interruption : public ::testing::TestWithParam<Case> {
protected:
    TempFolder folder;
    std::ostringstream out, err;
    std::unique_ptr<runner::Session> session;

    void start(const Place& place) {
        fs::create_directories(folder.path() / "elf");
        std::ofstream(folder.path() / "elf/BlackList.txt", std::ios::binary) << place.records;
        runner::SessionConfig config;
        config.fs = folder.path(), config.module = moduleUnderTest(), config.language = LANGUAGE_ENGLISH;
        if (place.failRename)
            config.prepare = [](sim::Phone& phone) { phone.files().faults(sim::FileOp::Rename).failNth(1); };
        session = std::make_unique<runner::Session>(config, out, err);
        ASSERT_EQ(session->start(), std::nullopt) << err.str();
    }

    // Each line must run without a stop.
    void perform(const std::string& script) {
        const fs::path golden = folder.path() / "golden";
        if (!fs::exists(golden)) fs::copy(kGolden, golden);
        std::istringstream lines(std::regex_replace(script, std::regex("GOLDEN/"), golden.string() + "/"));
        EXPECT_EQ(session->performAll(lines, "script"), std::nullopt) << err.str();
    }

    std::string records() { return readFile(folder.path() / "elf/BlackList.txt"); }
};

TEST_P(Interruption, TheCallComesAndGoesWithoutATrace) {
    const Place& place = *GetParam().place;
    start(place);
    perform(place.script);
    const sim::Surface before = session->screen();
    const std::string file = records(), state = session->panel("F6 resumes").front();

    perform("interrupt");
    const char* update = std::getenv("NUV_UPDATE_GOLDEN");
    if (update && std::string(update) == "1" && !std::getenv("NUV_MODULE")) {
        for (const fs::path& dir : {kGolden, folder.path() / "golden"})
            ASSERT_TRUE(sim::writePng(session->screen(), dir / "call-en.png"));
    }
    perform("expect screen GOLDEN/call-en.png");
    EXPECT_EQ(session->panel("F6 resumes").front(), state) << "expect state reports the application's own state";
    EXPECT_NE(panelText(*session).find("interrupted by a call"), std::string::npos) << panelText(*session);
    // The keys go to the call screen, which ignores all but the end key; the tick reaches the
    // application, which paints where no one sees it.
    perform("press down\npress ok\npress soft-left\ntick\nexpect screen GOLDEN/call-en.png");
    EXPECT_NE(panelText(*session).find("last event 0x0014"), std::string::npos) << panelText(*session);

    perform(GetParam().decline);
    EXPECT_FALSE(session->interrupted());
    EXPECT_TRUE(session->screen() == before) << "the screen after the call differs from the one before";
    EXPECT_EQ(session->panel("F6 resumes").front(), state);
    EXPECT_EQ(records(), file);
    const std::string panel = panelText(*session);
    EXPECT_NE(panel.find("memory     0 blocks, 0 bytes\nopen files 0\n"), std::string::npos) << panel;

    perform(place.then);
    perform("press end");
    if (state.find("edit") != std::string::npos) perform("expect state main\npress end");  // back from the editor
    perform("expect state ended");
}

INSTANTIATE_TEST_SUITE_P(Places, Interruption, ::testing::ValuesIn(cases()),
                         [](const ::testing::TestParamInfo<Case>& c) {
                             std::string name = std::string(c.param.place->name) + "_" + c.param.decline;
                             for (char& letter : name)
                                 if (letter == '-' || letter == ' ') letter = '_';
                             return name;
                         });
