// The loaded module: makes the default client on the first call that needs
// it, from the compiled-in configuration and log paths, and closes it when
// the library is unloaded (waiting for calls in flight, then writing the
// rotated order back). Loading alone reads no file and writes no log: hosts
// of the C interface never touch the default client's files. The client's
// storage, and the state that guards its making, are never destroyed, so
// that a call that starts after unload began is refused rather than
// reaching freed objects.
#include <mutex>
#include <new>

#include "service/default_client.h"

namespace zcv {
namespace {

ClientOptions DefaultOptions() {
  ClientOptions options;
  options.configPath = ZCV_CONFIG_FILE;
  options.logPath = ZCV_LOG_FILE;
  options.writeBack = true;
  return options;
}

// Made at load, never destroyed; holds no file and no thread.
struct DefaultSlot {
  std::mutex mutex;  // one maker at a time, and unload against them
  bool unloaded = false;
  Client* client = nullptr;
  alignas(Client) unsigned char storage[sizeof(Client)];
};

alignas(DefaultSlot) unsigned char slotStorage[sizeof(DefaultSlot)];
DefaultSlot* const slot = new (slotStorage) DefaultSlot;

Client* MakeDefaultClient() {
  try {
    std::lock_guard<std::mutex> lock(slot->mutex);
    if (slot->unloaded) return nullptr;
    if (slot->client == nullptr) {
      slot->client = new (slot->storage) Client(DefaultOptions());
      SetDefaultClient(slot->client);
    }
    return slot->client;
  } catch (...) {
    // Out of memory while making it: this call answers 1012, a later one
    // tries again.
    return nullptr;
  }
}

struct Module {
  Module() { SetDefaultClientMaker(&MakeDefaultClient); }
  ~Module() {
    Client* client = nullptr;
    try {
      std::lock_guard<std::mutex> lock(slot->mutex);
      slot->unloaded = true;
      client = slot->client;
    } catch (...) {
      return;  // the lock cannot be taken: leave everything as it is
    }
    // Only a client that was made writes back.
    if (client != nullptr) client->Close();
  }
};

Module module;

}  // namespace
}  // namespace zcv
