// The default client: the one the exported C++ functions and the Java
// natives run on. The loaded module makes it on the first call that needs
// it (tests set their own).
#pragma once

#include "service/client.h"

namespace zcv {

// The default client: the one set, else the one the maker gives (made on
// this first use); null when there is neither, or the module is unloading.
Client* DefaultClient();
void SetDefaultClient(Client* client);
// The module's maker of its default client, called on first use; it makes
// the client once, whichever threads call at once.
void SetDefaultClientMaker(Client* (*maker)());

}  // namespace zcv
