#include "windows/FlowTrendDlg.h"

#include <QComboBox>
#include <QDateTime>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPolygonF>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>

#include "res/Resource.h"
#include "ui/Bitmaps.h"
#include "ui/FileDialog.h"
#include "ui/MessageBox.h"

namespace {

constexpr int kSpans[] = {1, 10, 60};
constexpr int kDefaultSpanIndex = 1;
constexpr int kTrendTickMs = 1000;

const QString kTitle = QStringLiteral("Flow Trend");

// The plot control: it only paints, with the window's Paint.
class TrendPlot : public QWidget {
public:
    TrendPlot(const CFlowTrendDlg* dlg, QWidget* parent) : QWidget(parent), dlg_(dlg) {
        setObjectName(QStringLiteral("trendPlot"));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        dlg_->Paint(painter, rect());
    }

private:
    const CFlowTrendDlg* dlg_;
};

// A step of 1, 2 or 5 times a power of ten that cuts `range` into at most `most` parts.
double NiceStep(double range, int most) {
    const double raw = range / most;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0}) {
        if (m * power >= raw) {
            return m * power;
        }
    }
    return 10 * power;
}

// The colour in the middle of a lamp's image: what "activated" looks like on the window.
QColor LampColour(int bitmap) {
    const QImage image = ui::BitmapResource(bitmap).toImage();
    if (image.isNull()) {
        return QColor(Qt::red);
    }
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

QString Number(double value, double step) {
    const int decimals =
        step >= 1 ? 0 : std::min(6, static_cast<int>(std::ceil(-std::log10(step))));
    return QString::number(value, 'f', decimals);
}

}  // namespace

CFlowTrendDlg::CFlowTrendDlg(QWidget* parent) : CDialog(IDD_FLOW_TREND, parent) {
    mapCommand(IDC_TREND_SAVE_CSV, [this] { OnSaveCsv(); });
    mapCommand(IDC_TREND_LOG, [this] { OnLog(); });
    mapSelChange(IDC_TREND_SPAN, [this] {
        if (plot_) {
            plot_->update();
        }
    });
}

CFlowTrendDlg::~CFlowTrendDlg() = default;

bool CFlowTrendDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (auto* span = itemAs<QComboBox>(IDC_TREND_SPAN)) {
        for (int minutes : kSpans) {
            span->addItem(QStringLiteral("%1 min").arg(minutes));
        }
        span->setCurrentIndex(kDefaultSpanIndex);
    }
    // The plot covers its placeholder control.
    if (QWidget* area = item(IDC_TREND_PLOT)) {
        plot_ = new TrendPlot(this, area);
        plot_->setGeometry(area->rect());
    }
    SetTimer(ID_TIMER_TREND, kTrendTickMs, QStringLiteral("trendTimer"));
    UpdateTitle();
    return true;
}

void CFlowTrendDlg::OnCtlColor() {
    if (colours != nullptr) {
        ui::SetWindowColours(this, colours->background, QColor(Qt::white));
    }
}

void CFlowTrendDlg::OnTimer(int id) {
    // The right edge is now: a visible plot moves on even when no reading comes.
    if (id == ID_TIMER_TREND && isVisible() && plot_) {
        plot_->update();
    }
    CDialog::OnTimer(id);
}

