// The simulated token service: the rules of every page (card states,
// one-time passwords, bindings and account links) over the CardStore.
// Every public function runs as one transaction under one mutex, so the
// service is safe to call from the HTTP server's worker threads.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "zcvsim/card_store.h"
#include "zcvsim/verdict.h"

namespace zcv::sim {

// Seconds since 1970; injected so tests control time.
using Clock = std::function<std::int64_t()>;
Clock SystemClock();

constexpr std::size_t kMaxBindings = 10;
constexpr int kResvPasswordDigits = 6;
// Used when a card is added without an expiry time.
constexpr std::int64_t kDefaultValidSeconds = 3LL * 365 * 24 * 3600;

// One one-time password, or two consecutive ones for the "Next" pages.
struct Codes {
  std::int64_t first = 0;
  std::optional<std::int64_t> second;
};

struct Account {
  std::int64_t app_no = 0;
  std::int64_t app_no2 = 0;
  std::string account;
};

struct Outcome {
  Verdict verdict = Verdict::kAccepted;
  std::optional<std::int64_t> expire_time;
  std::optional<std::string> resv_password;
  std::optional<int> card_status;
  std::optional<std::vector<Binding>> rows;
};

// Produces reserved passwords; injected so tests can predict them.
using PasswordSource = std::function<std::string()>;
PasswordSource RandomPasswordSource();

class TokenService {
 public:
  TokenService(const std::string& db_path, Clock clock,
               PasswordSource passwords = RandomPasswordSource());

  // Administration (the `add-card` and `list` commands).
  bool AddCard(const Card& card);
  std::vector<Card> Cards();
  std::optional<Card> FindCard(std::int64_t card_no);
  std::vector<Binding> Bindings(std::int64_t card_no);
  std::int64_t Now() const { return clock_(); }

  // The pages. Each returns kAccepted and its outputs, or a refusal.
  Outcome Auth(std::int64_t card_no, const Codes& codes);
  Outcome Bind(std::int64_t card_no, const Codes& codes, const Account& account);
  Outcome Unbind(std::int64_t card_no, const std::optional<std::string>& service_no,
                 const Codes& codes, const Account& account);
  // Without a password (resv empty) or with the binding's reserved password.
  Outcome UnbindEx(std::int64_t card_no, const Account& account,
                   const std::optional<std::string>& resv_password);
  Outcome Enable(const std::string& service_no, const Codes& codes, const Profile& profile);
  Outcome Disable(std::int64_t card_no, const std::string& service_no, const std::string& id_code);
  Outcome Loss(std::int64_t card_no, const std::string& service_no);
  Outcome UnLoss(std::int64_t card_no, const std::string& service_no, const Codes& codes);
  Outcome BindInfo(std::int64_t card_no, const Codes& codes);
  Outcome Status(std::int64_t card_no);
  Outcome Change(std::int64_t old_card_no, const std::string& old_service_no,
                 const std::string& new_service_no, const Codes& codes);
  Outcome ModifyInfo(std::int64_t card_no, const Codes& codes, const Profile& profile);
  Outcome Link(std::int64_t card_no, const Codes& codes, LinkKind kind);

 private:
  // Runs `body` in a transaction under the mutex; a database failure rolls
  // back and yields kInternalError.
  Outcome Run(const std::function<Outcome(std::int64_t now)>& body);
  // The checks every password-proven page shares: the card exists, is in
  // service, has not expired, and the codes match.
  Verdict CheckUsable(const std::optional<Card>& card, std::int64_t now) const;
  Verdict CheckCodes(const Card& card, std::int64_t now, const Codes& codes) const;
  // A usable card whose holder proved possession with the codes.
  Verdict CheckProven(const std::optional<Card>& card, std::int64_t now, const Codes& codes) const;

  std::mutex mutex_;
  CardStore store_;
  Clock clock_;
  PasswordSource passwords_;
};

// "YYYY-MM-DD hh:mm:ss" in UTC.
std::string FormatUtc(std::int64_t seconds);

}  // namespace zcv::sim
