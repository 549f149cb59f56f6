// The simulator's persistent state: cards, their bindings to accounts and
// their account links, kept in one SQLite file so it survives restarts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "zcvsim/sqlite_db.h"
#include "zcvsim/totp.h"

namespace zcv::sim {

// The numbers are what TokenStatus reports as CardStatus.
enum class CardState : int { kNew = 0, kEnabled = 1, kDisabled = 2, kLost = 3 };

const char* CardStateName(CardState state);

struct Profile {
  std::optional<std::string> user_name;
  std::int64_t id_type = 0;
  std::optional<std::string> id;
  std::optional<std::string> mobile;
  std::optional<std::string> tel;
  std::optional<std::string> post;
  std::optional<std::string> email;
  std::optional<std::string> address;
};

struct Card {
  std::int64_t card_no = 0;
  std::string service_no;
  Secret secret;
  CardState state = CardState::kNew;
  std::int64_t expire_time = 0;
  Profile profile;
};

struct Binding {
  std::int64_t app_no = 0;
  std::int64_t app_no2 = 0;
  std::string account;
  std::string bind_time;  // "YYYY-MM-DD hh:mm:ss", UTC
  std::string resv_password;
};

enum class LinkKind { kEsale, kOther };

const char* LinkKindName(LinkKind kind);

// Plain data access; the rules live in TokenService. Not thread-safe: the
// caller serialises access and wraps each request in a Transaction.
class CardStore {
 public:
  explicit CardStore(const std::string& path);

  Database& db() { return db_; }

  // False when the number or the service number is taken.
  bool AddCard(const Card& card);
  std::optional<Card> FindCard(std::int64_t card_no);
  std::optional<Card> FindByServiceNo(const std::string& service_no);
  std::vector<Card> AllCards();
  void SetState(std::int64_t card_no, CardState state);
  void SetProfile(std::int64_t card_no, const Profile& profile);

  // Bindings in the order they were made.
  std::vector<Binding> Bindings(std::int64_t card_no);
  std::optional<Binding> FindBinding(std::int64_t card_no, std::int64_t app_no,
                                     std::int64_t app_no2, const std::string& account);
  void AddBinding(std::int64_t card_no, const Binding& binding);
  void RemoveBinding(std::int64_t card_no, std::int64_t app_no, std::int64_t app_no2,
                     const std::string& account);

  std::optional<std::string> LinkPassword(std::int64_t card_no, LinkKind kind);
  void AddLink(std::int64_t card_no, LinkKind kind, const std::string& resv_password,
               const std::string& link_time);

  // Moves every binding and link of one card to another.
  void MoveBindingsAndLinks(std::int64_t from_card, std::int64_t to_card);

 private:
  Database db_;
};

}  // namespace zcv::sim
