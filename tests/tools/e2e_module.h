// A build of the library loaded with dlopen, so that a test can write the
// configuration file first and load the module afresh for each scenario
// (its server list and failure gate start anew with every load).
#pragma once

#include <zephyrcoilvault.h>

#include <string>

namespace zcv::e2e {

// The 28 exported functions and their names in the module's symbol table.
#define ZCV_E2E_OPERATIONS(X)                                                   \
  X(TokenAuth, "_Z9TokenAuthiiPc")                                              \
  X(TokenAuth2, "_Z10TokenAuth2iiPc")                                           \
  X(TokenAuth2Next, "_Z14TokenAuth2NextiiiPc")                                  \
  X(TokenBinding, "_Z12TokenBindingiiiiPcS_")                                   \
  X(TokenBinding2, "_Z13TokenBinding2iiiiPcS_")                                 \
  X(TokenBinding2Next, "_Z17TokenBinding2NextiiiiiPcS_")                        \
  X(TokenUnBinding, "_Z14TokenUnBindingiPciiiS_")                               \
  X(TokenUnBinding2, "_Z15TokenUnBinding2iPciiiS_")                             \
  X(TokenUnBinding2Next, "_Z19TokenUnBinding2NextiPciiiiS_")                    \
  X(TokenUnBindingEx, "_Z16TokenUnBindingExiiiPc")                              \
  X(TokenUnBindingEx2, "_Z17TokenUnBindingEx2iiiPcS_")                          \
  X(TokenEnable, "_Z11TokenEnablePciS_iS_S_S_S_S_S_S_")                         \
  X(TokenEnableNext, "_Z15TokenEnableNextPciiS_iS_S_S_S_S_S_S_")                \
  X(TokenDisable, "_Z12TokenDisableiPcS_iiS_S_")                                \
  X(TokenLoss, "_Z9TokenLossiPciiiS_S_")                                        \
  X(TokenUnLoss, "_Z11TokenUnLossiPciS_")                                       \
  X(TokenUnLossNext, "_Z15TokenUnLossNextiPciiS_")                              \
  X(TokenBindInfoQuery, "_Z18TokenBindInfoQueryiiPiP14pTokenBindInfo")          \
  X(TokenBindInfoQueryNext, "_Z22TokenBindInfoQueryNextiiiPiP14pTokenBindInfo") \
  X(TokenStatus, "_Z11TokenStatusiRiPc")                                        \
  X(TokenChange, "_Z11TokenChangeiPcS_i")                                       \
  X(TokenChangeNext, "_Z15TokenChangeNextiPcS_ii")                              \
  X(TokenModifyInfo, "_Z15TokenModifyInfoiiPciS_S_S_S_S_S_")                    \
  X(TokenModifyInfoNext, "_Z19TokenModifyInfoNextiiiPciS_S_S_S_S_S_")           \
  X(TokenBindEsale, "_Z14TokenBindEsaleiiPc")                                   \
  X(TokenBindEsaleNext, "_Z18TokenBindEsaleNextiiiPc")                          \
  X(TokenBindOther, "_Z14TokenBindOtheriiPc")                                   \
  X(TokenBindOtherNext, "_Z18TokenBindOtherNextiiiPc")

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

#define ZCV_E2E_MEMBER(name, symbol) decltype(&::name) name = nullptr;
  ZCV_E2E_OPERATIONS(ZCV_E2E_MEMBER)
#undef ZCV_E2E_MEMBER

 private:
  void* handle_ = nullptr;
  std::string error_;
};

}  // namespace zcv::e2e
