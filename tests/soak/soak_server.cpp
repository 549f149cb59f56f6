// The soak servers' event loop: poll over the listener and every open
// connection, each connection a small state machine that reads the request
// head and then plays its behaviour's bytes, pauses and ending.
#include "soak_server.h"

#include <poll.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "support/test_socket.h"

namespace zcv::soak {
namespace {

using Clock = std::chrono::steady_clock;
namespace net = test::net;

constexpr std::size_t kMaxHeadBytes = 16 * 1024;  // a request head is far smaller
constexpr std::size_t kFloodBytes = 96 * 1024;    // beyond the client's head limit
constexpr int kTrickleMillis = 150;
constexpr int kIdleMillis = 100;
constexpr long kGoodCycle = 4;  // the good server closes one connection in this many
constexpr char kHeadEnd[] = "\r\n\r\n";

enum class Ending { kClose, kReset, kHang };

struct Connection {
  int socket = -1;
  long number = 0;  // in accept order
  std::string head;
  bool answering = false;  // the head has arrived and the answer is set
  std::string out;
  std::size_t sent = 0;
  std::size_t piece = 0;  // bytes per send; 0 for as many as the socket takes
  Clock::time_point nextSend;
  Ending ending = Ending::kClose;
  bool finished = false;  // everything sent; waits for the client to close
  long requests = 0;      // answered on this connection so far
  bool again = false;     // once the answer is sent, waits for another request
};

// Heads and replies of kept connections leave out "Connection: close".
std::string Head(std::size_t contentLength, bool keep = false) {
  return "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: " +
         std::to_string(contentLength) + (keep ? "\r\n\r\n" : "\r\nConnection: close\r\n\r\n");
}

std::string Reply(const std::string& body, bool keep = false) {
  return Head(body.size(), keep) + body;
}

std::string Document(const std::string& elements) {
  return "<?xml version=\"1.0\"?><Reply>" + elements + "</Reply>";
}

std::string Rows(int count) {
  std::string rows = "<RowCount>" + std::to_string(count) + "</RowCount>";
  for (int i = 0; i < count; ++i) {
    rows += "<Row><AppNo>" + std::to_string(i + 1) +
            "</AppNo><AppNo2>7</AppNo2>"
            "<Account>account-" +
            std::to_string(i) +
            "</Account>"
            "<Bindtime>2024-01-01 08:00:00</Bindtime></Row>";
  }
  return rows;
}

std::string Garbage(long seed) {
  std::string bytes(512, '\0');
  unsigned state = static_cast<unsigned>(seed) * 2654435761u + 1;
  for (char& c : bytes) {
    state = state * 1103515245u + 12345u;
    c = static_cast<char>(state >> 16);
  }
  return bytes;
}

// Sets what the connection sends, and how, once its request has arrived.
// With `keep` the replies that are framed whole keep their connection for
// the next request: the good one, trickled or not, and the wrong ones.
void Answer(Behaviour behaviour, bool keep, const std::string& good, Connection& c) {
  switch (behaviour) {
    case Behaviour::kGood:
      // Kept connections too are closed in turn, some before their first
      // request and some after a few.
      if ((c.number + c.requests) % kGoodCycle != kGoodCycle - 1) {
        c.out = Reply(good, keep);
        c.again = keep;
      }
      break;
    case Behaviour::kReset:
      c.ending = Ending::kReset;
      break;
    case Behaviour::kCloseMidHead:
      c.out = "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Len";
      break;
    case Behaviour::kCloseMidBody:
      c.out = Head(good.size()) + good.substr(0, good.size() / 2);
      break;
    case Behaviour::kWrongLength:
      if (c.number % 2 == 0) {
        c.out = Head(good.size() + 100) + good;
        c.ending = Ending::kHang;
      } else {
        // With `keep` the bytes beyond the length stay on a connection
        // that looks reusable.
        c.out = Head(good.size() / 3, keep) + good;
        c.again = keep;
      }
      break;
    case Behaviour::kTrickle:
      c.out = Reply(good, keep);
      c.again = keep;
      c.piece = 1;
      break;
    case Behaviour::kStall:
      c.ending = Ending::kHang;
      break;
    case Behaviour::kFloodHead:
      c.out = "HTTP/1.1 200 OK\r\n";
      while (c.out.size() < kFloodBytes) c.out += "X-Flood: " + std::string(100, 'f') + "\r\n";
      break;
    case Behaviour::kBadReplies:
      switch (c.number % 4) {
        case 0:
          c.out = Garbage(c.number);
          break;
        case 1:
          c.out = Reply("<?xml version=\"1.0\"?><Reply><Result>9999</Result><ExpireTi", keep);
          c.again = keep;
          break;
        case 2:
          c.out =
              Reply(Document("<Result>9999</Result><ExpireTime>1704067200</ExpireTime>"
                             "<ResvPassWord>" +
                             std::string(40, 'p') +
                             "</ResvPassWord>"
                             "<CardStatus>1</CardStatus>" +
                             Rows(1)));
          break;
        default:
          c.out =
              Reply(Document("<Result>9999</Result><ExpireTime>1704067200</ExpireTime>"
                             "<ResvPassWord>654321</ResvPassWord>" +
                             Rows(25)));
          break;
      }
      break;
    case Behaviour::kUntilClose:
      c.out = "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nConnection: close\r\n\r\n" + good;
      break;
    case Behaviour::kNoHandshake:
      c.out = c.number % 2 == 0 ? Reply(good) : Garbage(c.number);
      break;
  }
  c.answering = true;
  c.nextSend = Clock::now();
}

// Reads what the client sent; false once it has closed or failed.
bool ReadFrom(Behaviour behaviour, bool keep, const std::string& good, Connection& c) {
  char chunk[4096];
  for (;;) {
    const long n = net::ReceiveSome(c.socket, chunk, sizeof chunk);
    if (n == net::kAgain) return true;
    if (n <= 0) return false;
    if (c.answering) continue;  // the rest of a request is dropped
    c.head.append(chunk, static_cast<std::size_t>(n));
    if (behaviour == Behaviour::kNoHandshake || c.head.find(kHeadEnd) != std::string::npos ||
        c.head.size() > kMaxHeadBytes) {
      c.head.clear();
      c.head.shrink_to_fit();
      Answer(behaviour, keep, good, c);
    }
  }
}

// Sends what is due; false once the connection is to go.
bool SendTo(Connection& c) {
  while (c.sent < c.out.size()) {
    if (Clock::now() < c.nextSend) return true;
    std::size_t length = c.out.size() - c.sent;
    if (c.piece != 0 && length > c.piece) length = c.piece;
    const long n = net::SendSome(c.socket, std::string_view(c.out).substr(c.sent, length));
    if (n == net::kAgain) return true;
    if (n <= 0) return false;
    c.sent += static_cast<std::size_t>(n);
    if (c.piece != 0) c.nextSend = Clock::now() + std::chrono::milliseconds(kTrickleMillis);
  }
  if (c.finished) return true;
  if (c.again) {
    // Ready for the connection's next request.
    ++c.requests;
    c.answering = false;
    c.again = false;
    c.out.clear();
    c.sent = 0;
    c.piece = 0;
    return true;
  }
  c.finished = true;
  switch (c.ending) {
    case Ending::kReset:
      return false;
    case Ending::kClose:
      net::ShutDownSending(c.socket);  // the client reads the end, then closes
      return true;
    case Ending::kHang:
      return true;
  }
  return true;
}

void Drop(Connection& c) {
  if (c.ending == Ending::kReset && c.finished) {
    net::ResetSocket(c.socket);
  } else {
    net::CloseSocket(c.socket);
  }
}

}  // namespace

const char* BehaviourName(Behaviour behaviour) {
  static const char* const kNames[] = {
      "good",  "reset",      "close-mid-head", "close-mid-body", "wrong-length", "trickle",
      "stall", "flood-head", "bad-replies",    "until-close",    "no-handshake"};
  return kNames[static_cast<int>(behaviour)];
}

std::string GoodReplyBody() {
  return Document(
      "<Result>9999</Result><ExpireTime>1704067200</ExpireTime>"
      "<ResvPassWord>123456</ResvPassWord><CardStatus>2</CardStatus>" +
      Rows(2));
}

SoakServer::SoakServer(Behaviour behaviour, std::string goodBody, bool keep)
    : behaviour_(behaviour), goodBody_(std::move(goodBody)), keep_(keep) {
  listener_ = net::ListenOnLoopback(&port_);
  if (listener_ == net::kNoSocket || !net::MakeWakeUp(&wakeWatch_, &wakeSignal_)) {
    std::fprintf(stderr, "soak: cannot start a loopback server\n");
    std::abort();
  }
  thread_ = std::thread([this] { Run(); });
}

SoakServer::~SoakServer() { Stop(); }

void SoakServer::Stop() {
  if (!thread_.joinable()) return;
  net::SignalWakeUp(wakeSignal_);
  thread_.join();
  net::CloseSocket(listener_);
  net::CloseWakeUp(wakeWatch_, wakeSignal_);
}

void SoakServer::Run() {
  std::vector<Connection> open;
  std::vector<pollfd> entries;
  for (;;) {
    entries.assign({pollfd{wakeWatch_, POLLIN, 0}, pollfd{listener_, POLLIN, 0}});
    int timeout = kIdleMillis;
    const Clock::time_point now = Clock::now();
    for (const Connection& c : open) {
      short events = POLLIN;
      if (c.answering && c.sent < c.out.size()) {
        if (c.nextSend <= now) {
          events |= POLLOUT;
        } else {
          const auto wait =
              std::chrono::duration_cast<std::chrono::milliseconds>(c.nextSend - now).count() + 1;
          if (wait < timeout) timeout = static_cast<int>(wait);
        }
      }
      entries.push_back(pollfd{c.socket, events, 0});
    }
    if (::poll(entries.data(), entries.size(), timeout) < 0) continue;
    if (entries[0].revents != 0) break;

    std::vector<Connection> kept;
    kept.reserve(open.size() + 1);
    for (std::size_t i = 0; i < open.size(); ++i) {
      Connection& c = open[i];
      bool alive = true;
      if (entries[i + 2].revents & (POLLIN | POLLHUP | POLLERR))
        alive = ReadFrom(behaviour_, keep_, goodBody_, c);
      const long answered = c.requests;
      if (alive && c.answering) alive = SendTo(c);
      keptReplies_ += c.requests - answered;
      if (alive) {
        kept.push_back(std::move(c));
      } else {
        Drop(c);
      }
    }
    open.swap(kept);
    if (entries[1].revents & POLLIN) {
      const int socket = net::Accept(listener_);
      if (socket != net::kNoSocket) {
        Connection c;
        c.socket = socket;
        c.number = connections_++;
        open.push_back(std::move(c));
      }
    }
  }
  for (Connection& c : open) net::CloseSocket(c.socket);
}

}  // namespace zcv::soak
