#include "res/Images.h"

#include <QtCore/QtGlobal>

#include "texts/Resource.h"

// Q_INIT_RESOURCE must be used outside any namespace.
static void InitFernwellResources() {
    Q_INIT_RESOURCE(fernwell);
}

namespace res {

void InitResources() {
    static const bool done = (InitFernwellResources(), true);
    (void)done;
}

const char* BitmapFile(int id) {
    InitResources();
    switch (id) {
        case IDB_LAMP_ORANGE:
            return ":/images/lamp144.png";
        case IDB_LAMP_RED:
            return ":/images/lamp145.png";
        case IDB_LAMP_YELLOW:
            return ":/images/lamp146.png";
        case IDB_LAMP_BLUE:
            return ":/images/lamp147.png";
        case IDB_LAMP_GREEN:
            return ":/images/lamp148.png";
        case IDB_LAMP_GREY:
            return ":/images/lamp149.png";
        case IDB_BANNER:
            return ":/images/banner1001.png";
        default:
            return nullptr;
    }
}

std::vector<const char*> IconFiles(int id) {
    InitResources();
    if (id != IDR_MAINFRAME) {
        return {};
    }
    return {":/images/icon128_16.png", ":/images/icon128_32.png", ":/images/icon128_48.png"};
}

}  // namespace res
