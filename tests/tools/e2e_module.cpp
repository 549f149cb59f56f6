// Loading and unloading the library module for the end-to-end tests.
#include "e2e_module.h"

#include <dlfcn.h>

namespace zcv::e2e {

LoadedModule::LoadedModule(const std::string& path) {
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    error_ = dlerror();
    return;
  }
#define ZCV_E2E_RESOLVE(name, elf, windows)                        \
  name = reinterpret_cast<decltype(&::name)>(dlsym(handle_, elf)); \
  if (name == nullptr && error_.empty()) error_ = "missing " #name;
  ZCV_EXPORTED_OPERATIONS(ZCV_E2E_RESOLVE)
#undef ZCV_E2E_RESOLVE
}

LoadedModule::~LoadedModule() {
  if (handle_ != nullptr) dlclose(handle_);
}

bool LoadedModule::IsUnloaded(const std::string& path) {
  void* still = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (still == nullptr) return true;
  dlclose(still);
  return false;
}

}  // namespace zcv::e2e
