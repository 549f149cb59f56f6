// SQL of the simulator's state.
#include "zcvsim/card_store.h"

namespace zcv::sim {
namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS cards (
  card_no INTEGER PRIMARY KEY,
  service_no TEXT NOT NULL UNIQUE,
  secret TEXT NOT NULL,
  state INTEGER NOT NULL,
  expire_time INTEGER NOT NULL,
  user_name TEXT, id_type INTEGER NOT NULL DEFAULT 0, id_no TEXT, mobile TEXT,
  tel TEXT, post TEXT, email TEXT, address TEXT);
CREATE TABLE IF NOT EXISTS bindings (
  seq INTEGER PRIMARY KEY AUTOINCREMENT,
  card_no INTEGER NOT NULL REFERENCES cards(card_no),
  app_no INTEGER NOT NULL, app_no2 INTEGER NOT NULL, account TEXT NOT NULL,
  bind_time TEXT NOT NULL, resv_password TEXT NOT NULL,
  UNIQUE (card_no, app_no, app_no2, account));
CREATE TABLE IF NOT EXISTS links (
  card_no INTEGER NOT NULL REFERENCES cards(card_no),
  kind TEXT NOT NULL, resv_password TEXT NOT NULL, link_time TEXT NOT NULL,
  PRIMARY KEY (card_no, kind));
)sql";

constexpr const char* kCardColumns =
    "card_no, service_no, secret, state, expire_time, user_name, id_type, id_no, mobile, tel, "
    "post, email, address";

Card ReadCard(const Statement& s) {
  Card card;
  card.card_no = s.Int(0);
  card.service_no = s.Text(1);
  card.secret = SecretFromHex(s.Text(2)).value_or(Secret{});
  card.state = static_cast<CardState>(s.Int(3));
  card.expire_time = s.Int(4);
  card.profile.user_name = s.OptText(5);
  card.profile.id_type = s.Int(6);
  card.profile.id = s.OptText(7);
  card.profile.mobile = s.OptText(8);
  card.profile.tel = s.OptText(9);
  card.profile.post = s.OptText(10);
  card.profile.email = s.OptText(11);
  card.profile.address = s.OptText(12);
  return card;
}

Binding ReadBinding(const Statement& s) {
  return Binding{s.Int(0), s.Int(1), s.Text(2), s.Text(3), s.Text(4)};
}

constexpr const char* kBindingColumns = "app_no, app_no2, account, bind_time, resv_password";

}  // namespace

const char* CardStateName(CardState state) {
  switch (state) {
    case CardState::kNew:
      return "new";
    case CardState::kEnabled:
      return "enabled";
    case CardState::kDisabled:
      return "disabled";
    case CardState::kLost:
      return "lost";
  }
  return "unknown";
}

const char* LinkKindName(LinkKind kind) { return kind == LinkKind::kEsale ? "Esale" : "Other"; }

CardStore::CardStore(const std::string& path) : db_(path) { db_.Exec(kSchema); }

bool CardStore::AddCard(const Card& card) {
  if (FindCard(card.card_no) || FindByServiceNo(card.service_no)) return false;
  db_.Prepare(std::string("INSERT INTO cards (") + kCardColumns +
              ") VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?)")
      .Bind(1, card.card_no)
      .Bind(2, card.service_no)
      .Bind(3, SecretToHex(card.secret))
      .Bind(4, static_cast<std::int64_t>(card.state))
      .Bind(5, card.expire_time)
      .Bind(6, card.profile.user_name)
      .Bind(7, card.profile.id_type)
      .Bind(8, card.profile.id)
      .Bind(9, card.profile.mobile)
      .Bind(10, card.profile.tel)
      .Bind(11, card.profile.post)
      .Bind(12, card.profile.email)
      .Bind(13, card.profile.address)
      .Run();
  return true;
}

std::optional<Card> CardStore::FindCard(std::int64_t card_no) {
  Statement s =
      db_.Prepare(std::string("SELECT ") + kCardColumns + " FROM cards WHERE card_no = ?");
  s.Bind(1, card_no);
  if (!s.Step()) return std::nullopt;
  return ReadCard(s);
}

std::optional<Card> CardStore::FindByServiceNo(const std::string& service_no) {
  Statement s =
      db_.Prepare(std::string("SELECT ") + kCardColumns + " FROM cards WHERE service_no = ?");
  s.Bind(1, service_no);
  if (!s.Step()) return std::nullopt;
  return ReadCard(s);
}

