#include "config/EditNumbers.h"

#include <cerrno>
#include <cstdlib>
#include <limits>

int DlgTextToInt(const QString& text) {
    const std::string bytes = text.toStdString();
    const char* begin = bytes.c_str();
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(begin, &end, 10);
    if (end == begin || errno == ERANGE || value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max()) {
        return 0;
    }
    return static_cast<int>(value);
}
