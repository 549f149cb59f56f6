// The loaded module: creates the default client when the shared library is
// loaded, from the compiled-in configuration and log paths, and closes it
// when the library is unloaded (waiting for calls in flight, then writing
// the rotated order back). The client's own storage is never destroyed, so
// that a call that starts after unload began is refused rather than
// reaching freed objects.
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

struct Module {
  alignas(Client) unsigned char storage[sizeof(Client)];
  Client* client;

  Module() : client(new (storage) Client(DefaultOptions())) { SetDefaultClient(client); }
  ~Module() { client->Close(); }
};

Module module;

}  // namespace
}  // namespace zcv
