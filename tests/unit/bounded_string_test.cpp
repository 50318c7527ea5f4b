#include <gtest/gtest.h>
#include "util/bounded_string.h"
TEST(Placeholder, Builds) { SUCCEED(); }
