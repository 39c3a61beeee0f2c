#pragma once
// The flow trend window (template 140): a modeless window of the main window that plots every
// flow rate the program reads (the main window's polls, the alarm status window's reads)
// against time, with the unit the module reports. It asks nothing of the module itself: the
// windows that read hand it their readings (AddReading). The user sizes and maximises it; the
// plot grows with it, its template size is the smallest, and no size is kept for next time.
//
// Spans of 1, 10 and 60 minutes, the newest time at the right edge; readings more than about
// two poll periods apart, and a failed read between them, leave a gap. For the 640 the alarm
// set and release points of the last dump read are drawn as labelled lines (for the alarms
// that are on) and the times an alarm was activated are shaded: the high alarm in the red of
// the lamps, the low alarm hatched in blue, as a legend above the plot says.
//
// "Save CSV..." writes the samples of the span shown; "Log to file..." appends each new
// reading to a CSV file until "Stop Logging" (the title says while it logs). A write error
// stops the logging and says so.
//
// The samples and the CSV text are in TrendSamples.h; this window draws and asks for files.

#include <QRect>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "link/TrendSamples.h"
#include "ui/Colours.h"
#include "ui/Dialog.h"

class QPainter;

namespace trend {

// Where the labels of a plot's horizontal lines go, one above the other in a column: `lineYs`
// are the lines' heights in pixels (y grows downwards), each label is `height` tall and the
// plot runs from `top` to `bottom`. Returns each label's top. A label lies wholly above or
// below its own line, at least `gap` from it, and `gap` clear of the other labels, so no line
// strikes through its own name; it goes just above its line unless it would leave the plot,
// run into the label above, or cross another line where below it would not. Only when more
// labels come than the plot holds do they leave it, at the top.
std::vector<double> PlaceLineLabels(const std::vector<double>& lineYs, double height, double gap,
                                    double top, double bottom);

}  // namespace trend

class FlowTrendDlg : public CDialog {
    Q_OBJECT

public:
    explicit FlowTrendDlg(QWidget* parent = nullptr);
    ~FlowTrendDlg() override;

    // The main window's colours, not owned; without them the window keeps the system's.
    const ui::Palette* colours = nullptr;
    // The unit name of a SensorCode of `model`; no value when the code has none, and the unit
    // shown stays. Set by the main window (the sensor tables are its).
    std::function<std::optional<std::string>(Model model, int sensorCode)> unitLabel;
    // Milliseconds since the epoch; tests replace it to draw a trend of their own making.
    std::function<std::int64_t()> clock;

    // The model the readings come from. Another model starts an empty trend, and ends the
    // logging (its file has the other model's columns).
    void SetModel(Model model);
    void AddReading(const trend::FlowReading& reading);

    Model model() const { return model_; }
    const trend::TrendSamples& samples() const { return samples_; }
    const std::string& unit() const { return unit_; }
    const std::optional<AlarmPoints>& alarmPoints() const { return points_; }
    // 1, 10 or 60; the drop-down list's choice.
    int spanMinutes() const;
    void SetSpanMinutes(int minutes);
    // The span shown now, without pixels.
    trend::TrendView CurrentView() const;
    bool logging() const { return log_.IsOpen(); }
    QWidget* plot() const { return plot_; }

    // Draws the plot into `area` (the plot control paints with it).
    void Paint(QPainter& painter, const QRect& area) const;

protected:
    bool OnInitDialog() override;
    void OnCtlColor() override;
    void OnTimer(int id) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    std::int64_t Now() const;
    void OnSaveCsv();
    void OnLog();
    void StopLogging();
    void UpdateTitle();

    trend::TrendSamples samples_;
    Model model_ = Model::kNone;
    std::string unit_;
    std::uint16_t unitIndex_ = 0;
    std::optional<AlarmPoints> points_;
    trend::CsvLog log_;
    QString logName_;
    QWidget* plot_ = nullptr;
    // Where the controls that follow the window's size sit at its smallest size.
    std::vector<QRect> homes_;
};
