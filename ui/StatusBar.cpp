#include "ui/StatusBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <algorithm>

#include "texts/Strings.h"
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
    nominal_.assign(panes_.size(), 0);
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
    // The width given is the text area's; the sunken frame and margin come on top.
    nominal_[index] = (style & kPaneStretch) ? 0 : width + Chrome(pane);
    Relayout();
}

void StatusBar::SetPaneText(int index, const QString& text) {
    if (index >= 0 && index < GetCount()) {
        panes_[index].label->setText(text);
        FitPanes();
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
    FitPanes();
}

void StatusBar::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    FitPanes();
}

int StatusBar::Chrome(const Pane& pane) const {
    return 2 * (pane.label->frameWidth() + pane.label->margin());
}

void StatusBar::FitPanes() {
    const QMargins margins = layout()->contentsMargins();
    const int count = GetCount();
    int room =
        width() - margins.left() - margins.right() - layout()->spacing() * std::max(0, count - 1);
    // What the stretching panes need to show their texts whole.
    int need = 0;
    for (int i = 0; i < count; ++i) {
        room -= nominal_[i];
        if (panes_[i].style & kPaneStretch) {
            need += panes_[i].label->sizeHint().width();
        }
    }
    int deficit = std::max(0, need - room);
    for (int i = count - 1; i >= 0; --i) {
        const Pane& pane = panes_[i];
        if (pane.style & kPaneStretch) {
            pane.label->setMinimumWidth(0);
            pane.label->setMaximumWidth(QWIDGETSIZE_MAX);
            continue;
        }
        const int floor = std::min(nominal_[i], pane.label->sizeHint().width());
        const int give = std::min(deficit, nominal_[i] - floor);
        deficit -= give;
        pane.label->setFixedWidth(nominal_[i] - give);
    }
}

}  // namespace ui
