#include "store/XdgFolder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

std::string XdgFolder(const char* variable, const char* homeRelative) {
    const char* xdg = std::getenv(variable);
    std::string base;
    if (xdg != nullptr && xdg[0] == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || home[0] == '\0') {
            const passwd* pw = getpwuid(getuid());
            home = pw != nullptr ? pw->pw_dir : "";
        }
        base = std::string(home) + "/" + homeRelative;
    }
    return base + "/fernwell";
}
