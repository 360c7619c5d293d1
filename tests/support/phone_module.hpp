#pragma once
// A test that runs the phone's own module needs the build to have it (NUV_HAVE_PHONE_MODULE, from
// the configure step): in a build without it the test is skipped and says why.
#include <gtest/gtest.h>

#define NUV_SKIP_WITHOUT_PHONE_MODULE()                                                             \
    if (!NUV_HAVE_PHONE_MODULE)                                                                     \
    GTEST_SKIP() << "the phone's module " << NUV_ARM_MODULE_PATH << " is not built in this build (" \
                 << "no arm-none-eabi-gcc, or NUV_PHONE_MODULE=OFF)"
