// The library as the end-to-end tests use it: a client opened on the
// configuration file in the test's directory, made the default client, so
// that each scenario starts with a fresh server list and failure gate, and
// the 28 exported operations that run on it.
#pragma once

#include <zephyrcoilvault.h>

#include <memory>
#include <string>

#include "exported_names.h"
#include "service/client.h"

namespace zcv::e2e {

class LoadedModule {
 public:
  // Opens the client on the two files (relative to the working directory)
  // and makes it the default one. A refused file leaves every call 1012.
  LoadedModule(const std::string& configFile, const std::string& logFile);
  // Closes the client, writing the rotated order back, as an unload does.
  ~LoadedModule();
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;

  // The 28 exported functions.
#define ZCV_E2E_MEMBER(name, elf, windows) decltype(&::name) name = &::name;
  ZCV_EXPORTED_OPERATIONS(ZCV_E2E_MEMBER)
#undef ZCV_E2E_MEMBER

 private:
  std::unique_ptr<Client> client_;
};

}  // namespace zcv::e2e
