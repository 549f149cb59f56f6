// The operation table of zcvctl.
#include "zcvctl/operations.h"

#include <limits>

#include "service/operation_table.h"

namespace zcv::ctl {
namespace {

Param I(const char* option) { return Param{option, ParamKind::kInt}; }
Param T(const char* option) { return Param{option, ParamKind::kText}; }
Param O(const char* option) { return Param{option, ParamKind::kOptText}; }

zcv_bind_info* Rows(pTokenBindInfo* rows) { return reinterpret_cast<zcv_bind_info*>(rows); }

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
       "authenticate a card with its one-time password",
       {I("card"), I("password")},
       K::kExpire,
       [](Call& c) {
         return zcv_auth(c.client, c.Int("card"), c.Int("password"), c.out.expire_text,
                         sizeof c.out.expire_text);
       }},
      {"auth2",
       "TokenAuth2",
       "authenticate a card (second service page)",
       {I("card"), I("password")},
       K::kExpire,
       [](Call& c) {
         return zcv_auth2(c.client, c.Int("card"), c.Int("password"), c.out.expire_text,
                          sizeof c.out.expire_text);
       }},
      {"auth2-next",
       "TokenAuth2Next",
       "authenticate a card with two consecutive one-time passwords",
       {I("card"), I("password"), I("password2")},
       K::kExpire,
       [](Call& c) {
         return zcv_auth2_next(c.client, c.Int("card"), c.Int("password"), c.Int("password2"),
                               c.out.expire_text, sizeof c.out.expire_text);
       }},
      {"bind",
       "TokenBinding",
       "bind a card to an account",
       {I("card"), I("password"), I("app-no"), I("app-no2"), T("account")},
       K::kResvPassWord,
       [](Call& c) {
         return zcv_binding(c.client, c.Int("card"), c.Int("password"), c.Int("app-no"),
                            c.Int("app-no2"), c.Text("account"), c.out.resv_password,
                            sizeof c.out.resv_password);
       }},
      {"bind2",
       "TokenBinding2",
       "bind a card to an account (second service page)",
       {I("card"), I("password"), I("app-no"), I("app-no2"), T("account")},
       K::kResvPassWord,
       [](Call& c) {
         return zcv_binding2(c.client, c.Int("card"), c.Int("password"), c.Int("app-no"),
                             c.Int("app-no2"), c.Text("account"), c.out.resv_password,
                             sizeof c.out.resv_password);
       }},
      {"bind2-next",
       "TokenBinding2Next",
       "bind a card to an account with two consecutive one-time passwords",
       {I("card"), I("password"), I("password2"), I("app-no"), I("app-no2"), T("account")},
       K::kResvPassWord,
       [](Call& c) {
         return zcv_binding2_next(c.client, c.Int("card"), c.Int("password"), c.Int("password2"),
                                  c.Int("app-no"), c.Int("app-no2"), c.Text("account"),
                                  c.out.resv_password, sizeof c.out.resv_password);
       }},
      {"unbind",
       "TokenUnBinding",
       "remove a binding, proven by a one-time password and the service number",
       {I("card"), O("service-no"), I("password"), I("app-no"), I("app-no2"), T("account")},
       K::kNone,
       [](Call& c) {
         return zcv_unbinding(c.client, c.Int("card"), c.Text("service-no"), c.Int("password"),
                              c.Int("app-no"), c.Int("app-no2"), c.Text("account"));
       }},
      {"unbind2",
       "TokenUnBinding2",
       "remove a binding (second service page)",
       {I("card"), O("service-no"), I("password"), I("app-no"), I("app-no2"), T("account")},
       K::kNone,
       [](Call& c) {
         return zcv_unbinding2(c.client, c.Int("card"), c.Text("service-no"), c.Int("password"),
                               c.Int("app-no"), c.Int("app-no2"), c.Text("account"));
       }},
      {"unbind2-next",
       "TokenUnBinding2Next",
       "remove a binding with two consecutive one-time passwords",
       {I("card"), O("service-no"), I("password"), I("password2"), I("app-no"), I("app-no2"),
        T("account")},
       K::kNone,
       [](Call& c) {
         return zcv_unbinding2_next(c.client, c.Int("card"), c.Text("service-no"),
                                    c.Int("password"), c.Int("password2"), c.Int("app-no"),
                                    c.Int("app-no2"), c.Text("account"));
       }},
      {"unbind-ex",
       "TokenUnBindingEx",
       "remove a binding without a password",
       {I("card"), I("app-no"), I("app-no2"), T("account")},
       K::kNone,
       [](Call& c) {
         return zcv_unbinding_ex(c.client, c.Int("card"), c.Int("app-no"), c.Int("app-no2"),
                                 c.Text("account"));
       }},
      {"unbind-ex2",
       "TokenUnBindingEx2",
       "remove a binding with the reserved password it returned",
       {I("card"), I("app-no"), I("app-no2"), T("account"), T("resv-password")},
       K::kNone,
       [](Call& c) {
         return zcv_unbinding_ex2(c.client, c.Int("card"), c.Int("app-no"), c.Int("app-no2"),
                                  c.Text("account"), c.Text("resv-password"));
       }},
      {"enable", "TokenEnable", "put a card into service and register its holder",
       WithProfile({O("service-no"), I("password")}), K::kExpire,
       [](Call& c) {
         return zcv_enable(c.client, c.Text("service-no"), c.Int("password"), c.Text("user-name"),
                           c.Int("id-type"), c.Text("id"), c.Text("mobile"), c.Text("tel"),
                           c.Text("post"), c.Text("email"), c.Text("address"), c.out.expire_text,
                           sizeof c.out.expire_text);
       }},
      {"enable-next", "TokenEnableNext",
       "put a card into service with two consecutive one-time passwords",
       WithProfile({O("service-no"), I("password"), I("password2")}), K::kExpire,
       [](Call& c) {
         return zcv_enable_next(c.client, c.Text("service-no"), c.Int("password"),
                                c.Int("password2"), c.Text("user-name"), c.Int("id-type"),
                                c.Text("id"), c.Text("mobile"), c.Text("tel"), c.Text("post"),
                                c.Text("email"), c.Text("address"), c.out.expire_text,
                                sizeof c.out.expire_text);
       }},
      {"disable",
       "TokenDisable",
       "take a card out of service",
       {I("card"), T("service-no"), T("id-code"), I("app-no"), I("app-no2"), O("account"),
        O("operator")},
       K::kNone,
       [](Call& c) {
         return zcv_disable(c.client, c.Int("card"), c.Text("service-no"), c.Text("id-code"),
                            c.Int("app-no"), c.Int("app-no2"), c.Text("account"),
                            c.Text("operator"));
       }},
      {"loss",
       "TokenLoss",
       "report a card lost",
       {I("card"), T("service-no"), I("type"), I("app-no"), I("app-no2"), O("account"),
        O("operator")},
       K::kNone,
       [](Call& c) {
         return zcv_loss(c.client, c.Int("card"), c.Text("service-no"), c.Int("type"),
                         c.Int("app-no"), c.Int("app-no2"), c.Text("account"), c.Text("operator"));
       }},
      {"unloss",
       "TokenUnLoss",
       "withdraw a loss report",
       {I("card"), T("service-no"), I("password"), O("operator")},
       K::kNone,
       [](Call& c) {
         return zcv_unloss(c.client, c.Int("card"), c.Text("service-no"), c.Int("password"),
                           c.Text("operator"));
       }},
      {"unloss-next",
       "TokenUnLossNext",
       "withdraw a loss report with two consecutive one-time passwords",
       {I("card"), T("service-no"), I("password"), I("password2"), O("operator")},
       K::kNone,
       [](Call& c) {
         return zcv_unloss_next(c.client, c.Int("card"), c.Text("service-no"), c.Int("password"),
                                c.Int("password2"), c.Text("operator"));
       }},
      {"bind-info",
       "TokenBindInfoQuery",
       "list the accounts a card is bound to",
       {I("card"), I("password")},
       K::kRows,
       [](Call& c) {
         return zcv_bind_info_query(c.client, c.Int("card"), c.Int("password"), &c.out.row_count,
                                    Rows(c.out.rows), zcv::kMaxBindRows);
       }},
      {"bind-info-next",
       "TokenBindInfoQueryNext",
       "list the bindings with two consecutive one-time passwords",
       {I("card"), I("password"), I("password2")},
       K::kRows,
       [](Call& c) {
         return zcv_bind_info_query_next(c.client, c.Int("card"), c.Int("password"),
                                         c.Int("password2"), &c.out.row_count, Rows(c.out.rows),
                                         zcv::kMaxBindRows);
       }},
      {"status",
       "TokenStatus",
       "query a card's status number and expiry",
       {I("card")},
       K::kStatus,
       [](Call& c) {
         return zcv_status(c.client, c.Int("card"), &c.out.card_status, c.out.expire_text,
                           sizeof c.out.expire_text);
       }},
      {"change",
       "TokenChange",
       "replace a card by the card with the new service number",
       {I("old-card"), T("old-service-no"), T("new-service-no"), I("password")},
       K::kNone,
       [](Call& c) {
         return zcv_change(c.client, c.Int("old-card"), c.Text("old-service-no"),
                           c.Text("new-service-no"), c.Int("password"));
       }},
      {"change-next",
       "TokenChangeNext",
       "replace a card with two consecutive one-time passwords",
       {I("old-card"), T("old-service-no"), T("new-service-no"), I("password"), I("password2")},
       K::kNone,
       [](Call& c) {
         return zcv_change_next(c.client, c.Int("old-card"), c.Text("old-service-no"),
                                c.Text("new-service-no"), c.Int("password"), c.Int("password2"));
       }},
      {"modify-info", "TokenModifyInfo", "change the holder's profile",
       WithProfile({I("card"), I("password")}), K::kNone,
       [](Call& c) {
         return zcv_modify_info(c.client, c.Int("card"), c.Int("password"), c.Text("user-name"),
                                c.Int("id-type"), c.Text("id"), c.Text("mobile"), c.Text("tel"),
                                c.Text("post"), c.Text("email"), c.Text("address"));
       }},
      {"modify-info-next", "TokenModifyInfoNext",
       "change the holder's profile with two consecutive one-time passwords",
       WithProfile({I("card"), I("password"), I("password2")}), K::kNone,
       [](Call& c) {
         return zcv_modify_info_next(c.client, c.Int("card"), c.Int("password"), c.Int("password2"),
                                     c.Text("user-name"), c.Int("id-type"), c.Text("id"),
                                     c.Text("mobile"), c.Text("tel"), c.Text("post"),
                                     c.Text("email"), c.Text("address"));
       }},
      {"bind-esale",
       "TokenBindEsale",
       "link the card to an Esale account",
       {I("card"), I("password")},
       K::kResvPassWord,
       [](Call& c) {
         return zcv_bind_esale(c.client, c.Int("card"), c.Int("password"), c.out.resv_password,
                               sizeof c.out.resv_password);
       }},
      {"bind-esale-next",
       "TokenBindEsaleNext",
       "link the card to an Esale account with two consecutive one-time passwords",
       {I("card"), I("password"), I("password2")},
       K::kResvPassWord,
       [](Call& c) {
         return zcv_bind_esale_next(c.client, c.Int("card"), c.Int("password"), c.Int("password2"),
                                    c.out.resv_password, sizeof c.out.resv_password);
       }},
      {"bind-other",
       "TokenBindOther",
       "link the card to an account of the other kind",
       {I("card"), I("password")},
       K::kResvPassWord,
       [](Call& c) {
         return zcv_bind_other(c.client, c.Int("card"), c.Int("password"), c.out.resv_password,
                               sizeof c.out.resv_password);
       }},
      {"bind-other-next",
       "TokenBindOtherNext",
       "link the card to an account of the other kind with two consecutive one-time passwords",
       {I("card"), I("password"), I("password2")},
       K::kResvPassWord,
       [](Call& c) {
         return zcv_bind_other_next(c.client, c.Int("card"), c.Int("password"), c.Int("password2"),
                                    c.out.resv_password, sizeof c.out.resv_password);
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

// Each request template comes from the library's own table.
std::vector<Operation> WithRequests(std::vector<Operation> table) {
  for (Operation& op : table) op.request = zcv::FindOperation(op.function)->operation.pathTemplate;
  return table;
}

const std::vector<Operation>& Operations() {
  static const std::vector<Operation> table = WithRequests(BuildTable());
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
