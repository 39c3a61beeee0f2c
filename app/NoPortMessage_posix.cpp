// Off Windows a COM number is a link in the ports directory or a device of the fixed ranges;
// a user who finds none usually has to make the link, or join the group of the adapter.

#include "app/NoPortMessage.h"

#include "serial/PortMap.h"

std::string NoPortMessage() {
    return "No serial port was found.\n\nThe program looks for links com1 to com255 in " +
           portmap::PortsDirectory() +
           " and for the devices /dev/ttyS*, /dev/ttyUSB* and /dev/ttyACM*.\n\n"
           "The program stays offline.";
}
