// CoInitialize and CoUninitialize, paired by the scope's life.
#include <objbase.h>

#include "platform/com_apartment.h"

namespace zcv::platform {

ComApartment::ComApartment() : entered_(SUCCEEDED(::CoInitialize(nullptr))) {}

ComApartment::~ComApartment() {
  if (entered_) ::CoUninitialize();
}

}  // namespace zcv::platform