std::vector<Card> CardStore::AllCards() {
  Statement s = db_.Prepare(std::string("SELECT ") + kCardColumns + " FROM cards ORDER BY card_no");
  std::vector<Card> cards;
  while (s.Step()) cards.push_back(ReadCard(s));
  return cards;
}

void CardStore::SetState(std::int64_t card_no, CardState state) {
  db_.Prepare("UPDATE cards SET state = ? WHERE card_no = ?")
      .Bind(1, static_cast<std::int64_t>(state))
      .Bind(2, card_no)
      .Run();
}

void CardStore::SetProfile(std::int64_t card_no, const Profile& p) {
  db_.Prepare(
         "UPDATE cards SET user_name = ?, id_type = ?, id_no = ?, mobile = ?, tel = ?, post = ?, "
         "email = ?, address = ? WHERE card_no = ?")
      .Bind(1, p.user_name)
      .Bind(2, p.id_type)
      .Bind(3, p.id)
      .Bind(4, p.mobile)
      .Bind(5, p.tel)
      .Bind(6, p.post)
      .Bind(7, p.email)
      .Bind(8, p.address)
      .Bind(9, card_no)
      .Run();
}

std::vector<Binding> CardStore::Bindings(std::int64_t card_no) {
  Statement s = db_.Prepare(std::string("SELECT ") + kBindingColumns +
                            " FROM bindings WHERE card_no = ? ORDER BY seq");
  s.Bind(1, card_no);
  std::vector<Binding> rows;
  while (s.Step()) rows.push_back(ReadBinding(s));
  return rows;
}

std::optional<Binding> CardStore::FindBinding(std::int64_t card_no, std::int64_t app_no,
                                              std::int64_t app_no2, const std::string& account) {
  Statement s = db_.Prepare(std::string("SELECT ") + kBindingColumns +
                            " FROM bindings WHERE card_no = ? AND app_no = ? AND app_no2 = ? AND "
                            "account = ?");
  s.Bind(1, card_no).Bind(2, app_no).Bind(3, app_no2).Bind(4, account);
  if (!s.Step()) return std::nullopt;
  return ReadBinding(s);
}

void CardStore::AddBinding(std::int64_t card_no, const Binding& b) {
  db_.Prepare(
         "INSERT INTO bindings (card_no, app_no, app_no2, account, bind_time, resv_password) "
         "VALUES (?,?,?,?,?,?)")
      .Bind(1, card_no)
      .Bind(2, b.app_no)
      .Bind(3, b.app_no2)
      .Bind(4, b.account)
      .Bind(5, b.bind_time)
      .Bind(6, b.resv_password)
      .Run();
}

void CardStore::RemoveBinding(std::int64_t card_no, std::int64_t app_no, std::int64_t app_no2,
                              const std::string& account) {
  db_.Prepare(
         "DELETE FROM bindings WHERE card_no = ? AND app_no = ? AND app_no2 = ? AND account = ?")
      .Bind(1, card_no)
      .Bind(2, app_no)
      .Bind(3, app_no2)
      .Bind(4, account)
      .Run();
}

std::optional<std::string> CardStore::LinkPassword(std::int64_t card_no, LinkKind kind) {
  Statement s = db_.Prepare("SELECT resv_password FROM links WHERE card_no = ? AND kind = ?");
  s.Bind(1, card_no).Bind(2, std::string(LinkKindName(kind)));
  if (!s.Step()) return std::nullopt;
  return s.Text(0);
}

void CardStore::AddLink(std::int64_t card_no, LinkKind kind, const std::string& resv_password,
                        const std::string& link_time) {
  db_.Prepare("INSERT INTO links (card_no, kind, resv_password, link_time) VALUES (?,?,?,?)")
      .Bind(1, card_no)
      .Bind(2, std::string(LinkKindName(kind)))
      .Bind(3, resv_password)
      .Bind(4, link_time)
      .Run();
}

void CardStore::MoveBindingsAndLinks(std::int64_t from_card, std::int64_t to_card) {
  db_.Prepare("UPDATE bindings SET card_no = ? WHERE card_no = ?")
      .Bind(1, to_card)
      .Bind(2, from_card)
      .Run();
  db_.Prepare("UPDATE links SET card_no = ? WHERE card_no = ?")
      .Bind(1, to_card)
      .Bind(2, from_card)
      .Run();
}

}  // namespace zcv::sim
