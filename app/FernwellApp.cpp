#include "app/FernwellApp.h"

#include <QCoreApplication>

#include "app/FernwellDlg.h"
#include "texts/Resource.h"

CFernwellApp::CFernwellApp() = default;

CFernwellApp::~CFernwellApp() {
    CDialog::SetApplicationCommandHandler(nullptr);
}

bool CFernwellApp::InitInstance() {
    // The common controls and control containers need no start-up here: they are widgets.
    // The framework's profile key; the program's own setting lives in its settings store.
    QCoreApplication::setOrganizationName(QStringLiteral("Local AppWizard-Generated Applications"));
    CDialog::SetApplicationCommandHandler([this](int id) { return OnCommand(id); });

    CFernwellDlg dlg;
    mainWindow_ = &dlg;
    dlg.DoModal();
    mainWindow_ = nullptr;

    CDialog::SetApplicationCommandHandler(nullptr);
    return false;
}

bool CFernwellApp::OnCommand(int id) {
    switch (id) {
        case ID_EXIT:
            OnAppExit();
            return true;
        case ID_HELP:
            // No help file comes with the program.
            return true;
        default:
            return false;
    }
}

void CFernwellApp::OnAppExit() {
    if (mainWindow_) {
        mainWindow_->close();
    }
}
