// quorvex palette: the 256 rows of a colour-index palette column.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <string>
#include <vector>

#include "cli/cli_helpers.h"
#include "cli/run_program.h"

namespace qv::test {
namespace {

struct Row {
    int index;
    unsigned color;
    int equals;
};

// Runs the command and reads its rows; every line must be one.
std::vector<Row> paletteRows(const std::vector<std::string>& args) {
    std::vector<std::string> all = {"palette"};
    all.insert(all.end(), args.begin(), args.end());
    ProgramResult r = runQuorvex(all);
    EXPECT_TRUE(r.exited && r.exitCode == 0) << r.describe();
    EXPECT_EQ(r.err, "");
    const std::regex line(R"((\d+) 0x00([0-9A-F]{6}) (\d+))");
    std::vector<Row> rows;
    for (const auto& l : splitLines(r.out)) {
        std::smatch m;
        EXPECT_TRUE(std::regex_match(l, m, line)) << "not a palette row: '" << l << "'";
        if (m.empty()) continue;
        rows.push_back({std::stoi(m[1].str()), unsigned(std::stoul(m[2].str(), nullptr, 16)),
                        std::stoi(m[3].str())});
    }
    return rows;
}

std::map<int, int> rowsNotEqualToThemselves(const std::vector<Row>& rows) {
    std::map<int, int> out;
    for (const auto& r : rows)
        if (r.equals != r.index) out[r.index] = r.equals;
    return out;
}

TEST(PaletteCommand, DefaultColumnIsColumn8) {
    std::vector<Row> rows = paletteRows({});
    ASSERT_EQ(rows.size(), 256u);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(rows[size_t(i)].index, i);
    EXPECT_EQ(rows[0].color, 0x000000u);
    EXPECT_EQ(rows[0].equals, 0);
    EXPECT_EQ(rows[1].color, 0x0000FFu);  // red, as 0x00BBGGRR
    EXPECT_EQ(rows[1].equals, 1);
    std::map<int, int> expected = {{10, 1},  {50, 2},  {90, 3}, {130, 4},
                                   {170, 5}, {210, 6}, {255, 7}};
    EXPECT_EQ(rowsNotEqualToThemselves(rows), expected);

    std::vector<Row> explicit8 = paletteRows({"8"});
    ASSERT_EQ(explicit8.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(explicit8[i].color, rows[i].color) << i;
}

TEST(PaletteCommand, EqualsIsTheLowestRowOfTheSameColour) {
    const std::map<std::string, size_t> differing = {{"4", 114}, {"5", 154}};
    for (char c = '0'; c <= '8'; ++c) {
        const std::string column(1, c);
        SCOPED_TRACE("column " + column);
        std::vector<Row> rows = paletteRows({column});
        ASSERT_EQ(rows.size(), 256u);
        EXPECT_EQ(rows[0].equals, 0);
        for (size_t i = 1; i < rows.size(); ++i) {
            int lowest = int(i);
            for (size_t j = 1; j < i; ++j) {
                if (rows[j].color == rows[i].color) {
                    lowest = int(j);
                    break;
                }
            }
            EXPECT_EQ(rows[i].equals, lowest) << "row " << i;
        }
        if (auto it = differing.find(column); it != differing.end()) {
            EXPECT_EQ(rowsNotEqualToThemselves(rows).size(), it->second);
        }
    }
}

TEST(PaletteCommand, RefusesABadColumn) {
    const std::vector<std::vector<std::string>> bad = {{"9"},  {"-1"}, {"x"},
                                                       {"10"}, {""},   {"4", "5"}};
    for (const auto& args : bad) {
        std::vector<std::string> all = {"palette"};
        all.insert(all.end(), args.begin(), args.end());
        ProgramResult r = runQuorvex(all);
        SCOPED_TRACE("palette " +
                     (args.size() > 1 ? args[0] + " " + args[1] : "'" + args[0] + "'"));
        ASSERT_TRUE(r.exited) << r.describe();
        EXPECT_EQ(r.exitCode, 2) << r.describe();
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("usage: quorvex palette"), std::string::npos) << r.err;
    }
}

}  // namespace
}  // namespace qv::test
