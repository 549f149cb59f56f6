// The 28 operations against a recording loopback server: the exact request
// path each one sends, the argument checks in front of it, and the outputs
// it delivers or leaves alone.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "service_fixture.h"
#include "support/script_server.h"
#include "zephyrcoilvault.h"

namespace zcv::test {
namespace {

const std::string kAcceptAll = Reply(
    "<Result>9999</Result><ExpireTime>0</ExpireTime><ResvPassWord>654321</ResvPassWord>"
    "<RowCount>0</RowCount><CardStatus>2</CardStatus>");

// The request-target of a recorded request, taken from its request line as
// sent (texts go out unescaped, blanks included).
std::string Target(const std::string& request) {
  const std::size_t start = request.find(' ') + 1;
  const std::size_t end = request.find(" HTTP/1.1\r\n");
  return request.substr(start, end - start);
}

class OperationsTest : public ServiceFixture {
 protected:
  OperationsTest() : server_(Script{Send(HttpReply(kAcceptAll))}) {
    StartService({server_.port()});
  }

  std::string LastTarget() const {
    const auto requests = server_.requests();
    return requests.empty() ? "" : Target(requests.back());
  }

  ScriptServer server_;
  char expireText_[20] = {};
  char resv_[7] = {};
  int rowCount_ = 0;
  pTokenBindInfo rows_[10] = {};
  int cardStatus_ = 0;
};

std::string S(const char* text) { return text; }
std::string Long(char c, std::size_t n) { return std::string(n, c); }

TEST_F(OperationsTest, EachOperationSendsItsExactPath) {
  std::string acct = "acct", svc = "svc", amp = "a%20b%26c", op = "op", resv = "123456";
  std::string longSvc = Long('s', 140), longOp = Long('o', 140);
  std::string name = "n", id = "i", mob = "m", tel = "t", post = "p", mail = "e@x";
  std::string oldSvc = "old", newSvc = "new";
  struct Case {
    const char* name;
    std::function<ResultCode()> call;
    std::string path;
  } cases[] = {
      {"TokenAuth", [&] { return TokenAuth(12, 345678, expireText_); },
       "/TokenAuth.asp?iCardNo=12&iDynpasswd=345678"},
      {"TokenAuth2", [&] { return TokenAuth2(-5, 7, expireText_); },
       "/TokenAuth2.asp?iCardNo=-5&iDynpasswd=7"},
      {"TokenAuth2Next", [&] { return TokenAuth2Next(1, 2, 3, expireText_); },
       "/TokenAuth2Next.asp?iCardNo=1&iDynpasswd1=2&iDynpasswd2=3"},
      {"TokenBinding", [&] { return TokenBinding(1, 2, 3, 4, acct.data(), resv_); },
       "/TokenBinding.asp?iCardNo=1&iDynpasswd=2&iAppNo=3&iAppNo2=4&sAccount=acct"},
      {"TokenBinding2", [&] { return TokenBinding2(1, 2, 3, 4, acct.data(), resv_); },
       "/TokenBinding2.asp?iCardNo=1&iDynpasswd=2&iAppNo=3&iAppNo2=4&sAccount=acct"},
      {"TokenBinding2Next", [&] { return TokenBinding2Next(1, 2, 3, 4, 5, amp.data(), resv_); },
       "/TokenBinding2Next.asp?iCardNo=1&iDynpasswd1=2&iDynpasswd2=3&iAppNo=4&iAppNo2=5"
       "&sAccount=a%20b%26c"},
      {"TokenUnBinding", [&] { return TokenUnBinding(1, svc.data(), 2, 3, 4, acct.data()); },
       "/TokenUnBinding.asp?iCardNo=1&iDynpasswd=2&iAppNo=3&iAppNo2=4&sAccount=acct"
       "&iServiceNo=svc"},
      {"TokenUnBinding2", [&] { return TokenUnBinding2(1, nullptr, 2, 3, 4, acct.data()); },
       "/TokenUnBinding2.asp?iCardNo=1&iDynpasswd=2&iAppNo=3&iAppNo2=4&sAccount=acct"
       "&iServiceNo=(null)"},
      {"TokenUnBinding2Next",
       [&] { return TokenUnBinding2Next(1, longSvc.data(), 2, 3, 4, 5, acct.data()); },
       "/" +
           S("TokenUnBinding2Next.asp?iCardNo=1&iDynpasswd1=2&iDynpasswd2=3&iAppNo=4"
             "&iAppNo2=5&sAccount=acct&iServiceNo=") +
           longSvc},
      {"TokenUnBindingEx", [&] { return TokenUnBindingEx(1, 2, 3, acct.data()); },
       "/TokenUnBindingEx.asp?iCardNo=1&iAppNo=2&iAppNo2=3&sAccount=acct"},
      {"TokenUnBindingEx2", [&] { return TokenUnBindingEx2(1, 2, 3, acct.data(), resv.data()); },
       "/TokenUnBindingEx2.asp?iCardNo=1&iAppNo=2&iAppNo2=3&sAccount=acct&sResvPassWord=123456"},
      {"TokenEnable",
       [&] {
         return TokenEnable(svc.data(), 2, name.data(), 1, id.data(), mob.data(), tel.data(),
                            post.data(), mail.data(), amp.data(), expireText_);
       },
       "/TokenEnable.asp?sServiceNo=svc&iDynPasswd=2&strUserName=n&iIDType=1&strID=i"
       "&strMobile=m&strTel=t&strPost=p&strEmail=e@x&strAddress=a%20b%26c"},
      {"TokenEnableNext",
       [&] {
         return TokenEnableNext(nullptr, 2, 3, nullptr, 4, nullptr, nullptr, nullptr, nullptr,
                                nullptr, nullptr, expireText_);
       },
       "/TokenEnableNext.asp?sServiceNo=(null)&iDynPasswd1=2&iDynPasswd2=3&strUserName=(null)"
       "&iIDType=4&strID=(null)&strMobile=(null)&strTel=(null)&strPost=(null)"
       "&strEmail=(null)&strAddress=(null)"},
      {"TokenDisable",
       [&] { return TokenDisable(1, svc.data(), id.data(), 2, 3, nullptr, op.data()); },
       "/TokenDisable.asp?iCardNo=1&sServiceNo=svc&sIdCode=i&iAppNo=2&iAppNo2=3"
       "&sAccount=(null)&sOperator=op"},
      {"TokenLoss", [&] { return TokenLoss(1, svc.data(), 9, 2, 3, acct.data(), longOp.data()); },
       "/" +
           S("TokenLoss.asp?iCardNo=1&sServiceNo=svc&iType=9&iAppNo=2&iAppNo2=3"
             "&sAccount=acct&sOperator=") +
           longOp},
      {"TokenUnLoss", [&] { return TokenUnLoss(1, svc.data(), 2, nullptr); },
       "/TokenUnLoss.asp?iCardNo=1&sServiceNo=svc&iDynPasswd=2&sOperator=(null)"},
      {"TokenUnLossNext", [&] { return TokenUnLossNext(1, svc.data(), 2, 3, op.data()); },
       "/TokenUnLossNext.asp?iCardNo=1&sServiceNo=svc&iDynPasswd1=2&iDynPasswd2=3&sOperator=op"},
      {"TokenBindInfoQuery", [&] { return TokenBindInfoQuery(7, 8, &rowCount_, rows_); },
       "/TokenBindInfoQuery.asp?icardno=7&iDynpasswd=8"},
      {"TokenBindInfoQueryNext", [&] { return TokenBindInfoQueryNext(7, 8, 9, &rowCount_, rows_); },
       "/TokenBindInfoQueryNext.asp?icardno=7&iDynpasswd1=8&iDynpasswd2=9"},
      {"TokenStatus", [&] { return TokenStatus(5, cardStatus_, expireText_); },
       "/TokenStatus.asp?iCardNo=5"},
      {"TokenChange", [&] { return TokenChange(1, oldSvc.data(), newSvc.data(), 2); },
       "/TokenChange.asp?iCardNoOld=1&sServiceNoOld=old&sServiceNoNew=new&iDynPasswd=2"},
      {"TokenChangeNext", [&] { return TokenChangeNext(1, oldSvc.data(), newSvc.data(), 2, 3); },
       "/TokenChangeNext.asp?iCardNoOld=1&sServiceNoOld=old&sServiceNoNew=new&iDynPasswd1=2"
       "&iDynPasswd2=3"},
      {"TokenModifyInfo",
       [&] {
         return TokenModifyInfo(1, 2, name.data(), 3, id.data(), mob.data(), tel.data(),
                                post.data(), mail.data(), amp.data());
       },
       "/TokenModifyInfo.asp?iCardNo=1&iDynPasswd=2&strUserName=n&iIDType=3&strID=i"
       "&strMobile=m&strTel=t&strPost=p&strEmail=e@x&strAddress=a%20b%26c"},
      {"TokenModifyInfoNext",
       [&] {
         return TokenModifyInfoNext(1, 2, 3, nullptr, 4, nullptr, nullptr, nullptr, nullptr,
                                    nullptr, nullptr);
       },
       "/TokenModifyInfoNext.asp?iCardNo=1&iDynPasswd1=2&iDynPasswd2=3&strUserName=(null)"
       "&iIDType=4&strID=(null)&strMobile=(null)&strTel=(null)&strPost=(null)"
       "&strEmail=(null)&strAddress=(null)"},
      {"TokenBindEsale", [&] { return TokenBindEsale(1, 2, resv_); },
       "/TokenBindEsale.asp?iCardNo=1&iDynpasswd=2"},
      {"TokenBindEsaleNext", [&] { return TokenBindEsaleNext(1, 2, 3, resv_); },
       "/TokenBindEsaleNext.asp?iCardNo=1&iDynpasswd1=2&iDynpasswd2=3"},
      {"TokenBindOther", [&] { return TokenBindOther(1, 2, resv_); },
       "/TokenBindOther.asp?iCardNo=1&iDynpasswd=2"},
      {"TokenBindOtherNext", [&] { return TokenBindOtherNext(1, 2, 3, resv_); },
       "/TokenBindOtherNext.asp?iCardNo=1&iDynpasswd1=2&iDynpasswd2=3"},
  };
  EXPECT_EQ(std::size(cases), 28u);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.call(), kAccepted);
    EXPECT_EQ(LastTarget(), c.path);
  }
  EXPECT_EQ(LogText(), "");
}

