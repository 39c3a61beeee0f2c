#include "link/Poll.h"

#include "protocol/Device.h"

AlarmPoints AlarmPointsOf(const ModuleData640& data) {
    return {data.highAlarmMode,    data.lowAlarmMode, data.highSetPoint,
            data.highReleasePoint, data.lowSetPoint,  data.lowReleasePoint};
}

PollReading PollModule(Model model, CSerialPort& port, const int& online) {
    PollReading r;
    r.model = model;
    if (model == Model::k612) {
        CDevice612 device(port, online);
        ModuleData612 data;
        r.result = device.ReadAll(data);
        if (r.result == kLinkOk) {
            r.completed = 1;
            r.flowRate = data.flowRate;
            r.sensorCode = data.SensorCode;
        }
        return r;
    }
    CDevice640 device(port, online);
    ModuleData640 data;
    r.result = device.ReadAll(data);
    if (r.result != kLinkOk) {
        return r;
    }
    r.completed = 1;
    r.flowRate = data.flowRate;
    r.sensorCode = data.SensorCode;
    r.alarmPoints = AlarmPointsOf(data);
    r.result = device.ReadHighStatus(r.highStatus);
    if (r.result != kLinkOk) {
        return r;
    }
    r.completed = 2;
    r.result = device.ReadLowStatus(r.lowStatus);
    if (r.result == kLinkOk) {
        r.completed = 3;
    }
    return r;
}
