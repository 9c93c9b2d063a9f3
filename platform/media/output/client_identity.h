// How the sound server lists the program among its clients.
#pragma once

#include <string>

namespace media {

struct ClientIdentity {
    std::string name;
    std::string id;
    std::string iconName;
};

// Set before the first stream is opened; until then the server's defaults
// apply.
void setClientIdentity(ClientIdentity identity);

}  // namespace media
