// The process-wide pointer to the default client, and its maker.
#include "service/default_client.h"

#include <atomic>

namespace zcv {
namespace {
std::atomic<Client*> current{nullptr};
std::atomic<Client* (*)()> maker{nullptr};
}  // namespace

Client* DefaultClient() {
  if (Client* client = current.load(std::memory_order_acquire)) return client;
  Client* (*make)() = maker.load(std::memory_order_acquire);
  return make != nullptr ? make() : nullptr;
}

void SetDefaultClient(Client* client) { current.store(client, std::memory_order_release); }

void SetDefaultClientMaker(Client* (*make)()) { maker.store(make, std::memory_order_release); }

}  // namespace zcv
