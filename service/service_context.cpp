// The process-wide pointer to the module's objects.
#include "service/service_context.h"

#include <atomic>

namespace zcv {
namespace {
std::atomic<ServiceContext*> active{nullptr};
}  // namespace

ServiceContext* ActiveContext() { return active.load(std::memory_order_acquire); }

void SetActiveContext(ServiceContext* context) { active.store(context, std::memory_order_release); }

}  // namespace zcv