std::int64_t CFlowTrendDlg::Now() const {
    if (clock) {
        return clock();
    }
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

int CFlowTrendDlg::spanMinutes() const {
    const auto* span = itemAs<QComboBox>(IDC_TREND_SPAN);
    const int index = span ? span->currentIndex() : kDefaultSpanIndex;
    return kSpans[index >= 0 && index < 3 ? index : kDefaultSpanIndex];
}

void CFlowTrendDlg::SetSpanMinutes(int minutes) {
    auto* span = itemAs<QComboBox>(IDC_TREND_SPAN);
    const int* found = std::find(std::begin(kSpans), std::end(kSpans), minutes);
    if (span && found != std::end(kSpans)) {
        span->setCurrentIndex(static_cast<int>(found - std::begin(kSpans)));
    }
}

trend::TrendView CFlowTrendDlg::CurrentView() const {
    const std::int64_t now = Now();
    return trend::BuildView(samples_, now - spanMinutes() * 60000LL, now, trend::kMaxGapMs,
                            unitIndex_);
}

void CFlowTrendDlg::SetModel(int model) {
    if (model == model_) {
        return;
    }
    model_ = model;
    samples_.Clear();
    points_.reset();
    unit_.clear();
    unitIndex_ = samples_.UnitIndex(unit_);
    if (logging()) {
        const QString name = logName_;
        StopLogging();
        ui::ShowMessageBox(this,
                           QStringLiteral("Logging to %1 stopped: the model changed.").arg(name),
                           kTitle, ui::kMbOk | ui::kMbIconExclamation);
    }
    if (plot_) {
        plot_->update();
    }
}

void CFlowTrendDlg::AddReading(const trend::FlowReading& r) {
    if (r.sensorCode && unitLabel) {
        if (const auto label = unitLabel(model_, *r.sensorCode)) {
            unit_ = *label;
            unitIndex_ = samples_.UnitIndex(unit_);
        }
    }
    if (r.points) {
        points_ = r.points;
    }
    trend::TrendSample s;
    s.timeMs = Now();
    s.gap = !r.ok;
    s.flow = r.flow;
    s.highActivated = r.highActivated;
    s.lowActivated = r.lowActivated;
    s.unit = unitIndex_;
    samples_.Add(s);
    if (logging() && r.ok) {
        std::string error;
        if (!log_.Append(trend::CsvRow(s, unit_, log_.model()), &error)) {
            const QString name = logName_;
            StopLogging();
            ui::ShowMessageBox(this,
                               QStringLiteral("Logging to %1 stopped: %2.")
                                   .arg(name, QString::fromStdString(error)),
                               kTitle, ui::kMbOk | ui::kMbIconExclamation);
        }
    }
    if (plot_ && isVisible()) {
        plot_->update();
    }
}

void CFlowTrendDlg::OnSaveCsv() {
    const QString path = ui::GetSaveFileName(
        this, QStringLiteral("Save CSV"), QStringLiteral("flow-trend.csv"), ui::SaveKind::kReplace);
    if (path.isEmpty()) {
        return;
    }
    const std::size_t first = samples_.FirstFrom(Now() - spanMinutes() * 60000LL);
    std::string error;
    if (!trend::WriteTextFile(std::filesystem::path(path.toStdU16String()),
                              trend::CsvText(samples_, first, model_), &error)) {
        ui::ShowMessageBox(
            this, QStringLiteral("Could not save %1: %2.").arg(path, QString::fromStdString(error)),
            kTitle, ui::kMbOk | ui::kMbIconExclamation);
    }
}

void CFlowTrendDlg::OnLog() {
    if (logging()) {
        StopLogging();
        return;
    }
    const QString path = ui::GetSaveFileName(this, QStringLiteral("Log to file"),
                                             QStringLiteral("flow-log.csv"), ui::SaveKind::kAppend);
    if (path.isEmpty()) {
        return;
    }
    std::string error;
    if (!log_.Open(std::filesystem::path(path.toStdU16String()), model_, &error)) {
        ui::ShowMessageBox(
            this,
            QStringLiteral("Could not log to %1: %2.").arg(path, QString::fromStdString(error)),
            kTitle, ui::kMbOk | ui::kMbIconExclamation);
        return;
    }
    logName_ = path;
    SetDlgItemText(IDC_TREND_LOG, QStringLiteral("Stop Logging"));
    UpdateTitle();
}

void CFlowTrendDlg::StopLogging() {
    log_.Close();
    logName_.clear();
    SetDlgItemText(IDC_TREND_LOG, QStringLiteral("Log to file..."));
    UpdateTitle();
}

void CFlowTrendDlg::UpdateTitle() {
    setWindowTitle(
        logging() ? QStringLiteral("%1 - logging to %2").arg(kTitle, QFileInfo(logName_).fileName())
                  : kTitle);
}

void CFlowTrendDlg::Paint(QPainter& painter, const QRect& area) const {
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QColor background = colours ? colours->background : QColor(0, 128, 0);
    const QColor text(Qt::white);
    const QColor grid = background.lighter(140);
    painter.fillRect(area, background.darker(130));

    const QFontMetrics fm = painter.fontMetrics();
    const QRectF plot = QRectF(area).adjusted(fm.horizontalAdvance(QStringLiteral("-000000.0")) + 8,
                                              fm.height() + 8, -10, -(fm.height() + 8));
    const std::int64_t now = Now();
    const std::int64_t spanMs = spanMinutes() * 60000LL;
    const std::int64_t from = now - spanMs;
    const trend::TrendView view =
        trend::BuildView(samples_, from, now, trend::kMaxGapMs, unitIndex_);

    // The flow scale holds the readings shown and the alarm lines.
    double lo = view.minFlow;
    double hi = view.maxFlow;
    bool any = view.hasReadings;
    struct Line {
        double value;
        QString label;
        bool set;
    };
    std::vector<Line> lines;
    if (model_ == 640 && points_) {
        if (points_->highMode != 0) {
            lines.push_back({points_->highSet, QStringLiteral("High set"), true});
            lines.push_back({points_->highRelease, QStringLiteral("High release"), false});
        }
        if (points_->lowMode != 0) {
            lines.push_back({points_->lowSet, QStringLiteral("Low set"), true});
            lines.push_back({points_->lowRelease, QStringLiteral("Low release"), false});
        }
    }
    for (const Line& l : lines) {
        lo = any ? std::min(lo, l.value) : l.value;
        hi = any ? std::max(hi, l.value) : l.value;
        any = true;
    }
    if (!any) {
        lo = 0;
        hi = 1;
    }
    if (hi - lo < 1e-9) {
        const double pad = std::max(std::abs(hi) * 0.1, 1.0);
        lo -= pad;
        hi += pad;
    }
    // A little room above and below, so no reading runs along the frame.
    const double room = any ? (hi - lo) * 0.05 : 0.0;
    lo = lo >= 0 ? std::max(0.0, lo - room) : lo - room;
    hi += room;
    const double step = NiceStep(hi - lo, 5);
    lo = std::floor(lo / step) * step;
    hi = std::ceil(hi / step) * step;

    auto x = [&](std::int64_t t) {
        return plot.left() + plot.width() * static_cast<double>(t - from) / spanMs;
    };
    auto y = [&](double v) { return plot.bottom() - plot.height() * (v - lo) / (hi - lo); };

    // Alarm activated: a band in the lamp's red over the plot's height.
    QColor shade = LampColour(IDB_LAMP_RED);
    shade.setAlpha(140);
    for (const auto* bands : {&view.highBands, &view.lowBands}) {
        for (const trend::TrendView::Band& b : *bands) {
            const double left = std::max(plot.left(), x(b.fromMs));
            const double right = std::min(plot.right(), std::max(x(b.toMs), left + 2));
            if (right > left) {
                painter.fillRect(QRectF(left, plot.top(), right - left, plot.height()), shade);
            }
        }
    }

    // Grid and flow labels.
    painter.setPen(QPen(grid, 1));
    for (double v = lo; v <= hi + step / 2; v += step) {
        painter.setPen(QPen(grid, 1));
        painter.drawLine(QPointF(plot.left(), y(v)), QPointF(plot.right(), y(v)));
        painter.setPen(text);
        painter.drawText(QRectF(area.left(), y(v) - fm.height() / 2.0,
                                plot.left() - area.left() - 5, fm.height()),
                         Qt::AlignRight | Qt::AlignVCenter, Number(v, step));
    }
    // Time labels at round local times: every 10 s, 2 min or 10 min.
    const std::int64_t tick = spanMs == 60000 ? 10000 : spanMs == 600000 ? 120000 : 600000;
    const QString format = spanMs == 60000 ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm");
    const std::int64_t offsetMs = trend::LocalUtcOffsetSeconds(now) * 1000LL;
    for (std::int64_t t = ((from + offsetMs) / tick + 1) * tick - offsetMs; t <= now; t += tick) {
        painter.setPen(QPen(grid, 1));
        painter.drawLine(QPointF(x(t), plot.top()), QPointF(x(t), plot.bottom()));
        painter.setPen(text);
        const QString label = QDateTime::fromMSecsSinceEpoch(t).toString(format);
        const double w = fm.horizontalAdvance(label);
        painter.drawText(
            QRectF(std::min(x(t) - w / 2, plot.right() - w), plot.bottom() + 4, w + 2, fm.height()),
            Qt::AlignLeft, label);
    }
    painter.setPen(QPen(text, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(plot);

    // The unit above the flow labels.
    painter.drawText(
        QRectF(area.left() + 4, area.top() + 3, area.width() - 8, fm.height()), Qt::AlignLeft,
        unit_.empty() ? QStringLiteral("Flow")
                      : QStringLiteral("Flow (%1)").arg(QString::fromStdString(unit_)));

    // The alarm points: dashed for set, dotted for release, named at the right.
    painter.save();
    painter.setClipRect(plot);
    const QColor lineColour = LampColour(IDB_LAMP_YELLOW);
    for (const Line& l : lines) {
        painter.setPen(QPen(lineColour, 1.5, l.set ? Qt::DashLine : Qt::DotLine));
        painter.drawLine(QPointF(plot.left(), y(l.value)), QPointF(plot.right(), y(l.value)));
        const QString label =
            QStringLiteral("%1 %2").arg(l.label, QString::number(l.value, 'g', 6));
        const double w = fm.horizontalAdvance(label);
        // Above the line, or below it when the line is at the top; set points named at the
        // right, release points at the left, so the two of one alarm never cover each other.
        const double top = y(l.value) - fm.height() - 1 < plot.top() ? y(l.value) + 1
                                                                     : y(l.value) - fm.height() - 1;
        const double left = l.set ? plot.right() - w - 6 : plot.left() + 4;
        painter.setPen(lineColour);
        painter.drawText(QRectF(left, top, w + 4, fm.height()), Qt::AlignLeft, label);
    }

    // The readings: a line through each run, a dot for a lone one.
    painter.setPen(QPen(text, 2));
    painter.setBrush(text);
    for (const trend::TrendView::Run& run : view.runs) {
        if (run.first == run.last) {
            const trend::TrendSample& s = samples_[run.first];
            painter.drawEllipse(QPointF(x(s.timeMs), y(s.flow)), 2, 2);
            continue;
        }
        QPolygonF points;
        for (std::size_t i = run.first; i <= run.last; ++i) {
            points << QPointF(x(samples_[i].timeMs), y(samples_[i].flow));
        }
        painter.drawPolyline(points);
    }
    painter.restore();

    if (!view.hasReadings) {
        painter.setPen(text);
        painter.drawText(plot, Qt::AlignCenter, QStringLiteral("No readings in this span"));
    }
}
