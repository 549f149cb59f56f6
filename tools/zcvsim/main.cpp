// zcvsim: a token-service simulator for the library's demo and tests.
// Subcommands: serve, add-card, otp, list, verdicts.
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>

#include "zcvsim/sim_server.h"
#include "zcvsim/totp.h"

namespace {

using namespace zcv::sim;

constexpr const char* kLoopback = "127.0.0.1";
constexpr const char* kDefaultDb = "zcvsim.db";
constexpr std::int64_t kSecondsPerDay = 24 * 3600;
constexpr int kSignalPollMs = 200;

// Written to a fresh temporary name beside it first, so a reader never sees
// half a number. The name is made by mkstemp (O_CREAT|O_EXCL): a link or
// file planted under any name is never opened, let alone followed.
bool WritePortFile(const std::string& path, int port) {
  std::string temp = path + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return false;
  const std::string text = std::to_string(port) + "\n";
  const bool written = ::fchmod(fd, 0644) == 0 &&
                       ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  const bool closed = ::close(fd) == 0;
  if (written && closed && std::rename(temp.c_str(), path.c_str()) == 0) return true;
  ::unlink(temp.c_str());
  return false;
}

// A certificate and key to serve TLS with; both empty for plain HTTP.
struct TlsFiles {
  std::string certificate;
  std::string key;
};

int Serve(const std::string& db, int port, const std::string& port_file, int max_seconds,
          const FaultPlan& faults, const TlsFiles& tls, bool verbose) {
  // Block the stop signals in every thread; the main thread waits for them.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

  TokenService service(db, SystemClock());
  SimServer server(service);
  server.SetFaults(faults);
  std::string tls_error;
  if (!tls.certificate.empty() && !server.SetTls(tls.certificate, tls.key, &tls_error)) {
    std::cerr << "zcvsim: " << tls_error << "\n";
    return 1;
  }
  if (verbose) {
    server.SetRequestLog([](const std::string& line) {
      std::fprintf(stderr, "zcvsim[%d]: %s\n", static_cast<int>(getpid()), line.c_str());
    });
  }
  int bound = server.Start(kLoopback, port);
  if (bound < 0) {
    std::cerr << "zcvsim: cannot listen on " << kLoopback << ":" << port << "\n";
    return 1;
  }
  if (!port_file.empty() && !WritePortFile(port_file, bound)) {
    std::cerr << "zcvsim: cannot write " << port_file << "\n";
    return 1;
  }
  std::cout << "zcvsim: serving on " << kLoopback << ":" << bound
            << (tls.certificate.empty() ? "" : " over TLS") << " (database " << db << ")"
            << std::endl;
  std::time_t start = std::time(nullptr);
  for (;;) {
    timespec wait{0, kSignalPollMs * 1000000L};
    int sig = sigtimedwait(&stop_signals, nullptr, &wait);
    if (sig > 0) break;
    if (max_seconds > 0 && std::time(nullptr) - start >= max_seconds) break;
  }
  server.Stop();
  std::cout << "zcvsim: stopped after " << server.RequestCount() << " requests" << std::endl;
  return 0;
}

// The secret in hexadecimal, the first line of a file or, for "-", of
// standard input, blanks around it ignored. Never taken from the command
// line, where any user's ps would show it.
std::optional<Secret> ReadSecret(const std::string& source) {
  std::ifstream file;
  if (source != "-") {
    file.open(source);
    if (!file) return std::nullopt;
  }
  std::string line;
  std::getline(source == "-" ? std::cin : file, line);
  const char* blanks = " \t\r\n";
  const std::string::size_type first = line.find_first_not_of(blanks);
  if (first == std::string::npos) return std::nullopt;
  return SecretFromHex(line.substr(first, line.find_last_not_of(blanks) - first + 1));
}

// What add-card needs besides the card's numbers.
struct NewCardOptions {
  std::string secret_source;  // empty: a generated secret
  bool print_secret = false;  // show the generated secret, this once
  std::int64_t expire_at = 0;
  int valid_days = 0;
};

int AddCard(const std::string& db, std::int64_t card_no, const std::string& service_no,
            const NewCardOptions& options) {
  Card card;
  card.card_no = card_no;
  card.service_no = service_no;
  if (options.secret_source.empty()) {
    card.secret = GenerateSecret();
  } else if (auto secret = ReadSecret(options.secret_source)) {
    card.secret = *secret;
  } else {
    std::cerr << "zcvsim: " << options.secret_source
              << " must hold the secret as an even number of hexadecimal digits\n";
    return 2;
  }
  TokenService service(db, SystemClock());
  card.expire_time = options.expire_at > 0 ? options.expire_at
                                           : service.Now() + options.valid_days * kSecondsPerDay;
  if (!service.AddCard(card)) {
    std::cerr << "zcvsim: card " << card_no << " or service number " << service_no
              << " exists already\n";
    return 1;
  }
  std::cout << "card " << card_no << " service-no " << service_no << " expires "
            << FormatUtc(card.expire_time) << " UTC\n";
  if (options.print_secret) std::cout << "secret " << SecretToHex(card.secret) << "\n";
  return 0;
}

int PrintOtp(const std::string& db, std::int64_t card_no, std::int64_t at, bool next) {
  TokenService service(db, SystemClock());
  std::optional<Card> card = service.FindCard(card_no);
  if (!card) {
    std::cerr << "zcvsim: no card " << card_no << "\n";
    return 1;
  }
  std::int64_t step = OtpStep(at != 0 ? at : service.Now());
  std::cout << FormatOtp(OtpAtStep(card->secret, step));
  if (next) std::cout << ' ' << FormatOtp(OtpAtStep(card->secret, step + 1));
  std::cout << '\n';
  return 0;
}

int List(const std::string& db) {
  TokenService service(db, SystemClock());
  std::printf("%-12s %-20s %-9s %-20s %-8s %s\n", "card", "service-no", "state", "expires (UTC)",
              "bindings", "holder");
  for (const Card& card : service.Cards()) {
    std::printf("%-12lld %-20s %-9s %-20s %-8zu %s\n", static_cast<long long>(card.card_no),
                card.service_no.c_str(), CardStateName(card.state),
                FormatUtc(card.expire_time).c_str(), service.Bindings(card.card_no).size(),
                card.profile.user_name.value_or("-").c_str());
  }
  return 0;
}

int Verdicts() {
  std::size_t count = 0;
  const VerdictInfo* table = VerdictTable(&count);
  for (std::size_t i = 0; i < count; ++i) {
    std::printf("%-5u %-24s %s\n", Code(table[i].verdict), table[i].name, table[i].meaning);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"zcvsim: token-service simulator on loopback"};
  app.require_subcommand(1);
  std::string db = kDefaultDb;

  CLI::App* serve =
      app.add_subcommand("serve", "serve the 28 pages over HTTP/1.1, plain or TLS, on 127.0.0.1");
  int port = 0;
  std::string port_file;
  int max_seconds = 0;
  bool verbose = false;
  FaultPlan faults;
  serve->add_option("--db", db, "SQLite database file")->capture_default_str();
  serve->add_option("--port", port, "TCP port; 0 picks a free one")->capture_default_str();
  serve->add_option("--port-file", port_file, "write the chosen port to this file");
  serve->add_option("--max-seconds", max_seconds, "stop by itself after this many seconds");
  serve->add_flag("-v,--verbose", verbose, "print one line per request on stderr");
  TlsFiles tls;
  CLI::Option* tls_cert =
      serve->add_option("--tls-cert", tls.certificate, "serve TLS with this PEM certificate chain")
          ->check(CLI::ExistingFile);
  CLI::Option* tls_key =
      serve->add_option("--tls-key", tls.key, "the PEM private key of --tls-cert")
          ->check(CLI::ExistingFile);
  tls_cert->needs(tls_key);
  tls_key->needs(tls_cert);
  serve
      ->add_option("--refuse-share", faults.refuse_share,
                   "share of connections closed at once without a reply")
      ->check(CLI::Range(0.0, 1.0));
  serve->add_option("--reset-share", faults.reset_share, "share of connections reset")
      ->check(CLI::Range(0.0, 1.0));
  serve->add_option("--delay-ms", faults.delay_ms, "delay before each request is read")
      ->check(CLI::NonNegativeNumber);
  serve
      ->add_option("--malformed-share", faults.malformed_share,
                   "share of replies cut to a document that is not well-formed")
      ->check(CLI::Range(0.0, 1.0));
  serve
      ->add_option("--truncated-share", faults.truncated_share,
                   "share of replies whose body ends before its Content-Length")
      ->check(CLI::Range(0.0, 1.0));

  CLI::App* add = app.add_subcommand("add-card", "add a new (not yet enabled) card");
  std::int64_t card_no = 0;
  std::string service_no;
  NewCardOptions new_card;
  new_card.valid_days = static_cast<int>(kDefaultValidSeconds / kSecondsPerDay);
  add->add_option("--db", db, "SQLite database file")->capture_default_str();
  add->add_option("--card", card_no, "card number")->required();
  add->add_option("--service-no", service_no, "service number (at most 20 characters)")
      ->required()
      ->check([](const std::string& s) {
        return s.size() <= 20 ? std::string() : std::string("at most 20 characters");
      });
  CLI::Option* secret_file = add->add_option(
      "--secret-file", new_card.secret_source,
      "read the TOTP secret in hexadecimal from this file (- for standard input); generated "
      "when absent");
  add->add_flag("--print-secret", new_card.print_secret,
                "print the generated secret (it is never shown again)")
      ->excludes(secret_file);
  add->add_option("--expire-at", new_card.expire_at, "expiry in seconds since 1970");
  add->add_option("--valid-days", new_card.valid_days, "expiry in days from now")
      ->capture_default_str();

  CLI::App* otp = app.add_subcommand("otp", "print a card's current one-time password");
  std::int64_t at = 0;
  bool next = false;
  otp->add_option("--db", db, "SQLite database file")->capture_default_str();
  otp->add_option("--card", card_no, "card number")->required();
  otp->add_option("--at", at, "instant in seconds since 1970 instead of now");
  otp->add_flag("--next", next, "also print the following code (for the Next pages)");

  CLI::App* list = app.add_subcommand("list", "list the cards");
  list->add_option("--db", db, "SQLite database file")->capture_default_str();

  CLI::App* verdicts = app.add_subcommand("verdicts", "list the simulator's result codes");

  CLI11_PARSE(app, argc, argv);
  try {
    if (serve->parsed()) return Serve(db, port, port_file, max_seconds, faults, tls, verbose);
    if (add->parsed()) return AddCard(db, card_no, service_no, new_card);
    if (otp->parsed()) return PrintOtp(db, card_no, at, next);
    if (list->parsed()) return List(db);
    if (verdicts->parsed()) return Verdicts();
  } catch (const std::exception& e) {
    std::cerr << "zcvsim: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
