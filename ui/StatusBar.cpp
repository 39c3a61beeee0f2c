#include "ui/StatusBar.h"

#include <QHBoxLayout>
#include <QLabel>

#include "res/Strings.h"
#include "ui/Colours.h"
#include "ui/Dialog.h"

namespace ui {

StatusBar::StatusBar(QWidget* parent) : QFrame(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 3, 2, 2);
    layout->setSpacing(2);
    setFrameShape(QFrame::NoFrame);
}

bool StatusBar::Create(QWidget* window, int id) {
    setParent(window);
    SetControlId(this, id);
    // A common control: it paints itself in the system's colours whatever the window's are.
    SetSystemColours(this);
    setAutoFillBackground(true);
    show();
    return true;
}

bool StatusBar::SetIndicators(const int* ids, int count) {
    for (Pane& pane : panes_) {
        delete pane.label;
    }
    panes_.clear();
    for (int i = 0; i < count; ++i) {
        Pane pane;
        pane.id = ids[i];
        pane.label = new QLabel(QString::fromUtf8(res::LoadString(ids[i])), this);
        pane.label->setObjectName(QStringLiteral("pane%1").arg(i));
        pane.label->setFrameShape(QFrame::Panel);
        pane.label->setFrameShadow(QFrame::Sunken);
        pane.label->setLineWidth(1);
        pane.label->setMargin(1);
        pane.label->setTextFormat(Qt::PlainText);
        panes_.push_back(pane);
    }
    Relayout();
    return true;
}

void StatusBar::SetPaneInfo(int index, int id, PaneStyle style, int width) {
    if (index < 0 || index >= GetCount()) {
        return;
    }
    Pane& pane = panes_[index];
    pane.id = id;
    pane.style = style;
    if (style & kPaneStretch) {
        pane.label->setMinimumWidth(0);
        pane.label->setMaximumWidth(QWIDGETSIZE_MAX);
    } else {
        // The width given is the text area's; the sunken frame and margin come on top.
        const int chrome = 2 * (pane.label->frameWidth() + pane.label->margin());
        pane.label->setFixedWidth(width + chrome);
    }
    Relayout();
}

void StatusBar::SetPaneText(int index, const QString& text) {
    if (index >= 0 && index < GetCount()) {
        panes_[index].label->setText(text);
    }
}

QString StatusBar::GetPaneText(int index) const {
    return index >= 0 && index < GetCount() ? panes_[index].label->text() : QString();
}

QLabel* StatusBar::pane(int index) const {
    return index >= 0 && index < GetCount() ? panes_[index].label : nullptr;
}

void StatusBar::Relayout() {
    auto* box = static_cast<QHBoxLayout*>(layout());
    while (box->count() > 0) {
        delete box->takeAt(0);
    }
    for (const Pane& pane : panes_) {
        box->addWidget(pane.label, (pane.style & kPaneStretch) ? 1 : 0);
    }
}

}  // namespace ui
