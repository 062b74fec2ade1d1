#include "records/record_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

namespace {

std::string Repeat(char c, std::size_t n) {
  return std::string(n, c);
}

struct TagCase {
  const char* what;
  std::string tag;
  std::string text;
  std::string value;
};

TEST(TagValue, ReadsTheValueAfterTheFirstExactOccurrence) {
  const std::vector<TagCase> cases = {
      {"plain", "{name}", "{name}Smith{nat}GER", "Smith"},
      {"last tag runs to the end", "{nat}", "{name}Smith{nat}GER", "GER"},
      {"absent", "{rnk}", "{name}Smith", ""},
      {"empty text", "{name}", "", ""},
      {"empty value at the end", "{name}", "{nat}GER{name}", ""},
      {"empty value before the next tag", "{name}", "{name}{nat}GER", ""},
      {"value may hold a closing brace", "{name}", "{name}A}B{nat}", "A}B"},
      {"blanks and commas stay", "{name}", "{name}  A, B  {nat}", "  A, B  "},
      {"first occurrence only", "{rnk}", "{rnk}2{x}{rnk}7", "2"},
      {"later occurrence when the first is empty still loses", "{rnk}", "{rnk}{x}{rnk}7", ""},
      {"not inside a longer name (prefix)", "{name}", "{sname}X", ""},
      {"not inside a longer name (suffix)", "{name}", "{name1}X", ""},
      {"dif is not diff", "{dif}", "{diff}1.2", ""},
      {"clr is not clr_racers", "{clr}", "{clr_racers}+", ""},
      {"sprint is not sprintf", "{sprint}", "{sprintf}+", ""},
      {"found after a look-alike", "{name}", "{sname}X{name}Y", "Y"},
      {"case matters", "{tt}", "{TT}+", ""},
      {"name1 before name10", "{name1}", "{name1}A{name10}B", "A"},
      {"name10 after name1", "{name10}", "{name1}A{name10}B", "B"},
      {"name1 after name10", "{name1}", "{name10}B{name1}A", "A"},
      {"high bytes and control chars pass through", "{name}", "{name}\x80\xff\x01\t\x7f{nat}",
       "\x80\xff\x01\t\x7f"},
      {"empty tag never occurs", "", "}A{", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(TagValue(c.tag, c.text), c.value);
  }
}

TEST(TagValue, ReadsWithinTwoHundredFiftyFiveCharactersFromTheTag) {
  const std::vector<TagCase> cases = {
      {"long value cut for a six-char tag", "{name}", "{name}" + Repeat('a', 300),
       Repeat('a', 249)},
      {"long value cut for a nine-char tag", "{scratch}", "{scratch}" + Repeat('a', 300),
       Repeat('a', 246)},
      {"window counts from the tag, not the text", "{name}",
       Repeat('z', 500) + "{name}" + Repeat('b', 300), Repeat('b', 249)},
      {"next tag beyond the window is not seen", "{name}", "{name}" + Repeat('a', 260) + "{nat}X",
       Repeat('a', 249)},
      {"value exactly filling the window", "{name}", "{name}" + Repeat('a', 249) + "{nat}",
       Repeat('a', 249)},
      {"tag filling the whole window", Repeat('t', 254) + "}", Repeat('t', 254) + "}V", ""},
      {"tag one short of the window", Repeat('t', 253) + "}", Repeat('t', 253) + "}V{", "V"},
      {"tag longer than the window has no brace inside it", "{" + Repeat('t', 260) + "}",
       "{" + Repeat('t', 260) + "}V", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(TagValue(c.tag, c.text), c.value);
  }
}

TEST(TagUses, FlagValueAndOccurrence) {
  struct Case {
    const char* text;
    bool flag;
    bool has_value;
    bool occurs;
  };
  const std::vector<Case> cases = {
      {"{tt}+", true, true, true},     {"{tt}+{x}", true, true, true},
      {"{x}1{tt}+", true, true, true}, {"{tt}+ ", false, true, true},
      {"{tt} +", false, true, true},   {"{tt}++", false, true, true},
      {"{tt}1", false, true, true},    {"{tt}-", false, true, true},
      {"{tt}", false, false, true},    {"{tt}{x}+", false, false, true},
      {"{TT}+", false, false, false},  {"{ttx}+", false, false, false},
      {"", false, false, false},       {"{tt}{x}{tt}+", false, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(FlagSet("{tt}", c.text), c.flag);
    EXPECT_EQ(HasValue("{tt}", c.text), c.has_value);
    EXPECT_EQ(TagOccurs("{tt}", c.text), c.occurs);
  }
  EXPECT_FALSE(TagOccurs("", "{tt}+"));
}

TEST(TrimBlanks, RemovesOnlyBlanksAtEitherEnd) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", ""},
      {"   ", ""},
      {"a", "a"},
      {"  a b  ", "a b"},
      {"\ta\t", "\ta\t"},
      {" \t a \t ", "\t a \t"},
      {"\xa0x\xa0", "\xa0x\xa0"},
  };
  for (const auto& [in, out] : cases) {
    SCOPED_TRACE(in);
    EXPECT_EQ(TrimBlanks(in), out);
  }
}

TEST(CommaField, SplitsTrimsAndCuts) {
  struct Case {
    int n;
    std::string text;
    std::string field;
  };
  const std::string domain = "{qdtype}+{data}, one , two ,,four,";
  const std::vector<Case> cases = {
      {1, "a, b ,,c", "a"},
      {2, "a, b ,,c", "b"},
      {3, "a, b ,,c", ""},
      {4, "a, b ,,c", "c"},
      {5, "a, b ,,c", ""},
      {1, domain, "{qdtype}+{data}"},
      {2, domain, "one"},
      {3, domain, "two"},
      {4, domain, ""},
      {5, domain, "four"},
      {6, domain, ""},
      {1, "", ""},
      {1, "abc", "abc"},
      {2, "abc", ""},
      {1, "a,", "a"},
      {2, "a,", ""},
      {1, ",", ""},
      {2, ",", ""},
      {2, ",,x", ""},
      {3, ",,x", "x"},
      {0, "a,b", ""},
      {-1, "a,b", ""},
      {INT_MIN, "a,b", ""},
      {INT_MAX, "a,b", ""},
      {1, "\ta\t,b", "\ta\t"},
      {2, "a,\x80\xff\x01", "\x80\xff\x01"},
      // Cut before trimming: the blank at 255 is trimmed, the "y" after it is gone.
      {1, Repeat('x', 254) + "  y,z", Repeat('x', 254)},
      {2, "z,   " + Repeat('x', 300), Repeat('x', 252)},
      {2, "z," + Repeat('x', 255) + ",w", Repeat('x', 255)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "field " << c.n << " of \"" << c.text << "\"");
    EXPECT_EQ(CommaField(c.n, c.text), c.field);
  }
}

TEST(ReadInteger, ReadsTheLeadingNumber) {
  const std::vector<std::pair<std::string, std::int32_t>> cases = {
      // Decimal, blanks, signs.
      {"", 0},
      {"0", 0},
      {"007", 7},
      {" 12", 12},
      {"12 ", 12},
      {"   ", 0},
      {"+7", 7},
      {"-3", -3},
      {" -3", -3},
      {"-0", 0},
      {"-", 0},
      {"+", 0},
      {"+-3", 0},
      {"- 3", 0},
      {"\t5", 0},
      {"5\t", 5},
      // A stopping character keeps the digits before it and drops a minus.
      {"12a", 12},
      {"0a", 0},
      {"3.7", 3},
      {"-3a", 3},
      {"-3 ", 3},
      {"-3.7", 3},
      {"word", 0},
      {"12\xff", 12},
      {"\x80", 0},
      {"\x01"
       "5",
       0},
      // Hex.
      {"$1F", 31},
      {"0x10", 16},
      {"0X10", 16},
      {"x10", 16},
      {"X1f", 31},
      {" $10", 16},
      {"$1FG", 31},
      {"$", 0},
      {"0x", 0},
      {"x", 0},
      {"0xG", 0},
      {"-$1F", 0},
      {"+$1F", 0},
      {"-0x1F", 0},
      {"$7fffffff", INT32_MAX},
      {"$FFFFFFFF", -1},
      {"$80000000", INT32_MIN},
      {"$000000000000FFFFFFFF", -1},
      // Overflow.
      {"2147483647", INT32_MAX},
      {"2147483648", INT32_MIN},
      {"-2147483647", -2147483647},
      {"-2147483648", INT32_MIN},
      {"-2147483649", INT32_MIN},
      {"-2147483647 ", INT32_MAX},
      {"-2147483648 ", INT32_MIN},
      {"99999999999", INT32_MIN},
      {"99999999999999999999999999a", INT32_MIN},
      {"0000000000000000000000000042", 42},
      {"$100000000", INT32_MIN},
      {"$1000000000000000000000G", INT32_MIN},
  };
  for (const auto& [in, out] : cases) {
    SCOPED_TRACE("\"" + in + "\"");
    EXPECT_EQ(ReadInteger(in), out);
  }
}

TEST(NumberedTag, BuildsTagsThatMatchOnlyTheirOwnNumber) {
  EXPECT_EQ(NumberedTag("{name", 1), "{name1}");
  EXPECT_EQ(NumberedTag("{ltg", 7), "{ltg7}");
  EXPECT_EQ(NumberedTag("{ltg", 0), "{ltg0}");
  EXPECT_EQ(NumberedTag("{r", INT_MAX), "{r2147483647}");
  EXPECT_EQ(NumberedTag("{name", -1), "");

  const std::string text = "{name10}J{name1}A{name2}B{name11}K";
  const std::vector<std::pair<int, std::string>> expected = {
      {1, "A"}, {2, "B"}, {10, "J"}, {11, "K"}, {3, ""}};
  for (const auto& [i, value] : expected) {
    SCOPED_TRACE(i);
    EXPECT_EQ(TagValue(NumberedTag("{name", i), text), value);
  }
  EXPECT_EQ(TagValue(NumberedTag("{name", -1), "}A"), "");
}

// The index must answer exactly as the plain search: every tag against every
// text, tags of other shapes than "{name}" included (they take the search).
TEST(RecordTags, AnswersAsThePlainSearch) {
  const std::vector<std::string> texts = {
      "",
      "{tt}+",
      "{name}Smith{nat}GER{name}Jones",
      "{rnk}{x}{rnk}7",
      "{sname}X{name1}Y{name10}Z{name}W",
      "{name10}B{name1}A",
      "{{{name}X{{",
      "{name}X{",
      "{name",
      "}{name}}X}{",
      "{a{name}}V{name}W",
      "{}{}+{}",
      "{}+",
      "{ name}A{name }B{name}C",
      "{n\xff}\x80{n\xff}\x01",
      "{tt}+{x}{tt}-",
      "{name}" + Repeat('a', 249) + "{nat}X",
      "{name}" + Repeat('a', 300),
      Repeat('z', 500) + "{name}" + Repeat('b', 260) + "{nat}Y",
      "{" + Repeat('t', 252) + "}V{x}",
      "{" + Repeat('t', 253) + "}V{x}",
      "{" + Repeat('t', 254) + "}V{x}",
      "{" + Repeat('t', 300) + "}V{" + Repeat('t', 300) + "}W",
  };
  const std::vector<std::string> tags = {
      "{name}", "{nat}", "{name1}", "{name10}", "{sname}", "{rnk}", "{x}", "{tt}", "{}", "{ name}",
      "{name }", "{n\xff}",
      // Other shapes.
      "", "{", "}", "}{", "{{}", "{}}", "{name", "name}", "{a{name}", "{name}}", "x{name}",
      "{name}X", "{a{name}}", "{x}{tt}", "{tt}+",
      // Keys about as long as the window.
      "{" + Repeat('t', 252) + "}", "{" + Repeat('t', 253) + "}", "{" + Repeat('t', 254) + "}",
      "{" + Repeat('t', 300) + "}"};
  for (const std::string& text : texts) {
    const RecordTags record(text);
    EXPECT_EQ(record.Text().data(), text.data());
    for (const std::string& tag : tags) {
      SCOPED_TRACE(testing::Message() << "tag \"" << tag << "\" in \"" << text << "\"");
      EXPECT_EQ(record.Value(tag), TagValue(tag, text));
      EXPECT_EQ(record.Flag(tag), FlagSet(tag, text));
      EXPECT_EQ(record.Has(tag), HasValue(tag, text));
      EXPECT_EQ(record.Occurs(tag), TagOccurs(tag, text));
    }
  }
}

// Records at and past the size the index holds without allocating: every key
// stays found, and look-alikes of the keys stay absent.
TEST(RecordTags, FindsEveryKeyOfLongRecords) {
  std::string pairs;
  for (int i = 0; i < 512; ++i) pairs += "{}";
  const RecordTags pair_record(pairs);
  EXPECT_TRUE(pair_record.Occurs("{}"));
  EXPECT_EQ(pair_record.Value("{}"), "");
  EXPECT_FALSE(pair_record.Occurs("{x}"));

  const std::string opens = Repeat('{', 3000) + "{x}+";
  EXPECT_TRUE(RecordTags(opens).Flag("{x}"));

  for (const int keys : {512, 513, 3000}) {
    std::string text;
    for (int i = 0; i < keys; ++i) text += NumberedTag("{", i) + std::to_string(keys - i);
    const RecordTags record(text);
    for (int i = 0; i < keys; ++i) {
      const std::string tag = NumberedTag("{", i);
      ASSERT_EQ(record.Value(tag), std::to_string(keys - i)) << tag;
      ASSERT_FALSE(record.Occurs(NumberedTag("{x", i))) << tag;
    }
  }
}

}  // namespace
