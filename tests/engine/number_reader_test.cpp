#include "number_reader.h"

#include <gtest/gtest.h>

TEST(NumberReader, placeholder) { EXPECT_EQ(fb::numberReader("12mm"), 12.0); }