// One text argument of one operation, and how it is checked.
struct TextCase {
  const char* name;
  int limit;  // -1: no limit of its own
  bool required;
  std::function<ResultCode(char*)> call;
};

TEST_F(OperationsTest, TextArgumentsAreCheckedBeforeAnythingIsSent) {
  char* x = const_cast<char*>("x");
  char* six = const_cast<char*>("123456");
  char* e = expireText_;
  char* r = resv_;
  const TextCase cases[] = {
      {"TokenBinding sAccount", 20, true, [&](char* t) { return TokenBinding(1, 2, 3, 4, t, r); }},
      {"TokenBinding2 sAccount", 20, true,
       [&](char* t) { return TokenBinding2(1, 2, 3, 4, t, r); }},
      {"TokenBinding2Next sAccount", 20, true,
       [&](char* t) { return TokenBinding2Next(1, 2, 3, 4, 5, t, r); }},
      {"TokenUnBinding sAccount", 20, true,
       [&](char* t) { return TokenUnBinding(1, x, 2, 3, 4, t); }},
      {"TokenUnBinding sServiceNo", -1, false,
       [&](char* t) { return TokenUnBinding(1, t, 2, 3, 4, x); }},
      {"TokenUnBinding2 sAccount", 20, true,
       [&](char* t) { return TokenUnBinding2(1, x, 2, 3, 4, t); }},
      {"TokenUnBinding2Next sServiceNo", -1, false,
       [&](char* t) { return TokenUnBinding2Next(1, t, 2, 3, 4, 5, x); }},
      {"TokenUnBindingEx sAccount", 20, true,
       [&](char* t) { return TokenUnBindingEx(1, 2, 3, t); }},
      {"TokenUnBindingEx2 sAccount", 20, true,
       [&](char* t) { return TokenUnBindingEx2(1, 2, 3, t, six); }},
      {"TokenUnBindingEx2 sResvPassWord", 6, true,
       [&](char* t) { return TokenUnBindingEx2(1, 2, 3, x, t); }},
      {"TokenEnable sServiceNo", 20, false,
       [&](char* t) { return TokenEnable(t, 1, x, 1, x, x, x, x, x, x, e); }},
      {"TokenEnable strUserName", 20, false,
       [&](char* t) { return TokenEnable(x, 1, t, 1, x, x, x, x, x, x, e); }},
      {"TokenEnable strID", 20, false,
       [&](char* t) { return TokenEnable(x, 1, x, 1, t, x, x, x, x, x, e); }},
      {"TokenEnable strMobile", 20, false,
       [&](char* t) { return TokenEnable(x, 1, x, 1, x, t, x, x, x, x, e); }},
      {"TokenEnable strTel", 20, false,
       [&](char* t) { return TokenEnable(x, 1, x, 1, x, x, t, x, x, x, e); }},
      {"TokenEnable strPost", 10, false,
       [&](char* t) { return TokenEnable(x, 1, x, 1, x, x, x, t, x, x, e); }},
      {"TokenEnable strEmail", 40, false,
       [&](char* t) { return TokenEnable(x, 1, x, 1, x, x, x, x, t, x, e); }},
      {"TokenEnable strAddress", 100, false,
       [&](char* t) { return TokenEnable(x, 1, x, 1, x, x, x, x, x, t, e); }},
      {"TokenEnableNext strAddress", 100, false,
       [&](char* t) { return TokenEnableNext(x, 1, 2, x, 1, x, x, x, x, x, t, e); }},
      {"TokenDisable sServiceNo", 20, true,
       [&](char* t) { return TokenDisable(1, t, x, 2, 3, x, x); }},
      {"TokenDisable sIdCode", 20, true,
       [&](char* t) { return TokenDisable(1, x, t, 2, 3, x, x); }},
      {"TokenDisable sAccount", 20, false,
       [&](char* t) { return TokenDisable(1, x, x, 2, 3, t, x); }},
      {"TokenDisable sOperator", -1, false,
       [&](char* t) { return TokenDisable(1, x, x, 2, 3, x, t); }},
      {"TokenLoss sServiceNo", 20, true, [&](char* t) { return TokenLoss(1, t, 1, 2, 3, x, x); }},
      {"TokenLoss sAccount", 20, false, [&](char* t) { return TokenLoss(1, x, 1, 2, 3, t, x); }},
      {"TokenLoss sOperator", -1, false, [&](char* t) { return TokenLoss(1, x, 1, 2, 3, x, t); }},
      {"TokenUnLoss sServiceNo", 20, true, [&](char* t) { return TokenUnLoss(1, t, 2, x); }},
      {"TokenUnLoss sOperator", -1, false, [&](char* t) { return TokenUnLoss(1, x, 2, t); }},
      {"TokenUnLossNext sServiceNo", 20, true,
       [&](char* t) { return TokenUnLossNext(1, t, 2, 3, x); }},
      {"TokenChange sServiceNoOld", 20, true, [&](char* t) { return TokenChange(1, t, x, 2); }},
      {"TokenChange sServiceNoNew", 20, true, [&](char* t) { return TokenChange(1, x, t, 2); }},
      {"TokenChangeNext sServiceNoNew", 20, true,
       [&](char* t) { return TokenChangeNext(1, x, t, 2, 3); }},
      {"TokenModifyInfo strUserName", 20, false,
       [&](char* t) { return TokenModifyInfo(1, 2, t, 3, x, x, x, x, x, x); }},
      {"TokenModifyInfo strPost", 10, false,
       [&](char* t) { return TokenModifyInfo(1, 2, x, 3, x, x, x, t, x, x); }},
      {"TokenModifyInfo strEmail", 40, false,
       [&](char* t) { return TokenModifyInfo(1, 2, x, 3, x, x, x, x, t, x); }},
      {"TokenModifyInfoNext strAddress", 100, false,
       [&](char* t) { return TokenModifyInfoNext(1, 2, 3, x, 4, x, x, x, x, x, t); }},
  };
  for (const TextCase& c : cases) {
    SCOPED_TRACE(c.name);
    const int sentBefore = server_.connections();
    std::string atLimit(c.limit < 0 ? 150 : c.limit, 'a');
    std::string overLimit(c.limit < 0 ? 0 : c.limit + 1, 'a');
    std::string withLineFeed = "a\r\nX-Injected: 1";
    std::string withDelete = "a\x7f";

    if (c.limit >= 0) {
      EXPECT_EQ(c.call(overLimit.data()), kArgumentRefused);
    }
    EXPECT_EQ(c.call(nullptr), c.required ? kArgumentRefused : kAccepted);
    EXPECT_EQ(c.call(withLineFeed.data()), kArgumentRefused);
    EXPECT_EQ(c.call(withDelete.data()), kArgumentRefused);
    const int sentRefused = c.required ? 0 : 1;
    EXPECT_EQ(server_.connections(), sentBefore + sentRefused);
    EXPECT_EQ(c.call(atLimit.data()), kAccepted);
  }
  EXPECT_EQ(LogText(), "");
}

