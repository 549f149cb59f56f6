// The page handlers called directly: query keys exactly as the library
// spells them, "(null)" texts, bad arguments and the reply documents.
#include "zcvsim/pages.h"

#include <gtest/gtest.h>

#include <regex>

#include "zcvsim/totp.h"

namespace zcv::sim {
namespace {

constexpr std::int64_t kNow = 1700000000;
const Secret kSecret = *SecretFromHex("3132333435363738393031323334353637383930");

// The request templates the library formats, one per page.
const char* const kTemplates[] = {
    "TokenAuth.asp?iCardNo=%d&iDynpasswd=%d",
    "TokenAuth2.asp?iCardNo=%d&iDynpasswd=%d",
    "TokenAuth2Next.asp?iCardNo=%d&iDynpasswd1=%d&iDynpasswd2=%d",
    "TokenBinding.asp?iCardNo=%d&iDynpasswd=%d&iAppNo=%d&iAppNo2=%d&sAccount=%s",
    "TokenBinding2.asp?iCardNo=%d&iDynpasswd=%d&iAppNo=%d&iAppNo2=%d&sAccount=%s",
    "TokenBinding2Next.asp?iCardNo=%d&iDynpasswd1=%d&iDynpasswd2=%d&iAppNo=%d&iAppNo2=%d&"
    "sAccount=%s",
    "TokenUnBinding.asp?iCardNo=%d&iDynpasswd=%d&iAppNo=%d&iAppNo2=%d&sAccount=%s&iServiceNo=%s",
    "TokenUnBinding2.asp?iCardNo=%d&iDynpasswd=%d&iAppNo=%d&iAppNo2=%d&sAccount=%s&iServiceNo=%s",
    "TokenUnBinding2Next.asp?iCardNo=%d&iDynpasswd1=%d&iDynpasswd2=%d&iAppNo=%d&iAppNo2=%d&"
    "sAccount=%s&iServiceNo=%s",
    "TokenUnBindingEx.asp?iCardNo=%d&iAppNo=%d&iAppNo2=%d&sAccount=%s",
    "TokenUnBindingEx2.asp?iCardNo=%d&iAppNo=%d&iAppNo2=%d&sAccount=%s&sResvPassWord=%s",
    "TokenEnable.asp?sServiceNo=%s&iDynPasswd=%d&strUserName=%s&iIDType=%d&strID=%s&strMobile=%s&"
    "strTel=%s&strPost=%s&strEmail=%s&strAddress=%s",
    "TokenEnableNext.asp?sServiceNo=%s&iDynPasswd1=%d&iDynPasswd2=%d&strUserName=%s&iIDType=%d&"
    "strID=%s&strMobile=%s&strTel=%s&strPost=%s&strEmail=%s&strAddress=%s",
    "TokenDisable.asp?iCardNo=%d&sServiceNo=%s&sIdCode=%s&iAppNo=%d&iAppNo2=%d&sAccount=%s&"
    "sOperator=%s",
    "TokenLoss.asp?iCardNo=%d&sServiceNo=%s&iType=%d&iAppNo=%d&iAppNo2=%d&sAccount=%s&"
    "sOperator=%s",
    "TokenUnLoss.asp?iCardNo=%d&sServiceNo=%s&iDynPasswd=%d&sOperator=%s",
    "TokenUnLossNext.asp?iCardNo=%d&sServiceNo=%s&iDynPasswd1=%d&iDynPasswd2=%d&sOperator=%s",
    "TokenBindInfoQuery.asp?icardno=%d&iDynpasswd=%d",
    "TokenBindInfoQueryNext.asp?icardno=%d&iDynpasswd1=%d&iDynpasswd2=%d",
    "TokenStatus.asp?iCardNo=%d",
    "TokenChange.asp?iCardNoOld=%d&sServiceNoOld=%s&sServiceNoNew=%s&iDynPasswd=%d",
    "TokenChangeNext.asp?iCardNoOld=%d&sServiceNoOld=%s&sServiceNoNew=%s&iDynPasswd1=%d&"
    "iDynPasswd2=%d",
    "TokenModifyInfo.asp?iCardNo=%d&iDynPasswd=%d&strUserName=%s&iIDType=%d&strID=%s&"
    "strMobile=%s&strTel=%s&strPost=%s&strEmail=%s&strAddress=%s",
    "TokenModifyInfoNext.asp?iCardNo=%d&iDynPasswd1=%d&iDynPasswd2=%d&strUserName=%s&iIDType=%d&"
    "strID=%s&strMobile=%s&strTel=%s&strPost=%s&strEmail=%s&strAddress=%s",
    "TokenBindEsale.asp?iCardNo=%d&iDynpasswd=%d",
    "TokenBindEsaleNext.asp?iCardNo=%d&iDynpasswd1=%d&iDynpasswd2=%d",
    "TokenBindOther.asp?iCardNo=%d&iDynpasswd=%d",
    "TokenBindOtherNext.asp?iCardNo=%d&iDynpasswd1=%d&iDynpasswd2=%d",
};

struct Request {
  std::string page;
  std::vector<std::pair<std::string, std::string>> fields;
};

// A template with every %d as an unknown card number and every %s as "x".
Request Fill(const std::string& tmpl) {
  Request r;
  std::size_t q = tmpl.find('?');
  r.page = tmpl.substr(0, tmpl.find(".asp"));
  std::string rest = tmpl.substr(q + 1);
  std::regex field("([A-Za-z0-9]+)=%([ds])");
  for (auto it = std::sregex_iterator(rest.begin(), rest.end(), field);
       it != std::sregex_iterator(); ++it) {
    r.fields.emplace_back((*it)[1], (*it)[2] == "d" ? "424242" : "x");
  }
  return r;
}

Query ToQuery(const Request& r, std::size_t skip = SIZE_MAX) {
  Query q;
  for (std::size_t i = 0; i < r.fields.size(); ++i) {
    if (i != skip) q.emplace(r.fields[i].first, r.fields[i].second);
  }
  return q;
}

std::string ResultOf(const PageReply& reply) {
  std::smatch m;
  if (!std::regex_search(reply.body, m, std::regex("<Result>([^<]*)</Result>"))) return "";
  return m[1];
}

std::string ElementOf(const PageReply& reply, const std::string& name) {
  std::smatch m;
  if (!std::regex_search(reply.body, m, std::regex("<" + name + ">([^<]*)</" + name + ">"))) {
    return "<missing>";
  }
  return m[1];
}

class PagesTest : public ::testing::Test {
 protected:
  PagesTest() : service_(":memory:", [] { return kNow; }) {
    Card card;
    card.card_no = 1001;
    card.service_no = "SN1001";
    card.secret = kSecret;
    card.expire_time = kNow + 3600;
    service_.AddCard(card);
  }

