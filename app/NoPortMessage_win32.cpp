// On Windows the ports are the system's COM1 to COM255; there is nothing else to look at.

#include "app/NoPortMessage.h"

std::string NoPortMessage() {
    return "No serial port was found.\n\nThe program looks for the ports COM1 to COM255 of "
           "this computer.\n\nThe program stays offline.";
}
