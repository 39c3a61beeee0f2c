// The Windows port map and the open's failures: COM N is the device \\.\COMN, and a port that
// cannot be opened says why in the system's words.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "serial/PortMap.h"
#include "serial/SerialPort.h"

namespace {

TEST(PortMapWin, DevicePathIsInTheDeviceNamespace) {
    const struct {
        int port;
        const char* path;
    } rows[] = {{1, R"(\\.\COM1)"},
                {10, R"(\\.\COM10)"},
                {255, R"(\\.\COM255)"},
                {0, ""},
                {256, ""},
                {-3, ""}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.port);
        EXPECT_EQ(portmap::DevicePath(row.port), row.path);
    }
}

// The system's words, and what they mean for a COM port where they do not say it.
TEST(PortMapWin, RefusalsAreNamed) {
    using portmap::OpenFailure;
    const struct {
        int error;
        OpenFailure failure;
        std::string added;
    } rows[] = {
        {ERROR_ACCESS_DENIED, OpenFailure::kInUse, " The port is in use by another program."},
        {ERROR_SHARING_VIOLATION, OpenFailure::kInUse, " The port is in use by another program."},
        {ERROR_NOT_SUPPORTED, OpenFailure::kNotSerial, " The device is not a serial port."},
        {ERROR_FILE_NOT_FOUND, OpenFailure::kOther, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.error);
        EXPECT_EQ(portmap::ClassifyOpenError(row.error), row.failure);
        const std::string text = portmap::OpenErrorText(row.error, "");
        ASSERT_GT(text.size(), row.added.size() + 1);
        EXPECT_EQ(text.substr(text.size() - row.added.size()), row.added);
        EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
    }
}

TEST(PortMapWin, OpenFailuresSayWhy) {
    CSerialPort::SetOpenDelayMs(0);
    const struct {
        int port;
        int error;
        std::string text;  // empty: the system's text
    } rows[] = {
        {0, ERROR_FILE_NOT_FOUND, "COM0 is not a valid port number: ports are numbered 1 to 255."},
        {256, ERROR_FILE_NOT_FOUND,
         "COM256 is not a valid port number: ports are numbered 1 to 255."},
        {254, ERROR_FILE_NOT_FOUND, ""},  // no such device
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.port);
        EXPECT_FALSE(portmap::PortExists(row.port));
        CSerialPort port;
        char byte[2] = {'v', 0};
        int count = 1;
        EXPECT_EQ(port.Write(byte, count), -1);  // never opened
        EXPECT_EQ(port.Open(row.port, 1200, 'N', 8, 1), CSerialPort::kOpenDeviceFailed);
        EXPECT_FALSE(port.IsOpen());
        EXPECT_EQ(port.LastError(), row.error);
        const std::string& text = port.LastErrorText();
        EXPECT_EQ(text, row.text.empty() ? portmap::OpenErrorText(row.error, "") : row.text);
        // One line of text, not a bare number: it follows "Error Opening COM%d:\n".
        ASSERT_FALSE(text.empty());
        EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
        EXPECT_NE(text.back(), ' ');
        EXPECT_NE(text.rfind("Error ", 0), 0u);
        // A failed open holds the invalid handle: nothing goes out, nothing comes in.
        count = 1;
        EXPECT_EQ(port.Write(byte, count), 0);
        EXPECT_EQ(count, 0);
        count = 1;
        EXPECT_EQ(port.Read(byte, count), 0);
        EXPECT_EQ(count, 0);
    }
    std::vector<unsigned> ports;
    EnumerateComPorts(ports);
    for (unsigned number : ports) {
        EXPECT_NE(number, 254u);
    }
}

}  // namespace
