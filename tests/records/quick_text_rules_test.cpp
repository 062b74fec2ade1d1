// Quick-text records: eight lines of free text, the comma fields after the
// tags, on the QD Type commentator window's data.
#include "records/columns.h"
#include "support/record_fakes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

TEST(QuickTextRecords, EightTrimmedLinesInOrder) {
  RecordsFixture f;
  f.Dispatch("{qdtype}+{data}, one,two ,  three  four ,4,5,6,7,8,");
  EXPECT_EQ(f.journal, Lines({"show quick_text"}));
  EXPECT_EQ(GridRows(f.data.quick_text.lines),
            Lines({"one", "two", "three  four", "4", "5", "6", "7", "8"}));
}

TEST(QuickTextRecords, LinesAreCutTo255Characters) {
  RecordsFixture f;
  const std::string long_line(300, 'w');
  f.Dispatch("{qdtype}+{data}," + long_line + ",two,");
  EXPECT_EQ(f.data.quick_text.lines.Cell(0, 0), long_line.substr(0, 255));
  EXPECT_EQ(f.data.quick_text.lines.Cell(0, 1), "two");
}

TEST(QuickTextRecords, PlusFollowedAtOnceByACommaSetsNoFlag) {
  RecordsFixture f;
  f.Dispatch("{qdtype}+,one,two,");
  EXPECT_TRUE(f.journal.empty());
  EXPECT_EQ(GridRows(f.data.quick_text.lines), Lines(kQuickTextLines, ""));
}

TEST(QuickTextRecords, ThreeLinesThenFiveEmptyAndASecondRecordReplacesAll) {
  RecordsFixture f;
  f.Dispatch("{qdtype}+{data},1,2,3,4,5,6,7,8,9,10,");
  f.Dispatch("{qdtype}+{data},a,b,c,");
  EXPECT_EQ(GridRows(f.data.quick_text.lines), Lines({"a", "b", "c", "", "", "", "", ""}));
  f.Dispatch("{qdtype}+{data},1,2,3,4,5,6,7,8,9,10,");
  EXPECT_EQ(GridRows(f.data.quick_text.lines), Lines({"1", "2", "3", "4", "5", "6", "7", "8"}));
}

}  // namespace