  PageReply Call(const std::string& page, const Query& q) { return HandlePage(service_, page, q); }
  std::string Code(int step_offset = 0) {
    return std::to_string(OtpAtStep(kSecret, OtpStep(kNow) + step_offset));
  }

  TokenService service_;
};

TEST_F(PagesTest, EveryPageReadsExactlyTheLibrarysKeys) {
  ASSERT_EQ(std::size(kTemplates), PageNames().size());
  for (const char* tmpl : kTemplates) {
    Request r = Fill(tmpl);
    PageReply full = Call(r.page, ToQuery(r));
    EXPECT_EQ(full.http_status, 200) << tmpl;
    EXPECT_EQ(ResultOf(full), "2001") << tmpl;  // all keys read: the card is unknown
    for (std::size_t i = 0; i < r.fields.size(); ++i) {
      EXPECT_EQ(ResultOf(Call(r.page, ToQuery(r, i))), "2011")
          << tmpl << " without " << r.fields[i].first;
    }
  }
}

TEST_F(PagesTest, KeysAreCaseSensitive) {
  Query wrong_card{{"iCardNo", "1001"}, {"iDynpasswd", Code()}};
  EXPECT_EQ(ResultOf(Call("TokenBindInfoQuery", wrong_card)), "2011");
  Query wrong_password{{"iCardNo", "1001"}, {"iDynPasswd", Code()}};
  EXPECT_EQ(ResultOf(Call("TokenAuth", wrong_password)), "2011");
}

TEST_F(PagesTest, UnknownPageIsNotFound) {
  for (const char* page : {"TokenNothing", "tokenauth", ""}) {
    PageReply reply = Call(page, Query{});
    EXPECT_EQ(reply.http_status, 404) << page;
    EXPECT_EQ(reply.body, "unknown page\n");
  }
}

TEST_F(PagesTest, MalformedArgumentsAreBadArguments) {
  const std::string code = Code();
  const Query cases[] = {
      {{"iCardNo", "10x1"}, {"iDynpasswd", code}},
      {{"iCardNo", " 1001"}, {"iDynpasswd", code}},
      {{"iCardNo", ""}, {"iDynpasswd", code}},
      {{"iCardNo", "99999999999999999999"}, {"iDynpasswd", code}},
  };
  for (const Query& q : cases) EXPECT_EQ(ResultOf(Call("TokenAuth", q)), "2011");
}

TEST_F(PagesTest, CardStoryThroughThePages) {
  const std::string nul = "(null)";
  Query enable{{"sServiceNo", "SN1001"}, {"iDynPasswd1", Code()}, {"iDynPasswd2", Code(1)},
               {"strUserName", "Ann"},   {"iIDType", "1"},        {"strID", nul},
               {"strMobile", nul},       {"strTel", nul},         {"strPost", nul},
               {"strEmail", nul},        {"strAddress", nul}};
  PageReply enabled = Call("TokenEnableNext", enable);
  EXPECT_EQ(ResultOf(enabled), "9999");
  EXPECT_EQ(ElementOf(enabled, "ExpireTime"), std::to_string(kNow + 3600));
  EXPECT_EQ(service_.FindCard(1001)->profile.user_name, "Ann");
  EXPECT_FALSE(service_.FindCard(1001)->profile.email.has_value());

  // A code with leading zeros arrives as a plain number and still counts.
  Query bind{{"iCardNo", "1001"},
             {"iDynpasswd", "00" + Code()},
             {"iAppNo", "7"},
             {"iAppNo2", "-8"},
             {"sAccount", "a<b&c"}};
  PageReply bound = Call("TokenBinding", bind);
  EXPECT_EQ(ResultOf(bound), "9999");
  EXPECT_TRUE(std::regex_match(ElementOf(bound, "ResvPassWord"), std::regex("[0-9]{6}")));

  PageReply info = Call("TokenBindInfoQuery", {{"icardno", "1001"}, {"iDynpasswd", Code(-1)}});
  EXPECT_EQ(ElementOf(info, "RowCount"), "1");
  EXPECT_NE(info.body.find("<Row><AppNo>7</AppNo><AppNo2>-8</AppNo2><Account>a&lt;b&amp;c"
                           "</Account><Bindtime>2023-11-14 22:13:20</Bindtime></Row>"),
            std::string::npos)
      << info.body;

  PageReply refused = Call("TokenAuth", {{"iCardNo", "1001"}, {"iDynpasswd", Code(2)}});
  EXPECT_EQ(ResultOf(refused), "2002");
  EXPECT_EQ(ElementOf(refused, "ExpireTime"), "<missing>");  // outputs only when accepted

  PageReply status = Call("TokenStatus", {{"iCardNo", "1001"}});
  EXPECT_EQ(ElementOf(status, "CardStatus"), "1");

  Query unbind{{"iCardNo", "1001"}, {"iDynpasswd", Code()}, {"iAppNo", "7"},
               {"iAppNo2", "-8"},   {"sAccount", "a<b&c"},  {"iServiceNo", nul}};
  EXPECT_EQ(ResultOf(Call("TokenUnBinding", unbind)), "2010");
  unbind["iServiceNo"] = "SN1001";
  EXPECT_EQ(ResultOf(Call("TokenUnBinding", unbind)), "9999");
}

TEST_F(PagesTest, TextLimitsAndRequiredTexts) {
  struct Case {
    const char* page;
    Query query;
  };
  const std::string nul = "(null)";
  const Case cases[] = {
      {"TokenUnBindingEx",
       {{"iCardNo", "1001"},
        {"iAppNo", "1"},
        {"iAppNo2", "2"},
        {"sAccount", std::string(21, 'a')}}},
      {"TokenUnBindingEx",
       {{"iCardNo", "1001"}, {"iAppNo", "1"}, {"iAppNo2", "2"}, {"sAccount", nul}}},
      {"TokenUnBindingEx2",
       {{"iCardNo", "1001"},
        {"iAppNo", "1"},
        {"iAppNo2", "2"},
        {"sAccount", "a"},
        {"sResvPassWord", "1234567"}}},
      {"TokenChange",
       {{"iCardNoOld", "1001"},
        {"sServiceNoOld", nul},
        {"sServiceNoNew", "SN2"},
        {"iDynPasswd", "1"}}},
      {"TokenModifyInfo",
       {{"iCardNo", "1001"},
        {"iDynPasswd", "1"},
        {"strUserName", nul},
        {"iIDType", "0"},
        {"strID", nul},
        {"strMobile", nul},
        {"strTel", nul},
        {"strPost", "12345678901"},
        {"strEmail", nul},
        {"strAddress", nul}}},
  };
  for (const Case& c : cases) EXPECT_EQ(ResultOf(Call(c.page, c.query)), "2011") << c.page;
}

}  // namespace
}  // namespace zcv::sim
