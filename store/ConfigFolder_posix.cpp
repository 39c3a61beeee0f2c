#include "store/ConfigFolder.h"

#include "store/XdgFolder.h"

std::string ConfigFolder() {
    return XdgFolder("XDG_CONFIG_HOME", ".config");
}
