// Off Windows a window has no system menu: the About item becomes the last item of "Help",
// after a separator, and sends the same system command.

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "app/FernwellDlg.h"

void CFernwellDlg::AppendSystemMenuItem(int id, const QString& text) {
    QMenuBar* bar = menuBar();
    if (!bar || bar->actions().isEmpty()) {
        return;
    }
    QMenu* help = bar->actions().last()->menu();
    if (!help) {
        return;
    }
    help->addSeparator();
    QAction* about = help->addAction(text);
    about->setObjectName(QStringLiteral("systemCommand%1").arg(id));
    connect(about, &QAction::triggered, this, [this, id] { OnSysCommand(id); });
}
