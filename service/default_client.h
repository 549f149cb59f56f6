// The default client: the one the exported C++ functions and the Java
// natives run on. The loaded module sets it (tests set their own).
#pragma once

#include "service/client.h"

namespace zcv {

// The default client, or null before load.
Client* DefaultClient();
void SetDefaultClient(Client* client);

}  // namespace zcv
