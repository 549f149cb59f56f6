// Rules of the simulated token service.
#include "zcvsim/token_service.h"

#include <openssl/rand.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <stdexcept>

#include "zcvsim/totp.h"

namespace zcv::sim {
namespace {

Outcome Refuse(Verdict v) {
  Outcome o;
  o.verdict = v;
  return o;
}

}  // namespace

Clock SystemClock() {
  return [] {
    return static_cast<std::int64_t>(std::chrono::duration_cast<std::chrono::seconds>(
                                         std::chrono::system_clock::now().time_since_epoch())
                                         .count());
  };
}

PasswordSource RandomPasswordSource() {
  return [] {
    std::uint32_t value = 0;
    // Rejection sampling keeps the six digits uniform.
    constexpr std::uint32_t kRange = 1000000;
    constexpr std::uint32_t kLimit = 0xffffffffu - (0xffffffffu % kRange);
    do {
      if (RAND_bytes(reinterpret_cast<unsigned char*>(&value), sizeof value) != 1) {
        throw std::runtime_error("no random bytes for a reserved password");
      }
    } while (value >= kLimit);
    char text[8];
    std::snprintf(text, sizeof text, "%0*u", kResvPasswordDigits, value % kRange);
    return std::string(text);
  };
}

std::string FormatUtc(std::int64_t seconds) {
  std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  char text[32] = "";
  if (gmtime_r(&t, &tm) != nullptr) std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
  return text;
}

TokenService::TokenService(const std::string& db_path, Clock clock, PasswordSource passwords)
    : store_(db_path), clock_(std::move(clock)), passwords_(std::move(passwords)) {}

Outcome TokenService::Run(const std::function<Outcome(std::int64_t now)>& body) {
  std::lock_guard<std::mutex> lock(mutex_);
  try {
    Transaction tx(store_.db());
    Outcome outcome = body(clock_());
    tx.Commit();
    return outcome;
  } catch (const SqliteError&) {
    return Refuse(Verdict::kInternalError);
  }
}

bool TokenService::AddCard(const Card& card) {
  std::lock_guard<std::mutex> lock(mutex_);
  Transaction tx(store_.db());
  bool added = store_.AddCard(card);
  tx.Commit();
  return added;
}

std::vector<Card> TokenService::Cards() {
  std::lock_guard<std::mutex> lock(mutex_);
  return store_.AllCards();
}

std::optional<Card> TokenService::FindCard(std::int64_t card_no) {
  std::lock_guard<std::mutex> lock(mutex_);
  return store_.FindCard(card_no);
}

std::vector<Binding> TokenService::Bindings(std::int64_t card_no) {
  std::lock_guard<std::mutex> lock(mutex_);
  return store_.Bindings(card_no);
}

Verdict TokenService::CheckUsable(const std::optional<Card>& card, std::int64_t now) const {
  if (!card) return Verdict::kUnknownCard;
  switch (card->state) {
    case CardState::kNew:
      return Verdict::kCardNotEnabled;
    case CardState::kLost:
      return Verdict::kCardLost;
    case CardState::kDisabled:
      return Verdict::kCardDisabled;
    case CardState::kEnabled:
      break;
  }
  if (card->expire_time <= now) return Verdict::kCardExpired;
  return Verdict::kAccepted;
}

Verdict TokenService::CheckCodes(const Card& card, std::int64_t now, const Codes& codes) const {
  bool ok = codes.second ? VerifyOtpPair(card.secret, now, codes.first, *codes.second)
                         : VerifyOtp(card.secret, now, codes.first);
  return ok ? Verdict::kAccepted : Verdict::kWrongPassword;
}

Verdict TokenService::CheckProven(const std::optional<Card>& card, std::int64_t now,
                                  const Codes& codes) const {
  const Verdict v = CheckUsable(card, now);
  return v == Verdict::kAccepted ? CheckCodes(*card, now, codes) : v;
}

Outcome TokenService::Auth(std::int64_t card_no, const Codes& codes) {
  return Run([&](std::int64_t now) {
    std::optional<Card> card = store_.FindCard(card_no);
    Verdict v = CheckProven(card, now, codes);
    if (v != Verdict::kAccepted) return Refuse(v);
    Outcome o;
    o.expire_time = card->expire_time;
    return o;
  });
}

Outcome TokenService::Bind(std::int64_t card_no, const Codes& codes, const Account& account) {
  return Run([&](std::int64_t now) {
    std::optional<Card> card = store_.FindCard(card_no);
    Verdict v = CheckProven(card, now, codes);
    if (v != Verdict::kAccepted) return Refuse(v);
    if (store_.FindBinding(card_no, account.app_no, account.app_no2, account.account)) {
      return Refuse(Verdict::kAlreadyBound);
    }
    if (store_.Bindings(card_no).size() >= kMaxBindings) return Refuse(Verdict::kTooManyBindings);
    Binding b{account.app_no, account.app_no2, account.account, FormatUtc(now), passwords_()};
    store_.AddBinding(card_no, b);
    Outcome o;
    o.resv_password = b.resv_password;
    return o;
  });
}

Outcome TokenService::Unbind(std::int64_t card_no, const std::optional<std::string>& service_no,
                             const Codes& codes, const Account& account) {
  return Run([&](std::int64_t now) {
    std::optional<Card> card = store_.FindCard(card_no);
    if (!card) return Refuse(Verdict::kUnknownCard);
    if (!service_no || *service_no != card->service_no) {
      return Refuse(Verdict::kServiceNoMismatch);
    }
    Verdict v = CheckProven(card, now, codes);
    if (v != Verdict::kAccepted) return Refuse(v);
    if (!store_.FindBinding(card_no, account.app_no, account.app_no2, account.account)) {
      return Refuse(Verdict::kBindingNotFound);
    }
    store_.RemoveBinding(card_no, account.app_no, account.app_no2, account.account);
    return Outcome{};
  });
}

Outcome TokenService::UnbindEx(std::int64_t card_no, const Account& account,
                               const std::optional<std::string>& resv_password) {
  return Run([&](std::int64_t) {
    if (!store_.FindCard(card_no)) return Refuse(Verdict::kUnknownCard);
    std::optional<Binding> b =
        store_.FindBinding(card_no, account.app_no, account.app_no2, account.account);
    if (!b) return Refuse(Verdict::kBindingNotFound);
    if (resv_password && *resv_password != b->resv_password) {
      return Refuse(Verdict::kWrongReservedPassword);
    }
    store_.RemoveBinding(card_no, account.app_no, account.app_no2, account.account);
    return Outcome{};
  });
}

Outcome TokenService::Enable(const std::string& service_no, const Codes& codes,
                             const Profile& profile) {
  return Run([&](std::int64_t now) {
    std::optional<Card> card = store_.FindByServiceNo(service_no);
    if (!card) return Refuse(Verdict::kUnknownCard);
    if (card->state == CardState::kEnabled) return Refuse(Verdict::kAlreadyEnabled);
    if (card->state == CardState::kLost) return Refuse(Verdict::kCardLost);
    if (card->expire_time <= now) return Refuse(Verdict::kCardExpired);
    Verdict v = CheckCodes(*card, now, codes);
    if (v != Verdict::kAccepted) return Refuse(v);
    store_.SetProfile(card->card_no, profile);
    store_.SetState(card->card_no, CardState::kEnabled);
    Outcome o;
    o.expire_time = card->expire_time;
    return o;
  });
}

Outcome TokenService::Disable(std::int64_t card_no, const std::string& service_no,
                              const std::string& id_code) {
  return Run([&](std::int64_t) {
    std::optional<Card> card = store_.FindCard(card_no);
    if (!card) return Refuse(Verdict::kUnknownCard);
    if (card->service_no != service_no) return Refuse(Verdict::kServiceNoMismatch);
    if (card->state == CardState::kNew) return Refuse(Verdict::kCardNotEnabled);
    if (card->state == CardState::kDisabled) return Refuse(Verdict::kCardDisabled);
    // A holder who registered a document number must name it.
    if (card->profile.id && *card->profile.id != id_code) return Refuse(Verdict::kIdCodeMismatch);
    store_.SetState(card_no, CardState::kDisabled);
    return Outcome{};
  });
}

Outcome TokenService::Loss(std::int64_t card_no, const std::string& service_no) {
  return Run([&](std::int64_t) {
    std::optional<Card> card = store_.FindCard(card_no);
    if (!card) return Refuse(Verdict::kUnknownCard);
    if (card->service_no != service_no) return Refuse(Verdict::kServiceNoMismatch);
    if (card->state == CardState::kNew) return Refuse(Verdict::kCardNotEnabled);
    if (card->state == CardState::kLost) return Refuse(Verdict::kCardLost);
    if (card->state == CardState::kDisabled) return Refuse(Verdict::kCardDisabled);
    store_.SetState(card_no, CardState::kLost);
    return Outcome{};
  });
}

Outcome TokenService::UnLoss(std::int64_t card_no, const std::string& service_no,
                             const Codes& codes) {
  return Run([&](std::int64_t now) {
    std::optional<Card> card = store_.FindCard(card_no);
    if (!card) return Refuse(Verdict::kUnknownCard);
    if (card->service_no != service_no) return Refuse(Verdict::kServiceNoMismatch);
    if (card->state != CardState::kLost) return Refuse(Verdict::kCardNotLost);
    Verdict v = CheckCodes(*card, now, codes);
    if (v != Verdict::kAccepted) return Refuse(v);
    store_.SetState(card_no, CardState::kEnabled);
    return Outcome{};
  });
}

Outcome TokenService::BindInfo(std::int64_t card_no, const Codes& codes) {
  return Run([&](std::int64_t now) {
    std::optional<Card> card = store_.FindCard(card_no);
    Verdict v = CheckProven(card, now, codes);
    if (v != Verdict::kAccepted) return Refuse(v);
    Outcome o;
    o.rows = store_.Bindings(card_no);
    return o;
  });
}

Outcome TokenService::Status(std::int64_t card_no) {
  return Run([&](std::int64_t) {
    std::optional<Card> card = store_.FindCard(card_no);
    if (!card) return Refuse(Verdict::kUnknownCard);
    Outcome o;
    o.card_status = static_cast<int>(card->state);
    o.expire_time = card->expire_time;
    return o;
  });
}

Outcome TokenService::Change(std::int64_t old_card_no, const std::string& old_service_no,
                             const std::string& new_service_no, const Codes& codes) {
  return Run([&](std::int64_t now) {
    std::optional<Card> old_card = store_.FindCard(old_card_no);
    if (!old_card) return Refuse(Verdict::kUnknownCard);
    if (old_card->service_no != old_service_no) return Refuse(Verdict::kServiceNoMismatch);
    if (old_card->state == CardState::kNew) return Refuse(Verdict::kCardNotEnabled);
    if (old_card->state == CardState::kDisabled) return Refuse(Verdict::kCardDisabled);
    // The holder proves possession of the replacement; the old card may be
    // lost, which is the usual reason for replacing it.
    std::optional<Card> new_card = store_.FindByServiceNo(new_service_no);
    if (!new_card || new_card->state != CardState::kNew) {
      return Refuse(Verdict::kReplacementUnavailable);
    }
    if (new_card->expire_time <= now) return Refuse(Verdict::kCardExpired);
    Verdict v = CheckCodes(*new_card, now, codes);
    if (v != Verdict::kAccepted) return Refuse(v);
    store_.SetProfile(new_card->card_no, old_card->profile);
    store_.MoveBindingsAndLinks(old_card_no, new_card->card_no);
    store_.SetState(new_card->card_no, CardState::kEnabled);
    store_.SetState(old_card_no, CardState::kDisabled);
    return Outcome{};
  });
}

Outcome TokenService::ModifyInfo(std::int64_t card_no, const Codes& codes, const Profile& profile) {
  return Run([&](std::int64_t now) {
    std::optional<Card> card = store_.FindCard(card_no);
    Verdict v = CheckProven(card, now, codes);
    if (v != Verdict::kAccepted) return Refuse(v);
    store_.SetProfile(card_no, profile);
    return Outcome{};
  });
}

Outcome TokenService::Link(std::int64_t card_no, const Codes& codes, LinkKind kind) {
  return Run([&](std::int64_t now) {
    std::optional<Card> card = store_.FindCard(card_no);
    Verdict v = CheckProven(card, now, codes);
    if (v != Verdict::kAccepted) return Refuse(v);
    if (store_.LinkPassword(card_no, kind)) return Refuse(Verdict::kAlreadyLinked);
    std::string resv = passwords_();
    store_.AddLink(card_no, kind, resv, FormatUtc(now));
    Outcome o;
    o.resv_password = resv;
    return o;
  });
}

}  // namespace zcv::sim
