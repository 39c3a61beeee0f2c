#pragma once
// The application object: starts the program and runs the main window as a modal dialog;
// when that ends, the program ends. It handles the commands the main window leaves to it:
// "Exit" (32777) and the framework's help command.

class CFernwellDlg;

class CFernwellApp {
public:
    CFernwellApp();
    ~CFernwellApp();
    CFernwellApp(const CFernwellApp&) = delete;
    CFernwellApp& operator=(const CFernwellApp&) = delete;

    // Runs the main window until it closes. Returns false: there is no message loop after it.
    bool InitInstance();

    // The main window while InitInstance runs it, else nullptr.
    CFernwellDlg* mainWindow() const { return mainWindow_; }

private:
    bool OnCommand(int id);
    // Asks the main window to close, which ends its modal run.
    void OnAppExit();

    CFernwellDlg* mainWindow_ = nullptr;
};
