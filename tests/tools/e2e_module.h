// A build of the library loaded with dlopen, so that a test can write the
// configuration file first and load the module afresh for each scenario
// (its server list and failure gate start anew with every load).
#pragma once

#include <zephyrcoilvault.h>

#include <string>

#include "exported_names.h"

namespace zcv::e2e {

class LoadedModule {
 public:
  // Loads the module; error() tells why when a function is missing.
  explicit LoadedModule(const std::string& path);
  ~LoadedModule();
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;

  const std::string& error() const { return error_; }
  // True once the module is gone from the process after unloading.
  static bool IsUnloaded(const std::string& path);

  // The 28 exported functions, resolved by their names in the module's symbol table.
#define ZCV_E2E_MEMBER(name, elf, windows) decltype(&::name) name = nullptr;
  ZCV_EXPORTED_OPERATIONS(ZCV_E2E_MEMBER)
#undef ZCV_E2E_MEMBER

 private:
  void* handle_ = nullptr;
  std::string error_;
};

}  // namespace zcv::e2e