// Texts go into the query unescaped: what could change the request's keys or
// shape is refused with nothing sent, the rest goes out byte for byte.
TEST_F(OperationsTest, CallerTextsAreSentExactlyOrRefused) {
  char* x = const_cast<char*>("x");
  // Texts without a limit of their own; the path has 255 bytes of room.
  const std::string lossPath =
      "TokenLoss.asp?iCardNo=1&sServiceNo=x&iType=1&iAppNo=2&iAppNo2=3"
      "&sAccount=x&sOperator=";
  const std::string unbindPath =
      "TokenUnBinding2Next.asp?iCardNo=1&iDynpasswd1=2&iDynpasswd2=3&iAppNo=4&iAppNo2=5"
      "&sAccount=x&iServiceNo=";
  const auto loss = [&](char* t) { return TokenLoss(1, x, 1, 2, 3, x, t); };
  const auto unbind = [&](char* t) { return TokenUnBinding2Next(1, t, 2, 3, 4, 5, x); };
  const struct {
    const char* name;
    std::function<ResultCode(char*)> call;
    const std::string& path;
    std::string text;
    bool sent;
  } cases[] = {
      {"blank", loss, lossPath, "ann lee", false},
      {"ampersand", loss, lossPath, "alice&iAppNo=2", false},
      {"hash", loss, lossPath, "ann#1", false},
      {"control byte", loss, lossPath, "ann\tlee", false},
      {"GBK bytes", loss, lossPath, "\xd5\xc5\xc8\xfd", true},
      {"percent escape", loss, lossPath, "%41nn", true},
      {"fills the path", loss, lossPath, Long('o', 255 - lossPath.size()), true},
      {"one byte too long", loss, lossPath, Long('o', 256 - lossPath.size()), false},
      {"service number fills the path", unbind, unbindPath, Long('s', 255 - unbindPath.size()),
       true},
      {"service number too long", unbind, unbindPath, Long('s', 256 - unbindPath.size()), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const int sentBefore = server_.connections();
    std::string text = c.text;
    EXPECT_EQ(c.call(text.data()), c.sent ? kAccepted : kArgumentRefused);
    EXPECT_EQ(server_.connections(), sentBefore + (c.sent ? 1 : 0));
    if (c.sent) {
      EXPECT_EQ(LastTarget(), "/" + c.path + c.text);
    }
  }
  EXPECT_EQ(LogText(), "");
}

TEST_F(OperationsTest, NullOutputsAreRefused) {
  char* x = const_cast<char*>("x");
  int status = 0;
  const std::function<ResultCode()> calls[] = {
      [&] { return TokenAuth(1, 2, nullptr); },
      [&] { return TokenAuth2(1, 2, nullptr); },
      [&] { return TokenAuth2Next(1, 2, 3, nullptr); },
      [&] { return TokenBinding(1, 2, 3, 4, x, nullptr); },
      [&] { return TokenBinding2(1, 2, 3, 4, nullptr, nullptr); },
      [&] { return TokenBinding2Next(1, 2, 3, 4, 5, x, nullptr); },
      [&] { return TokenEnable(x, 1, x, 1, x, x, x, x, x, x, nullptr); },
      [&] { return TokenEnableNext(x, 1, 2, x, 1, x, x, x, x, x, x, nullptr); },
      [&] { return TokenBindInfoQuery(1, 2, &rowCount_, nullptr); },
      [&] { return TokenBindInfoQueryNext(1, 2, 3, nullptr, rows_); },
      [&] { return TokenStatus(1, status, nullptr); },
      [&] { return TokenBindEsale(1, 2, nullptr); },
      [&] { return TokenBindEsaleNext(1, 2, 3, nullptr); },
      [&] { return TokenBindOther(1, 2, nullptr); },
      [&] { return TokenBindOtherNext(1, 2, 3, nullptr); },
  };
  for (const auto& call : calls) EXPECT_EQ(call(), kArgumentRefused);
  EXPECT_EQ(server_.connections(), 0);
}

TEST_F(OperationsTest, OutputsOnAcceptance) {
  ScopedTimeZone zone("UTC");
  EXPECT_EQ(TokenStatus(1, cardStatus_, expireText_), kAccepted);
  EXPECT_EQ(cardStatus_, 2);
  EXPECT_STREQ(expireText_, "1970-01-01 00:00:00");
  EXPECT_EQ(TokenBindOther(1, 2, resv_), kAccepted);
  EXPECT_STREQ(resv_, "654321");
  rowCount_ = 5;
  EXPECT_EQ(TokenBindInfoQuery(1, 2, &rowCount_, rows_), kAccepted);
  EXPECT_EQ(rowCount_, 0);
}

TEST_F(ServiceFixture, OutputsAreUntouchedOnOtherVerdicts) {
  ScriptServer refusing(Script{Send(HttpReply(
      Reply("<Result>5</Result><ExpireTime>0</ExpireTime><ResvPassWord>654321</ResvPassWord>"
            "<RowCount>1</RowCount><AppNo>1</AppNo><AppNo2>2</AppNo2><Account>a</Account>"
            "<Bindtime>t</Bindtime><CardStatus>2</CardStatus>")))});
  StartService({refusing.port()});
  char expireText[20] = "caller";
  char resv[7] = "before";
  int status = 77;
  int rowCount = 9;
  pTokenBindInfo rows[10];
  std::memset(rows, 0x5a, sizeof rows);
  char acct[] = "acct";
  EXPECT_EQ(TokenStatus(1, status, expireText), 5u);
  EXPECT_EQ(TokenEnable(nullptr, 1, nullptr, 1, nullptr, nullptr, nullptr, nullptr, nullptr,
                        nullptr, expireText),
            5u);
  EXPECT_EQ(TokenBinding(1, 2, 3, 4, acct, resv), 5u);
  EXPECT_EQ(TokenBindEsale(1, 2, resv), 5u);
  EXPECT_EQ(TokenBindInfoQuery(1, 2, &rowCount, rows), 5u);
  EXPECT_STREQ(expireText, "caller");
  EXPECT_STREQ(resv, "before");
  EXPECT_EQ(status, 77);
  EXPECT_EQ(rowCount, 0);
  for (const unsigned char byte : std::string(reinterpret_cast<char*>(rows), sizeof rows)) {
    ASSERT_EQ(byte, 0x5a);
  }
}

TEST_F(ServiceFixture, BindingRowsFromEveryServerIntoTheSameStorage) {
  // Two AppNo but one Account: the reading fails on the second row.
  const std::string shortList =
      HttpReply(Reply("<Result>9999</Result><RowCount>2</RowCount>"
                      "<Row><AppNo>11</AppNo><AppNo2>12</AppNo2><Account>first</Account>"
                      "<Bindtime>2024-01-01 10:00:00</Bindtime></Row>"
                      "<Row><AppNo>21</AppNo><AppNo2>22</AppNo2></Row>"));
  ScriptServer a(Script{Send(shortList)});
  ScriptServer b(Script{Send(shortList)});
  StartService({a.port(), b.port()});
  int rowCount = 0;
  pTokenBindInfo rows[10];
  std::memset(rows, 0x5a, sizeof rows);
  EXPECT_EQ(TokenBindInfoQueryNext(1, 2, 3, &rowCount, rows), kNoAnswer);
  EXPECT_EQ(LogMessages(), std::vector<std::string>(2, "parse xml error\n"));
  EXPECT_EQ(rowCount, 2);
  EXPECT_EQ(rows[0].AppNo, 11);
  EXPECT_STREQ(rows[0].Account, "first");
  EXPECT_EQ(rows[1].AppNo, 21);
  EXPECT_EQ(rows[1].AppNo2, 22);
  EXPECT_EQ(static_cast<unsigned char>(rows[1].Account[0]), 0x5a);
  EXPECT_EQ(rows[0].Reserved, 0x5a5a5a5a);
}

}  // namespace
}  // namespace zcv::test
