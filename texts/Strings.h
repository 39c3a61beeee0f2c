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

// Settings files and the commissioning report (the Configuration menu's last four items).
constexpr const char* kSettingsFileFilter = "Fernwell settings (*.json);;All files (*)";
constexpr const char* kPdfFileFilter = "PDF files (*.pdf);;All files (*)";
constexpr const char* kSaveSettingsCaption = "Save Settings to File";
constexpr const char* kLoadSettingsCaption = "Load Settings from File";
constexpr const char* kCompareSettingsCaption = "Compare Module with File";
constexpr const char* kSaveReportCaption = "Save Commissioning Report";
// The file's name as the save dialog suggests it: model and date.
constexpr const char* kSettingsFileName = "fernwell-%1-%2.json";
constexpr const char* kReportFileName = "commissioning-%1-%2.pdf";
// A refused settings file, a file that could not be written: the reason below this line.
constexpr const char* kSettingsFileRefused = "The settings file cannot be used:\n%1";
constexpr const char* kFileNotWritten = "The file could not be written:\n%1";
// The configuration dialog's caption once a file's settings are shown over the module's.
constexpr const char* kSettingsFromFile = "%1 - settings from %2";
// The comparison: one line above the table, or alone when nothing differs.
constexpr const char* kSettingsSame = "The module holds the same settings as the file.";
constexpr const char* kSettingsDiffer =
    "%1 of %2 settings differ between the module and the file (marked \u2260):";
constexpr const char* kDifferMark = "\u2260";
// The report's last upload when the journal of uploads cannot be read: the reason follows.
constexpr const char* kJournalUnread = "unknown, the journal of uploads could not be read: ";
// The report's settings could not be remembered for the next one.
constexpr const char* kReportSiteNotSaved =
    "The site, tag, technician and note could not be stored for the next report.";

// Alarm status window: the latch boxes 1060 and 1061.
constexpr const char* kLatchYes = "YES";
constexpr const char* kLatchNo = "NO";

// Support pages of the maker, opened with the system's handler for the address.
constexpr const char* kWwwSupportUrl = "https://support.fernwell.example/";
constexpr const char* kEmailSupportUrl = "mailto:support@fernwell.example";

}  // namespace res
