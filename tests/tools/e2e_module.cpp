// The end-to-end tests' client: opened, made the default, closed.
#include "e2e_module.h"

#include "service/default_client.h"

namespace zcv::e2e {

LoadedModule::LoadedModule(const std::string& configFile, const std::string& logFile) {
  ClientOptions options;
  options.configPath = configFile;
  options.logPath = logFile;
  options.writeBack = true;
  client_ = std::make_unique<Client>(options);
  SetDefaultClient(client_.get());
}

LoadedModule::~LoadedModule() {
  SetDefaultClient(nullptr);
  client_.reset();
}

}  // namespace zcv::e2e
