#pragma once
// A status bar of panes along the bottom of a window, as the framework's control bar: each
// pane is given an indicator (a string identifier whose text it shows at first), a style
// and a width in pixels; a stretching pane takes the rest of the bar.
//
// Unlike the framework's bar, a stretching pane is never narrower than its text: when the
// text would be cut (the connection text in a wider font than the one the widths were chosen
// for), the fixed panes give up the pixels it needs, the one nearest to it first, but none
// below its own text.

#include <QFrame>
#include <vector>

class QLabel;

namespace ui {

class StatusBar : public QFrame {
public:
    enum PaneStyle {
        kPaneNormal = 0x0000,   // SBPS_NORMAL: fixed width, sunken
        kPaneStretch = 0x0800,  // SBPS_STRETCH: takes the space the other panes leave
    };

    explicit StatusBar(QWidget* parent = nullptr);

    // Makes the bar a child of `window` with control identifier `id` (AFX_IDW_STATUS_BAR);
    // CDialog::RepositionBars puts it along the bottom.
    bool Create(QWidget* window, int id);
    // One pane per indicator; a pane shows the string of its indicator until set.
    bool SetIndicators(const int* ids, int count);
    // `width`: the pane's text area in pixels (ignored for a stretching pane).
    void SetPaneInfo(int index, int id, PaneStyle style, int width);
    void SetPaneText(int index, const QString& text);
    QString GetPaneText(int index) const;
    int GetCount() const { return static_cast<int>(panes_.size()); }
    // The pane's widget, for tests and screenshots.
    QLabel* pane(int index) const;

private:
    struct Pane {
        QLabel* label = nullptr;
        int id = 0;
        PaneStyle style = kPaneNormal;
    };
    void resizeEvent(QResizeEvent* event) override;
    void Relayout();
    // Sets each pane's width from its nominal width, the bar's width and the texts.
    void FitPanes();
    int Chrome(const Pane& pane) const;
    std::vector<Pane> panes_;
    std::vector<int> nominal_;  // the fixed panes' widths as set, frame included
};

}  // namespace ui
