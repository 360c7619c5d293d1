#include "app_test.hpp"

using namespace nuvtest;

TEST_F(AppTest, BootsIntoMainState) {
    boot();
    EXPECT_EQ(phone().state(), sim::AppState::Main);
    EXPECT_EQ(records(), kDefaultRecord);
}
