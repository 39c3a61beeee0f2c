#include "texts/Strings.h"

#include "texts/Resource.h"

namespace res {

const char* LoadString(int id) {
    switch (id) {
        case IDS_ABOUTBOX:
            return "&About Fernwell...";
        case IDS_OFFLINE:
            return kStatusOffline;
        case IDS_IDLE:
            return kStatusIdle;
        default:
            return "";
    }
}

}  // namespace res
