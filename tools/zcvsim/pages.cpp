// Page table and query parsing of the simulated token service.
#include "zcvsim/pages.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <iterator>

#include "zcvsim/reply_xml.h"

namespace zcv::sim {
namespace {

// Texts the library sends for a null optional argument.
constexpr const char* kNullText = "(null)";

// Text limits, as the library checks them before sending.
constexpr std::size_t kMaxAccount = 20;
constexpr std::size_t kMaxServiceNo = 20;
constexpr std::size_t kMaxIdCode = 20;
constexpr std::size_t kMaxResvPassword = 6;
constexpr std::size_t kMaxProfileText = 20;
constexpr std::size_t kMaxPost = 10;
constexpr std::size_t kMaxEmail = 40;
constexpr std::size_t kMaxAddress = 100;

enum class Op {
  kAuth,
  kBind,
  kUnbind,
  kUnbindEx,
  kUnbindEx2,
  kEnable,
  kDisable,
  kLoss,
  kUnLoss,
  kBindInfo,
  kStatus,
  kChange,
  kModifyInfo,
  kLinkEsale,
  kLinkOther,
};

struct PageSpec {
  const char* name;
  Op op;
  const char* card_key;  // nullptr: the page names the card otherwise
  const char* code_key;  // nullptr: no one-time password
  bool pair;             // two codes under code_key + "1" and code_key + "2"
};

constexpr PageSpec kPages[] = {
    {"TokenAuth", Op::kAuth, "iCardNo", "iDynpasswd", false},
    {"TokenAuth2", Op::kAuth, "iCardNo", "iDynpasswd", false},
    {"TokenAuth2Next", Op::kAuth, "iCardNo", "iDynpasswd", true},
    {"TokenBinding", Op::kBind, "iCardNo", "iDynpasswd", false},
    {"TokenBinding2", Op::kBind, "iCardNo", "iDynpasswd", false},
    {"TokenBinding2Next", Op::kBind, "iCardNo", "iDynpasswd", true},
    {"TokenUnBinding", Op::kUnbind, "iCardNo", "iDynpasswd", false},
    {"TokenUnBinding2", Op::kUnbind, "iCardNo", "iDynpasswd", false},
    {"TokenUnBinding2Next", Op::kUnbind, "iCardNo", "iDynpasswd", true},
    {"TokenUnBindingEx", Op::kUnbindEx, "iCardNo", nullptr, false},
    {"TokenUnBindingEx2", Op::kUnbindEx2, "iCardNo", nullptr, false},
    {"TokenEnable", Op::kEnable, nullptr, "iDynPasswd", false},
    {"TokenEnableNext", Op::kEnable, nullptr, "iDynPasswd", true},
    {"TokenDisable", Op::kDisable, "iCardNo", nullptr, false},
    {"TokenLoss", Op::kLoss, "iCardNo", nullptr, false},
    {"TokenUnLoss", Op::kUnLoss, "iCardNo", "iDynPasswd", false},
    {"TokenUnLossNext", Op::kUnLoss, "iCardNo", "iDynPasswd", true},
    {"TokenBindInfoQuery", Op::kBindInfo, "icardno", "iDynpasswd", false},
    {"TokenBindInfoQueryNext", Op::kBindInfo, "icardno", "iDynpasswd", true},
    {"TokenStatus", Op::kStatus, "iCardNo", nullptr, false},
    {"TokenChange", Op::kChange, "iCardNoOld", "iDynPasswd", false},
    {"TokenChangeNext", Op::kChange, "iCardNoOld", "iDynPasswd", true},
    {"TokenModifyInfo", Op::kModifyInfo, "iCardNo", "iDynPasswd", false},
    {"TokenModifyInfoNext", Op::kModifyInfo, "iCardNo", "iDynPasswd", true},
    {"TokenBindEsale", Op::kLinkEsale, "iCardNo", "iDynpasswd", false},
    {"TokenBindEsaleNext", Op::kLinkEsale, "iCardNo", "iDynpasswd", true},
    {"TokenBindOther", Op::kLinkOther, "iCardNo", "iDynpasswd", false},
    {"TokenBindOtherNext", Op::kLinkOther, "iCardNo", "iDynpasswd", true},
};

// Thrown while reading the query; becomes kBadArgument.
struct BadArgument {};

class Reader {
 public:
  explicit Reader(const Query& q) : q_(q) {}

  const std::string& Raw(const std::string& key) const {
    auto it = q_.find(key);
    if (it == q_.end()) throw BadArgument{};
    return it->second;
  }

  std::int64_t Int(const std::string& key) const {
    const std::string& text = Raw(key);
    // Plain decimal only: strtoll alone would skip white space.
    if (text.empty() ||
        !(std::isdigit(static_cast<unsigned char>(text[0])) || text[0] == '-' || text[0] == '+')) {
      throw BadArgument{};
    }
    errno = 0;
    char* end = nullptr;
    long long value = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0') throw BadArgument{};
    return value;
  }

  // A text that must be given: "(null)" is refused.
  std::string Text(const std::string& key, std::size_t limit) const {
    std::optional<std::string> text = OptText(key, limit);
    if (!text) throw BadArgument{};
    return *text;
  }

