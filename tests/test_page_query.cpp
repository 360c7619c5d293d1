// The web page's settings from its address: the language and the runner's fault options.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "page_query.hpp"

namespace {

struct QueryCase {
    const char* query;
    bool valid;
    std::uint8_t language = sim::kDefaultLanguage;
    std::optional<std::uint32_t> write = std::nullopt, rename = std::nullopt, powerLoss = std::nullopt;
    std::optional<std::uint64_t> diskLimit = std::nullopt;
};

TEST(PageQuery, ReadsTheLanguageAndTheFaultsAndRefusesBadValues) {
    const QueryCase cases[] = {
        {"", true},
        {"?lang=ru", true, LANGUAGE_RUSSIAN},
        {"lang=EN&fail-write=1", true, LANGUAGE_ENGLISH, 1},
        {"fail-rename=3&disk-limit=0&power-loss-at-write=2", true, sim::kDefaultLanguage, std::nullopt, 3, 2, 0},
        {"file=QUJD&lang=0x24&unknown", true, 0x24},
        {"fail-write=0", false},
        {"fail-write=x", false},
        {"fail-write=", false},
        {"disk-limit=-1", false},
        {"lang=de", false},
    };
    for (const QueryCase& c : cases) {
        SCOPED_TRACE(c.query);
        const auto settings = web::parseQuery(c.query);
        ASSERT_EQ(settings.has_value(), c.valid);
        if (!settings) continue;
        EXPECT_EQ(settings->language, c.language);
        EXPECT_EQ(settings->faults.write, c.write);
        EXPECT_EQ(settings->faults.rename, c.rename);
        EXPECT_EQ(settings->faults.powerLossAtWrite, c.powerLoss);
        EXPECT_EQ(settings->faults.diskLimit, c.diskLimit);
    }
}

}  // namespace
