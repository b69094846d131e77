// Hives written by hand or damaged in odd ways keep every value we set.
#include <gtest/gtest.h>

#include <string>

#include "platform/registry.h"
#include "support/test_support.h"

namespace qv::platform {
namespace {

std::string fileText(const std::string& relative) {
    auto b = test::readFile(test::sourcePath(relative));
    return std::string(b.begin(), b.end());
}

TEST(RegistryRegression, AValueAfterADanglingContinuationIsNotSwallowed) {
    const char* texts[] = {
        // a hex value continued with a backslash on the last line of the file
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Talmund\\Quorvex\\Options]\r\n"
        "\"Bad\"=hex:01,02,\\",
        // the same without the key we write to (the key block is appended)
        "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Other]\n\"Bad\"=hex:01,\\\n",
    };
    for (const char* text : texts) {
        auto hive = RegistryHive::parse(text);
        ASSERT_TRUE(hive);
        hive->set("Software\\Talmund\\Quorvex\\Options", "Crop", RegValue::fromDword(1));
        auto again = RegistryHive::parse(hive->text());
        ASSERT_TRUE(again);
        EXPECT_EQ(again->get("Software\\Talmund\\Quorvex\\Options", "Crop"), RegValue::fromDword(1)) << text;
    }
}

TEST(RegistryRegression, TheFuzzerFoundHiveKeepsTheValueSetOnIt) {
    auto hive = RegistryHive::parse(fileText("fuzz/crashes/hive-set-value-lost.reg"));
    ASSERT_TRUE(hive);
    hive->set("software\\talmund\\quorvex\\options", "Lineoptions", RegValue::fromDword(1162369850));
    auto again = RegistryHive::parse(hive->text());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->get("software\\talmund\\quorvex\\options", "Lineoptions"), RegValue::fromDword(1162369850));
}

}  // namespace
}  // namespace qv::platform
