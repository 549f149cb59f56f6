// Parsing reply bodies: what counts as a document, which element a pattern
// finds, what its text is, and how numbers are read from it.
#include "reply/reply_document.h"

#include <gtest/gtest.h>

#include <climits>
#include <ostream>

#include "reply/reply_number.h"

namespace zcv {
namespace {

class MalformedBodyTest : public testing::TestWithParam<const char*> {};

TEST_P(MalformedBodyTest, LoadFails) {
  ReplyDocument document;
  EXPECT_THROW(document.Load(GetParam()), ReplyError);
}

INSTANTIATE_TEST_SUITE_P(Bodies, MalformedBodyTest,
                         testing::Values(nullptr, "", "   ", "not xml", "<a>", "<a></b>",
                                         "<a><b></a>", "<a/><b/>", "text<a/>", "<a/>junk",
                                         "<a x=1/>", "<a/><![CDATA[x]]>", "<1a/>"));

TEST(ReplyDocumentTest, PrologAndBlanksAroundTheRootAreAccepted) {
  ReplyDocument document;
  document.Load("<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n<!-- reply -->\n<R>1</R>\n");
  EXPECT_EQ(document.SelectText("//R"), "1");
}

struct SelectCase {
  const char* body;
  const char* pattern;
  const char* text;
};

void PrintTo(const SelectCase& c, std::ostream* os) { *os << testing::PrintToString(c.body); }

class SelectTextTest : public testing::TestWithParam<SelectCase> {};

TEST_P(SelectTextTest, FindsFirstElementInDocumentOrder) {
  ReplyDocument document;
  document.Load(GetParam().body);
  EXPECT_EQ(document.SelectText(GetParam().pattern), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SelectTextTest,
    testing::Values(
        SelectCase{"<Result>7</Result>", "//Result", "7"},
        SelectCase{"<a><b><c><Result>7</Result></c></b></a>", "//Result", "7"},
        SelectCase{"<a><b><Result>1</Result></b><Result>2</Result></a>", "//Result", "1"},
        SelectCase{"<a><Result>1</Result><b><Result>2</Result></b></a>", "Result", "1"},
        SelectCase{"<a><X>out<X>in</X></X></a>", "//X", "outin"},
        SelectCase{"<a><p> 1 <b/> 2 </p></a>", "//p", "1  2"},
        SelectCase{"<a><p>  \r\n\t x <![CDATA[ <y> ]]> z \n</p></a>", "//p", "x  <y>  z"},
        SelectCase{"<a><p>&lt;&amp;&#65;</p></a>", "//p", "<&A"},
        SelectCase{"<a><p>\xb6\xc1\xff\x80</p></a>", "//p", "\xb6\xc1\xff\x80"},
        SelectCase{"<a><p/></a>", "//p", ""},
        SelectCase{"<a><p><!-- 1 --><?pi 2?></p></a>", "//p", ""}));

TEST(ReplyDocumentTest, MissingElementRaises) {
  ReplyDocument document;
  EXPECT_THROW(document.SelectText("//Result"), ReplyError);  // nothing loaded
  document.Load("<a><result>1</result><b Result=\"2\"/></a>");
  EXPECT_THROW(document.SelectText("//Result"), ReplyError);
}

TEST(ReplyDocumentTest, SelectAllListsEveryElementInDocumentOrder) {
  ReplyDocument document;
  document.Load("<a><Row><N>1</N></Row><N>2<N>3</N></N><Row><N>4</N></Row></a>");
  ReplyNodeList list = document.SelectAll("//N");
  EXPECT_EQ(list.length(), 4u);
  EXPECT_EQ(list.NextText(), "1");
  EXPECT_EQ(list.NextText(), "23");
  EXPECT_EQ(list.NextText(), "3");
  EXPECT_EQ(list.NextText(), "4");
  EXPECT_THROW(list.NextText(), ReplyError);
  EXPECT_EQ(document.SelectAll("//Missing").length(), 0u);
}

struct NumberCase {
  const char* text;
  int value;
  bool fits;  // false: raises, the reply is unreadable
};

void PrintTo(const NumberCase& c, std::ostream* os) { *os << testing::PrintToString(c.text); }

class ReplyNumberTest : public testing::TestWithParam<NumberCase> {};

TEST_P(ReplyNumberTest, ParsesLikeAtolWithinTheSignedRange) {
  if (GetParam().fits) {
    EXPECT_EQ(ParseReplyNumber(GetParam().text), GetParam().value) << GetParam().text;
  } else {
    EXPECT_THROW(ParseReplyNumber(GetParam().text), ReplyError) << GetParam().text;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ReplyNumberTest,
    testing::Values(
        NumberCase{"9999", 9999, true}, NumberCase{" 42abc", 42, true},
        NumberCase{"\t\n\v\f\r 5", 5, true}, NumberCase{"abc", 0, true}, NumberCase{"", 0, true},
        NumberCase{"-17", -17, true}, NumberCase{"+8", 8, true}, NumberCase{"- 5", 0, true},
        NumberCase{"--5", 0, true}, NumberCase{"12 34", 12, true},
        NumberCase{"2147483647", INT_MAX, true}, NumberCase{"-2147483648", INT_MIN, true},
        NumberCase{"000000000000000000000000042", 42, true}, NumberCase{"2147483648", 0, false},
        NumberCase{"-2147483649", 0, false}, NumberCase{"4294967297", 0, false},
        NumberCase{"-4294967297", 0, false}, NumberCase{"99999999999999999999", 0, false}));

}  // namespace
}  // namespace zcv
