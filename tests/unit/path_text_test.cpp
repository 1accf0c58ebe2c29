#include "launcher/path_text.h"

#include <gtest/gtest.h>

namespace brevant {
TEST(PathTextTest, Placeholder) { EXPECT_EQ(CombinePath(u"C:\\out", u"index.html"), u"C:\\out\\index.html"); }
}  // namespace brevant
