#pragma once
// Texts of the program: the string table (looked up by identifier, as the status bar does
// with its indicators) and the fixed texts of message boxes, status panes and captions.

namespace res {

// The text of string resource `id`, or an empty text when the table has no such string.
const char* LoadString(int id);

// Caption of the framework's own message boxes (the application's title).
constexpr const char* kAppTitle = "Fernwell";

// Status bar, pane 0 (activity) and pane 1 (connection).
constexpr const char* kStatusIdle = "Idle";
constexpr const char* kStatusRetrieving = "Retrieving Data...";
constexpr const char* kStatusCommError = "Comm Error";
constexpr const char* kStatusOffline = "Offline";
constexpr const char* kStatusOnline = "Online - COM%d: @ %dbps";

// Message boxes.
constexpr const char* kErrorCreatingTerminal = "Error Creating Terminal Window";
constexpr const char* kInvalidArgument = "An invalid argument was encountered.";
constexpr const char* kErrorOpeningPort = "Error Opening COM%d:\n%s";
constexpr const char* kErrorOpeningPortCaption = "CommError";
constexpr const char* kPortMissing = "COM%d: does not exist, setting to COM%d:";
constexpr const char* kErrorCommunicating =
    "Error Communicating to Module, Check Serial and Power Cables";
constexpr const char* kErrorCommunicatingCaption = "Comm Error";
constexpr const char* kHighAlarmOrder =
    "For High Alarms, Activation Value Should Be Greater Than The Release Value.\n"
    "Invalid Values Have Been Set To Defaults, And No Settings Have Been Sent";
constexpr const char* kLowAlarmOrder =
    "For Low Alarms, Activation Value Should Be Less Than The Release Value.\n"
    "Invalid Values Have Been Set To Defaults, And No Settings Have Been Sent";
constexpr const char* kInvalidEntryCaption = "Invalid Entry";
// Configuration dialogs: shown above the progress bar while an upload runs.
constexpr const char* kUploadProgress = "Sending...";
// ... and while the module is read back after it.
constexpr const char* kVerifyProgress = "Verifying...";
// Added below the comm error when an upload stopped part of the way.
constexpr const char* kUploadPartial = "The module may now hold part of the new settings.";
// Added below it when the upload went out but the read-back failed.
constexpr const char* kVerifyUnread =
    "The settings were sent, but the module could not be read back to check them.";
// The read-back differs from what was sent: this line, then one line per field.
constexpr const char* kVerifyMismatch = "The module does not hold what was sent:";
constexpr const char* kVerifyMismatchLine = "%s: sent %s, the module holds %s";
// Caption of the box that says the journal of uploads could not be written.
constexpr const char* kJournalCaption = "Journal";
constexpr const char* kUseTeeSensor = "Please use a Tee-Type sensor for this size pipe.";
constexpr const char* kPipeTooLarge =
    "K and offset values can not be calculated for this size pipe.";
constexpr const char* kCalculatorCaption = "Error";
constexpr const char* kPipeIdIncorrect = "This Pipe ID is incorrect please consult manual.";
constexpr const char* kPipeErrorCaption = "Pipe Error";

// Alarm status window: the latch boxes 1060 and 1061.
constexpr const char* kLatchYes = "YES";
constexpr const char* kLatchNo = "NO";

// Support pages of the maker, opened with the system's handler for the address.
constexpr const char* kWwwSupportUrl = "https://support.fernwell.example/";
constexpr const char* kEmailSupportUrl = "mailto:support@fernwell.example";

}  // namespace res
