#include "store/StateFolder.h"

#include "store/XdgFolder.h"

std::string StateFolder() {
    return XdgFolder("XDG_STATE_HOME", ".local/state");
}
