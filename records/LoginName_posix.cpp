#include "records/LoginName.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

// The effective user's entry first: $USER may be left over from the account that started a
// sudo or su. The variables are for a user the database does not know (a container's
// arbitrary uid).
std::string LoginName() {
    const long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_name != nullptr && found->pw_name[0] != '\0') {
        return found->pw_name;
    }
    for (const char* variable : {"USER", "LOGNAME"}) {
        if (const char* name = std::getenv(variable); name != nullptr && name[0] != '\0') {
            return name;
        }
    }
    return {};
}
