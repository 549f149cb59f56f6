// The 28 operations' requests, written once: each one's path template,
// exception log line, path buffer size and whether the failure gate applies,
// by the name of its exported C++ function. The operations, the C
// interface and zcvctl all take them from here.
#pragma once

#include <cstddef>

#include "service/call_frame.h"

namespace zcv {

extern const Operation kAuth;
extern const Operation kAuth2;
extern const Operation kAuth2Next;
extern const Operation kBinding;
extern const Operation kBinding2;
extern const Operation kBinding2Next;
extern const Operation kUnBinding;
extern const Operation kUnBinding2;
extern const Operation kUnBinding2Next;
extern const Operation kUnBindingEx;
extern const Operation kUnBindingEx2;
extern const Operation kEnable;
extern const Operation kEnableNext;
extern const Operation kDisable;
extern const Operation kLoss;
extern const Operation kUnLoss;
extern const Operation kUnLossNext;
extern const Operation kBindInfoQuery;
extern const Operation kBindInfoQueryNext;
extern const Operation kStatus;
extern const Operation kChange;
extern const Operation kChangeNext;
extern const Operation kModifyInfo;
extern const Operation kModifyInfoNext;
extern const Operation kBindEsale;
extern const Operation kBindEsaleNext;
extern const Operation kBindOther;
extern const Operation kBindOtherNext;

struct OperationRow {
  const char* function;  // the exported C++ function, e.g. "TokenAuth"
  const Operation& operation;
};

constexpr std::size_t kOperationCount = 28;
// In the order of zephyrcoilvault.h.
extern const OperationRow kOperationTable[kOperationCount];

// The row of an exported function's name, or null.
const OperationRow* FindOperation(const char* function);

}  // namespace zcv