  // A text that may be absent: "(null)" reads as absent.
  std::optional<std::string> OptText(const std::string& key, std::size_t limit) const {
    const std::string& text = Raw(key);
    if (text == kNullText) return std::nullopt;
    if (text.size() > limit) throw BadArgument{};
    return text;
  }

  // Unbounded texts only the library cuts (the operator's name).
  void Present(const std::string& key) const { Raw(key); }

  Codes ReadCodes(const PageSpec& spec) const {
    Codes codes;
    std::string key = spec.code_key;
    if (spec.pair) {
      codes.first = Int(key + "1");
      codes.second = Int(key + "2");
    } else {
      codes.first = Int(key);
    }
    return codes;
  }

  Account ReadAccount() const {
    return Account{Int("iAppNo"), Int("iAppNo2"), Text("sAccount", kMaxAccount)};
  }

  Profile ReadProfile() const {
    Profile p;
    p.user_name = OptText("strUserName", kMaxProfileText);
    p.id_type = Int("iIDType");
    p.id = OptText("strID", kMaxProfileText);
    p.mobile = OptText("strMobile", kMaxProfileText);
    p.tel = OptText("strTel", kMaxProfileText);
    p.post = OptText("strPost", kMaxPost);
    p.email = OptText("strEmail", kMaxEmail);
    p.address = OptText("strAddress", kMaxAddress);
    return p;
  }

 private:
  const Query& q_;
};

Outcome Dispatch(TokenService& service, const PageSpec& spec, const Reader& r) {
  std::int64_t card = spec.card_key != nullptr ? r.Int(spec.card_key) : 0;
  switch (spec.op) {
    case Op::kAuth:
      return service.Auth(card, r.ReadCodes(spec));
    case Op::kBind: {
      Codes codes = r.ReadCodes(spec);
      return service.Bind(card, codes, r.ReadAccount());
    }
    case Op::kUnbind: {
      Codes codes = r.ReadCodes(spec);
      Account account = r.ReadAccount();
      // Not limited by the library; a longer text simply does not match.
      std::optional<std::string> service_no = r.OptText("iServiceNo", std::string::npos);
      return service.Unbind(card, service_no, codes, account);
    }
    case Op::kUnbindEx:
      return service.UnbindEx(card, r.ReadAccount(), std::nullopt);
    case Op::kUnbindEx2: {
      Account account = r.ReadAccount();
      return service.UnbindEx(card, account, r.Text("sResvPassWord", kMaxResvPassword));
    }
    case Op::kEnable: {
      std::string service_no = r.Text("sServiceNo", kMaxServiceNo);
      Codes codes = r.ReadCodes(spec);
      return service.Enable(service_no, codes, r.ReadProfile());
    }
    case Op::kDisable: {
      std::string service_no = r.Text("sServiceNo", kMaxServiceNo);
      std::string id_code = r.Text("sIdCode", kMaxIdCode);
      r.Int("iAppNo");
      r.Int("iAppNo2");
      r.OptText("sAccount", kMaxAccount);
      r.Present("sOperator");
      return service.Disable(card, service_no, id_code);
    }
    case Op::kLoss: {
      std::string service_no = r.Text("sServiceNo", kMaxServiceNo);
      r.Int("iType");
      r.Int("iAppNo");
      r.Int("iAppNo2");
      r.OptText("sAccount", kMaxAccount);
      r.Present("sOperator");
      return service.Loss(card, service_no);
    }
    case Op::kUnLoss: {
      std::string service_no = r.Text("sServiceNo", kMaxServiceNo);
      Codes codes = r.ReadCodes(spec);
      r.Present("sOperator");
      return service.UnLoss(card, service_no, codes);
    }
    case Op::kBindInfo:
      return service.BindInfo(card, r.ReadCodes(spec));
    case Op::kStatus:
      return service.Status(card);
    case Op::kChange: {
      std::string old_service = r.Text("sServiceNoOld", kMaxServiceNo);
      std::string new_service = r.Text("sServiceNoNew", kMaxServiceNo);
      return service.Change(card, old_service, new_service, r.ReadCodes(spec));
    }
    case Op::kModifyInfo: {
      Codes codes = r.ReadCodes(spec);
      return service.ModifyInfo(card, codes, r.ReadProfile());
    }
    case Op::kLinkEsale:
      return service.Link(card, r.ReadCodes(spec), LinkKind::kEsale);
    case Op::kLinkOther:
      return service.Link(card, r.ReadCodes(spec), LinkKind::kOther);
  }
  return Outcome{Verdict::kInternalError, {}, {}, {}, {}};
}

}  // namespace

std::vector<std::string> PageNames() {
  std::vector<std::string> names;
  for (const PageSpec& spec : kPages) names.emplace_back(spec.name);
  return names;
}

PageReply HandlePage(TokenService& service, const std::string& page, const Query& query) {
  for (const PageSpec& spec : kPages) {
    if (page != spec.name) continue;
    Outcome outcome;
    try {
      outcome = Dispatch(service, spec, Reader(query));
    } catch (const BadArgument&) {
      outcome.verdict = Verdict::kBadArgument;
    }
    return PageReply{200, ReplyXml(outcome)};
  }
  return PageReply{404, "unknown page\n"};
}

}  // namespace zcv::sim
