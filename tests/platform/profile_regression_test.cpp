// Profile files come back from a read and a write exactly as they were,
// whatever line ends they mix. (The inputs are those the fuzz target found.)
#include <gtest/gtest.h>

#include <string>

#include "platform/profile_file.h"
#include "support/test_support.h"

namespace qv::platform {
namespace {

std::string fileText(const std::string& relative) {
    auto b = test::readFile(test::sourcePath(relative));
    return std::string(b.begin(), b.end());
}

TEST(ProfileRegression, LineEndsComeBackAsTheyWere) {
    const std::string texts[] = {
        fileText("fuzz/crashes/profile-mixed-line-ends.ini"),
        fileText("fuzz/crashes/profile-trailing-cr.ini"),
        fileText("fuzz/crashes/profile-cr-before-line-end.ini"),
        "[A]\r\nx=1\ny=2\r\n[B]\nz=3",
        "[A]\nx=1\r",
    };
    for (const std::string& text : texts) {
        ProfileDocument doc = ProfileDocument::fromText(text);
        EXPECT_EQ(doc.text(), text);
        EXPECT_EQ(ProfileDocument::fromText(doc.text()).text(), text);
    }
}

TEST(ProfileRegression, AWrittenLineKeepsItsEndAndNewLinesTakeTheFilesEnd) {
    ProfileDocument doc = ProfileDocument::fromText("[A]\nx=1\r\ny=2");
    doc.set("A", "x", "9");   // replaced in place: keeps its \r\n
    doc.set("A", "z", "3");   // appended after the last line, which then gets an end
    EXPECT_EQ(doc.text(), "[A]\nx=9\r\ny=2\nz=3\n");
}

}  // namespace
}  // namespace qv::platform
