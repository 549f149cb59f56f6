// The operation table of zcvctl.
#include "zcvctl/operations.h"

#include <limits>

namespace zcv::ctl {
namespace {

Param I(const char* option) { return Param{option, ParamKind::kInt}; }
Param T(const char* option) { return Param{option, ParamKind::kText}; }
Param O(const char* option) { return Param{option, ParamKind::kOptText}; }

// The holder's profile after the password(s), as enable and modify-info take it.
std::vector<Param> WithProfile(std::vector<Param> head) {
  for (Param p : {O("user-name"), I("id-type"), O("id"), O("mobile"), O("tel"), O("post"),
                  O("email"), O("address")}) {
    head.push_back(p);
  }
  return head;
}

std::vector<Operation> BuildTable() {
  using K = OutputKind;
  return {
      {"auth",
       "TokenAuth",
       "TokenAuth.asp?iCardNo=%d&iDynpasswd=%d",
       "authenticate a card with its one-time password",
       {I("card"), I("password")},
       K::kExpire,
       [](Call& c) { return TokenAuth(c.Int("card"), c.Int("password"), c.out.expire_text); }},
      {"auth2",
       "TokenAuth2",
       "TokenAuth2.asp?iCardNo=%d&iDynpasswd=%d",
       "authenticate a card (second service page)",
       {I("card"), I("password")},
       K::kExpire,
       [](Call& c) { return TokenAuth2(c.Int("card"), c.Int("password"), c.out.expire_text); }},
      {"auth2-next",
       "TokenAuth2Next",
       "TokenAuth2Next.asp?iCardNo=%d&iDynpasswd1=%d&iDynpasswd2=%d",
       "authenticate a card with two consecutive one-time passwords",
       {I("card"), I("password"), I("password2")},
       K::kExpire,
       [](Call& c) {
         return TokenAuth2Next(c.Int("card"), c.Int("password"), c.Int("password2"),
                               c.out.expire_text);
       }},
      {"bind",
       "TokenBinding",
       "TokenBinding.asp?iCardNo=%d&iDynpasswd=%d&iAppNo=%d&iAppNo2=%d&sAccount=%s",
       "bind a card to an account",
       {I("card"), I("password"), I("app-no"), I("app-no2"), T("account")},
       K::kResvPassWord,
       [](Call& c) {
         return TokenBinding(c.Int("card"), c.Int("password"), c.Int("app-no"), c.Int("app-no2"),
                             c.Text("account"), c.out.resv_password);
       }},
      {"bind2",
       "TokenBinding2",
       "TokenBinding2.asp?iCardNo=%d&iDynpasswd=%d&iAppNo=%d&iAppNo2=%d&sAccount=%s",
       "bind a card to an account (second service page)",
       {I("card"), I("password"), I("app-no"), I("app-no2"), T("account")},
       K::kResvPassWord,
       [](Call& c) {
         return TokenBinding2(c.Int("card"), c.Int("password"), c.Int("app-no"), c.Int("app-no2"),
                              c.Text("account"), c.out.resv_password);
       }},
      {"bind2-next",
       "TokenBinding2Next",
       "TokenBinding2Next.asp?iCardNo=%d&iDynpasswd1=%d&iDynpasswd2=%d&iAppNo=%d&iAppNo2=%d&"
       "sAccount=%s",
       "bind a card to an account with two consecutive one-time passwords",
       {I("card"), I("password"), I("password2"), I("app-no"), I("app-no2"), T("account")},
       K::kResvPassWord,
       [](Call& c) {
         return TokenBinding2Next(c.Int("card"), c.Int("password"), c.Int("password2"),
                                  c.Int("app-no"), c.Int("app-no2"), c.Text("account"),
                                  c.out.resv_password);
       }},
      {"unbind",
       "TokenUnBinding",
       "TokenUnBinding.asp?iCardNo=%d&iDynpasswd=%d&iAppNo=%d&iAppNo2=%d&sAccount=%s&"
       "iServiceNo=%s",
       "remove a binding, proven by a one-time password and the service number",
       {I("card"), O("service-no"), I("password"), I("app-no"), I("app-no2"), T("account")},
       K::kNone,
       [](Call& c) {
         return TokenUnBinding(c.Int("card"), c.Text("service-no"), c.Int("password"),
                               c.Int("app-no"), c.Int("app-no2"), c.Text("account"));
       }},
      {"unbind2",
       "TokenUnBinding2",
       "TokenUnBinding2.asp?iCardNo=%d&iDynpasswd=%d&iAppNo=%d&iAppNo2=%d&sAccount=%s&"
       "iServiceNo=%s",
       "remove a binding (second service page)",
       {I("card"), O("service-no"), I("password"), I("app-no"), I("app-no2"), T("account")},
       K::kNone,
       [](Call& c) {
         return TokenUnBinding2(c.Int("card"), c.Text("service-no"), c.Int("password"),
                                c.Int("app-no"), c.Int("app-no2"), c.Text("account"));
       }},
      {"unbind2-next",
       "TokenUnBinding2Next",
       "TokenUnBinding2Next.asp?iCardNo=%d&iDynpasswd1=%d&iDynpasswd2=%d&iAppNo=%d&iAppNo2=%d&"
       "sAccount=%s&iServiceNo=%s",
       "remove a binding with two consecutive one-time passwords",
       {I("card"), O("service-no"), I("password"), I("password2"), I("app-no"), I("app-no2"),
        T("account")},
       K::kNone,
       [](Call& c) {
         return TokenUnBinding2Next(c.Int("card"), c.Text("service-no"), c.Int("password"),
                                    c.Int("password2"), c.Int("app-no"), c.Int("app-no2"),
                                    c.Text("account"));
       }},
      {"unbind-ex",
       "TokenUnBindingEx",
       "TokenUnBindingEx.asp?iCardNo=%d&iAppNo=%d&iAppNo2=%d&sAccount=%s",
       "remove a binding without a password",
       {I("card"), I("app-no"), I("app-no2"), T("account")},
       K::kNone,
       [](Call& c) {
         return TokenUnBindingEx(c.Int("card"), c.Int("app-no"), c.Int("app-no2"),
                                 c.Text("account"));
       }},
      {"unbind-ex2",
       "TokenUnBindingEx2",
       "TokenUnBindingEx2.asp?iCardNo=%d&iAppNo=%d&iAppNo2=%d&sAccount=%s&sResvPassWord=%s",
       "remove a binding with the reserved password it returned",
       {I("card"), I("app-no"), I("app-no2"), T("account"), T("resv-password")},
       K::kNone,
       [](Call& c) {
         return TokenUnBindingEx2(c.Int("card"), c.Int("app-no"), c.Int("app-no2"),
                                  c.Text("account"), c.Text("resv-password"));
       }},
      {"enable", "TokenEnable",
       "TokenEnable.asp?sServiceNo=%s&iDynPasswd=%d&strUserName=%s&iIDType=%d&strID=%s&"
       "strMobile=%s&strTel=%s&strPost=%s&strEmail=%s&strAddress=%s",
       "put a card into service and register its holder",
       WithProfile({O("service-no"), I("password")}), K::kExpire,
       [](Call& c) {
         return TokenEnable(c.Text("service-no"), c.Int("password"), c.Text("user-name"),
                            c.Int("id-type"), c.Text("id"), c.Text("mobile"), c.Text("tel"),
                            c.Text("post"), c.Text("email"), c.Text("address"), c.out.expire_text);
       }},
      {"enable-next", "TokenEnableNext",
       "TokenEnableNext.asp?sServiceNo=%s&iDynPasswd1=%d&iDynPasswd2=%d&strUserName=%s&"
       "iIDType=%d&strID=%s&strMobile=%s&strTel=%s&strPost=%s&strEmail=%s&strAddress=%s",
       "put a card into service with two consecutive one-time passwords",
       WithProfile({O("service-no"), I("password"), I("password2")}), K::kExpire,
       [](Call& c) {
         return TokenEnableNext(c.Text("service-no"), c.Int("password"), c.Int("password2"),
                                c.Text("user-name"), c.Int("id-type"), c.Text("id"),
                                c.Text("mobile"), c.Text("tel"), c.Text("post"), c.Text("email"),
                                c.Text("address"), c.out.expire_text);
       }},
      {"disable",
       "TokenDisable",
       "TokenDisable.asp?iCardNo=%d&sServiceNo=%s&sIdCode=%s&iAppNo=%d&iAppNo2=%d&sAccount=%s&"
       "sOperator=%s",
       "take a card out of service",
       {I("card"), T("service-no"), T("id-code"), I("app-no"), I("app-no2"), O("account"),
        O("operator")},
       K::kNone,
       [](Call& c) {
         return TokenDisable(c.Int("card"), c.Text("service-no"), c.Text("id-code"),
                             c.Int("app-no"), c.Int("app-no2"), c.Text("account"),
                             c.Text("operator"));
       }},
      {"loss",
       "TokenLoss",
       "TokenLoss.asp?iCardNo=%d&sServiceNo=%s&iType=%d&iAppNo=%d&iAppNo2=%d&sAccount=%s&"
       "sOperator=%s",
       "report a card lost",
       {I("card"), T("service-no"), I("type"), I("app-no"), I("app-no2"), O("account"),
        O("operator")},
       K::kNone,
       [](Call& c) {
         return TokenLoss(c.Int("card"), c.Text("service-no"), c.Int("type"), c.Int("app-no"),
                          c.Int("app-no2"), c.Text("account"), c.Text("operator"));
       }},
      {"unloss",
       "TokenUnLoss",
       "TokenUnLoss.asp?iCardNo=%d&sServiceNo=%s&iDynPasswd=%d&sOperator=%s",
       "withdraw a loss report",
       {I("card"), T("service-no"), I("password"), O("operator")},
       K::kNone,
       [](Call& c) {
         return TokenUnLoss(c.Int("card"), c.Text("service-no"), c.Int("password"),
                            c.Text("operator"));
       }},
      {"unloss-next",
       "TokenUnLossNext",
       "TokenUnLossNext.asp?iCardNo=%d&sServiceNo=%s&iDynPasswd1=%d&iDynPasswd2=%d&"
       "sOperator=%s",
       "withdraw a loss report with two consecutive one-time passwords",
       {I("card"), T("service-no"), I("password"), I("password2"), O("operator")},
       K::kNone,
       [](Call& c) {
         return TokenUnLossNext(c.Int("card"), c.Text("service-no"), c.Int("password"),
                                c.Int("password2"), c.Text("operator"));
       }},
      {"bind-info",
       "TokenBindInfoQuery",
       "TokenBindInfoQuery.asp?icardno=%d&iDynpasswd=%d",
       "list the accounts a card is bound to",
       {I("card"), I("password")},
       K::kRows,
       [](Call& c) {
         return TokenBindInfoQuery(c.Int("card"), c.Int("password"), &c.out.row_count, c.out.rows);
       }},
      {"bind-info-next",
       "TokenBindInfoQueryNext",
       "TokenBindInfoQueryNext.asp?icardno=%d&iDynpasswd1=%d&iDynpasswd2=%d",
       "list the bindings with two consecutive one-time passwords",
       {I("card"), I("password"), I("password2")},
       K::kRows,
       [](Call& c) {
         return TokenBindInfoQueryNext(c.Int("card"), c.Int("password"), c.Int("password2"),
                                       &c.out.row_count, c.out.rows);
       }},
      {"status",
       "TokenStatus",
       "TokenStatus.asp?iCardNo=%d",
       "query a card's status number and expiry",
       {I("card")},
       K::kStatus,
       [](Call& c) { return TokenStatus(c.Int("card"), c.out.card_status, c.out.expire_text); }},
      {"change",
       "TokenChange",
       "TokenChange.asp?iCardNoOld=%d&sServiceNoOld=%s&sServiceNoNew=%s&iDynPasswd=%d",
       "replace a card by the card with the new service number",
       {I("old-card"), T("old-service-no"), T("new-service-no"), I("password")},
       K::kNone,
       [](Call& c) {
         return TokenChange(c.Int("old-card"), c.Text("old-service-no"), c.Text("new-service-no"),
                            c.Int("password"));
       }},
      {"change-next",
       "TokenChangeNext",
       "TokenChangeNext.asp?iCardNoOld=%d&sServiceNoOld=%s&sServiceNoNew=%s&iDynPasswd1=%d&"
       "iDynPasswd2=%d",
       "replace a card with two consecutive one-time passwords",
       {I("old-card"), T("old-service-no"), T("new-service-no"), I("password"), I("password2")},
       K::kNone,
       [](Call& c) {
         return TokenChangeNext(c.Int("old-card"), c.Text("old-service-no"),
                                c.Text("new-service-no"), c.Int("password"), c.Int("password2"));
       }},
      {"modify-info", "TokenModifyInfo",
       "TokenModifyInfo.asp?iCardNo=%d&iDynPasswd=%d&strUserName=%s&iIDType=%d&strID=%s&"
       "strMobile=%s&strTel=%s&strPost=%s&strEmail=%s&strAddress=%s",
       "change the holder's profile", WithProfile({I("card"), I("password")}), K::kNone,
       [](Call& c) {
         return TokenModifyInfo(c.Int("card"), c.Int("password"), c.Text("user-name"),
                                c.Int("id-type"), c.Text("id"), c.Text("mobile"), c.Text("tel"),
                                c.Text("post"), c.Text("email"), c.Text("address"));
       }},
      {"modify-info-next", "TokenModifyInfoNext",
       "TokenModifyInfoNext.asp?iCardNo=%d&iDynPasswd1=%d&iDynPasswd2=%d&strUserName=%s&"
       "iIDType=%d&strID=%s&strMobile=%s&strTel=%s&strPost=%s&strEmail=%s&strAddress=%s",
       "change the holder's profile with two consecutive one-time passwords",
       WithProfile({I("card"), I("password"), I("password2")}), K::kNone,
       [](Call& c) {
         return TokenModifyInfoNext(c.Int("card"), c.Int("password"), c.Int("password2"),
                                    c.Text("user-name"), c.Int("id-type"), c.Text("id"),
                                    c.Text("mobile"), c.Text("tel"), c.Text("post"),
                                    c.Text("email"), c.Text("address"));
       }},
      {"bind-esale",
       "TokenBindEsale",
       "TokenBindEsale.asp?iCardNo=%d&iDynpasswd=%d",
       "link the card to an Esale account",
       {I("card"), I("password")},
       K::kResvPassWord,
       [](Call& c) {
         return TokenBindEsale(c.Int("card"), c.Int("password"), c.out.resv_password);
       }},
      {"bind-esale-next",
       "TokenBindEsaleNext",
       "TokenBindEsaleNext.asp?iCardNo=%d&iDynpasswd1=%d&iDynpasswd2=%d",
       "link the card to an Esale account with two consecutive one-time passwords",
       {I("card"), I("password"), I("password2")},
       K::kResvPassWord,
       [](Call& c) {
         return TokenBindEsaleNext(c.Int("card"), c.Int("password"), c.Int("password2"),
                                   c.out.resv_password);
       }},
      {"bind-other",
       "TokenBindOther",
       "TokenBindOther.asp?iCardNo=%d&iDynpasswd=%d",
       "link the card to an account of the other kind",
       {I("card"), I("password")},
       K::kResvPassWord,
       [](Call& c) {
         return TokenBindOther(c.Int("card"), c.Int("password"), c.out.resv_password);
       }},
      {"bind-other-next",
       "TokenBindOtherNext",
       "TokenBindOtherNext.asp?iCardNo=%d&iDynpasswd1=%d&iDynpasswd2=%d",
       "link the card to an account of the other kind with two consecutive one-time passwords",
       {I("card"), I("password"), I("password2")},
       K::kResvPassWord,
       [](Call& c) {
         return TokenBindOtherNext(c.Int("card"), c.Int("password"), c.Int("password2"),
                                   c.out.resv_password);
       }},
  };
}

}  // namespace

std::optional<int> ParseDecimalInt(const std::string& text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  if (i == text.size()) return std::nullopt;
  long long value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(std::numeric_limits<int>::max()) + 1) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int>::max() || value < std::numeric_limits<int>::min()) {
    return std::nullopt;
  }
  return static_cast<int>(value);
}

