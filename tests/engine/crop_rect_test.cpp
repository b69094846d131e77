// The rectangle a render starts from: the frame, or the extent with its margin.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/extent_pass.h"
#include "picture_builder.h"

namespace qv {
namespace {

const Rect kFrame{0, 0, 9000, 7000};

struct CropCase {
    std::string name;
    int crop;
    int leaveMargin;
    double margin;
    Rect extent;
    Rect expected;
};

TEST(CropRect, FollowsCropMarginAndLimits) {
    const std::vector<CropCase> cases = {
        {"crop off gives the frame", 0, 1, 0.5, {1000, 1000, 3000, 2000}, kFrame},
        {"crop off ignores an empty extent", 0, 1, 0.5, {32767, 32767, -32767, -32767}, kFrame},
        {"0.5 percent of 2000 on every side",
         1,
         1,
         0.5,
         {1000, 1000, 3000, 2000},
         {990, 990, 3010, 2010}},
        {"the margin comes from the width only",
         1,
         1,
         1.0,
         {100, 100, 1100, 5100},
         {90, 90, 1110, 5110}},
        {"the margin is truncated", 1, 1, 0.5, {1000, 1000, 2999, 1500}, {991, 991, 3008, 1509}},
        {"kept within 0 and 32760", 1, 1, 0.5, {5, 3, 32755, 32000}, {0, 0, 32760, 32163}},
        {"limits apply with no margin", 1, 1, 0.0, {-20, -1, 32761, 32767}, {0, 0, 32760, 32760}},
        {"leave margin off: the extent as it is",
         1,
         0,
         0.5,
         {-50, -60, 40000, 33000},
         {-50, -60, 40000, 33000}},
    };
    for (const CropCase& c : cases) {
        SCOPED_TRACE(c.name);
        WmfSettings s;
        s.Crop = c.crop;
        s.LeaveMargin = c.leaveMargin;
        s.Margin = c.margin;
        EXPECT_EQ(CropRect(s, c.extent, kFrame), c.expected);
    }
}

}  // namespace
}  // namespace qv
