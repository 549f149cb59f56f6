// The process-wide pointer to the default client.
#include "service/default_client.h"

#include <atomic>

namespace zcv {
namespace {
std::atomic<Client*> current{nullptr};
}  // namespace

Client* DefaultClient() { return current.load(std::memory_order_acquire); }

void SetDefaultClient(Client* client) { current.store(client, std::memory_order_release); }

}  // namespace zcv
