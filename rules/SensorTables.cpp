#include "rules/SensorTables.h"

#include "protocol/ModuleData.h"

namespace {

constexpr std::array<int, 2> kSpeedList{0, 1};
constexpr std::array<int, 8> kFlowList612{2, 3, 4, 5, 6, 7, 8, 9};
constexpr std::array<int, 11> kFlowList640{2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};

}  // namespace

std::span<const SensorRow> RowTable(SensorType type) {
    switch (type) {
        case SensorType::Insertion:
            return kPipeTable;
        case SensorType::Tee:
            return kTeeTable;
        case SensorType::Wind:
            break;
    }
    return {};
}

std::span<const int> UnitListIndices(Model family, SensorType type) {
    if (type == SensorType::Wind) {
        return kSpeedList;
    }
    if (family == Model::k612) {
        return kFlowList612;
    }
    return kFlowList640;
}

const char* UnitTableName(Model family, int index) {
    if (family == Model::k612) {
        return index >= 0 && index < kUnitCount612 ? kUnitNames612[index] : "";
    }
    return index >= 0 && index < kUnitCount640 ? kUnitNames640[index] : "";
}

const char* UnitListName(Model family, SensorType type, int position) {
    const std::span<const int> list = UnitListIndices(family, type);
    if (position < 0 || position >= static_cast<int>(list.size())) {
        return "";
    }
    return UnitTableName(family, list[position]);
}

std::vector<std::string> UnitListNames(Model family, SensorType type) {
    std::vector<std::string> names;
    for (int index : UnitListIndices(family, type)) {
        names.emplace_back(UnitTableName(family, index));
    }
    return names;
}

std::span<const char* const> PulseUnitList(SensorType type) {
    if (type == SensorType::Wind) {
        return kPulseUnitsWind;
    }
    return kPulseUnitsFlow;
}

std::vector<std::string> PulseWidthTexts() {
    std::vector<std::string> texts;
    texts.reserve(kPulseWidthCount);
    for (int i = 0; i < kPulseWidthCount; ++i) {
        texts.push_back(std::to_string(50 * (i + 1)));
    }
    return texts;
}