const std::vector<Operation>& Operations() {
  static const std::vector<Operation> table = BuildTable();
  return table;
}

std::string OptionHelp(const std::string& option) {
  static const std::map<std::string, std::string> help = {
      {"card", "card number"},
      {"old-card", "number of the card being replaced"},
      {"password", "one-time password shown by the card"},
      {"password2", "the one-time password that follows --password"},
      {"app-no", "first application number of the account"},
      {"app-no2", "second application number of the account"},
      {"account", "account name (at most 20 bytes)"},
      {"service-no", "service number of the card (at most 20 bytes)"},
      {"old-service-no", "service number of the card being replaced (at most 20 bytes)"},
      {"new-service-no", "service number of the new card (at most 20 bytes)"},
      {"resv-password", "reserved password the binding returned (at most 6 bytes)"},
      {"user-name", "holder's name (at most 20 bytes)"},
      {"id-type", "type of the identity document, as the service numbers them"},
      {"id", "identity document number (at most 20 bytes)"},
      {"mobile", "mobile telephone number (at most 20 bytes)"},
      {"tel", "fixed telephone number (at most 20 bytes)"},
      {"post", "postcode (at most 10 bytes)"},
      {"email", "e-mail address (at most 40 bytes)"},
      {"address", "postal address (at most 100 bytes)"},
      {"id-code", "identity code (at most 20 bytes)"},
      {"type", "loss report type, passed on to the service"},
      {"operator", "name of the operator performing the action"},
  };
  auto it = help.find(option);
  return it == help.end() ? option : it->second;
}

}  // namespace zcv::ctl
