#include "toolwindows/FlowTrendDlg.h"

#include <QComboBox>
#include <QDateTime>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPolygonF>
#include <QResizeEvent>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <numeric>

#include "texts/Resource.h"
#include "ui/Bitmaps.h"
#include "ui/FileDialog.h"
#include "ui/MessageBox.h"

namespace {

constexpr int kSpans[] = {1, 10, 60};
constexpr int kDefaultSpanIndex = 1;
constexpr int kTrendTickMs = 1000;

const QString kTitle = QStringLiteral("Flow Trend");

// How the controls follow the window's size: the plot grows with it, the file buttons keep to
// the right edge and Close to the bottom-right corner; the span list stays where it is.
enum Follow { kRight = 1, kDown = 2, kGrow = 4 };
constexpr struct {
    int id;
    int follow;
} kFollow[] = {
    {IDC_TREND_SAVE_CSV, kRight},
    {IDC_TREND_LOG, kRight},
    {IDC_TREND_PLOT, kGrow},
    {IDOK, kRight | kDown},
};

// The plot control: it only paints, with the window's Paint.
class TrendPlot : public QWidget {
public:
    TrendPlot(const FlowTrendDlg* dlg, QWidget* parent) : QWidget(parent), dlg_(dlg) {
        setObjectName(QStringLiteral("trendPlot"));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        dlg_->Paint(painter, rect());
    }

private:
    const FlowTrendDlg* dlg_;
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

// An activated alarm's times: the high alarm filled in the lamps' red, the low alarm hatched
// in blue, so the two differ in pattern as well as in colour.
void ShadeAlarm(QPainter& painter, const QRectF& r, bool high, const QColor& red,
                const QColor& blue) {
    if (high) {
        painter.fillRect(r, red);
        return;
    }
    QColor faint = blue;
    faint.setAlpha(70);
    painter.fillRect(r, faint);
    painter.fillRect(r, QBrush(blue, Qt::BDiagPattern));
}

QString Number(double value, double step) {
    const int decimals =
        step >= 1 ? 0 : std::min(6, static_cast<int>(std::ceil(-std::log10(step))));
    return QString::number(value, 'f', decimals);
}

}  // namespace

FlowTrendDlg::FlowTrendDlg(QWidget* parent) : CDialog(IDD_FLOW_TREND, parent) {
    MapCommand(IDC_TREND_SAVE_CSV, [this] { OnSaveCsv(); });
    MapCommand(IDC_TREND_LOG, [this] { OnLog(); });
    MapSelChange(IDC_TREND_SPAN, [this] {
        if (plot_) {
            plot_->update();
        }
    });
}

FlowTrendDlg::~FlowTrendDlg() = default;

bool FlowTrendDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (auto* span = GetDlgItemAs<QComboBox>(IDC_TREND_SPAN)) {
        for (int minutes : kSpans) {
            span->addItem(QStringLiteral("%1 min").arg(minutes));
        }
        span->setCurrentIndex(kDefaultSpanIndex);
    }
    // The plot covers its placeholder control.
    if (QWidget* area = GetDlgItem(IDC_TREND_PLOT)) {
        plot_ = new TrendPlot(this, area);
        plot_->setGeometry(area->rect());
    }
    homes_.clear();
    for (const auto& f : kFollow) {
        const QWidget* w = GetDlgItem(f.id);
        homes_.push_back(w ? w->geometry() : QRect());
    }
    SetTimer(ID_TIMER_TREND, kTrendTickMs, QStringLiteral("trendTimer"));
    UpdateTitle();
    return true;
}

void FlowTrendDlg::OnCtlColor() {
    if (colours != nullptr) {
        ui::SetWindowColours(this, colours->background, QColor(Qt::white));
    }
}

void FlowTrendDlg::OnTimer(int id) {
    // The right edge is now: a visible plot moves on even when no reading comes.
    if (id == ID_TIMER_TREND && isVisible() && plot_) {
        plot_->update();
    }
    CDialog::OnTimer(id);
}

void FlowTrendDlg::resizeEvent(QResizeEvent* event) {
    CDialog::resizeEvent(event);
    if (homes_.empty()) {
        return;  // not built yet
    }
    // The template's size is the window's smallest (CDialog): what it has more moves or grows
    // the controls from where they sit then.
    const QSize more = (event->size() - minimumSize()).expandedTo(QSize(0, 0));
    for (std::size_t i = 0; i < homes_.size(); ++i) {
        QWidget* w = GetDlgItem(kFollow[i].id);
        if (!w) {
            continue;
        }
        QRect r = homes_[i];
        r.translate(kFollow[i].follow & kRight ? more.width() : 0,
                    kFollow[i].follow & kDown ? more.height() : 0);
        if (kFollow[i].follow & kGrow) {
            r.setSize(r.size() + more);
        }
        w->setGeometry(r);
    }
    if (plot_) {
        plot_->setGeometry(plot_->parentWidget()->rect());
    }
}

std::int64_t FlowTrendDlg::Now() const {
    if (clock) {
        return clock();
    }
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

int FlowTrendDlg::spanMinutes() const {
    const auto* span = GetDlgItemAs<QComboBox>(IDC_TREND_SPAN);
    const int index = span ? span->currentIndex() : kDefaultSpanIndex;
    return kSpans[index >= 0 && index < 3 ? index : kDefaultSpanIndex];
}

void FlowTrendDlg::SetSpanMinutes(int minutes) {
    auto* span = GetDlgItemAs<QComboBox>(IDC_TREND_SPAN);
    const int* found = std::find(std::begin(kSpans), std::end(kSpans), minutes);
    if (span && found != std::end(kSpans)) {
        span->setCurrentIndex(static_cast<int>(found - std::begin(kSpans)));
    }
}

trend::TrendView FlowTrendDlg::CurrentView() const {
    const std::int64_t now = Now();
    return trend::BuildView(samples_, now - spanMinutes() * 60000LL, now, trend::kMaxGapMs,
                            unitIndex_);
}

void FlowTrendDlg::SetModel(Model model) {
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

void FlowTrendDlg::AddReading(const trend::FlowReading& r) {
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

void FlowTrendDlg::OnSaveCsv() {
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

void FlowTrendDlg::OnLog() {
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
    SetDlgItemText(IDC_TREND_LOG, QStringLiteral("Stop &Logging"));
    UpdateTitle();
}

void FlowTrendDlg::StopLogging() {
    log_.Close();
    logName_.clear();
    SetDlgItemText(IDC_TREND_LOG, QStringLiteral("&Log to file..."));
    UpdateTitle();
}

void FlowTrendDlg::UpdateTitle() {
    setWindowTitle(
        logging() ? QStringLiteral("%1 - logging to %2").arg(kTitle, QFileInfo(logName_).fileName())
                  : kTitle);
}

void FlowTrendDlg::Paint(QPainter& painter, const QRect& area) const {
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
    if (model_ == Model::k640 && points_) {
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

    // Alarm activated: a band over the plot's height, in the high or the low alarm's look.
    QColor red = LampColour(IDB_LAMP_RED);
    red.setAlpha(140);
    const QColor blue = LampColour(IDB_LAMP_BLUE).lighter(130);
    for (const bool high : {true, false}) {
        for (const trend::TrendView::Band& b : high ? view.highBands : view.lowBands) {
            const double left = std::max(plot.left(), x(b.fromMs));
            const double right = std::min(plot.right(), std::max(x(b.toMs), left + 2));
            if (right > left) {
                ShadeAlarm(painter, QRectF(left, plot.top(), right - left, plot.height()), high,
                           red, blue);
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
    const std::int64_t offsetMs = LocalUtcOffsetSeconds(now) * 1000LL;
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

    // The 640's legend of the shadings, above the plot's right end.
    if (model_ == Model::k640) {
        const QString names[] = {QStringLiteral("High alarm"), QStringLiteral("Low alarm")};
        const QSizeF swatch(2 * (fm.height() - 4), fm.height() - 4);
        const double spacing = fm.horizontalAdvance(QStringLiteral("MM"));
        auto width = [&](const QString& name) {
            return swatch.width() + 4 + fm.horizontalAdvance(name);
        };
        double left = plot.right() - width(names[0]) - spacing - width(names[1]);
        for (int i = 0; i < 2; ++i) {
            const QRectF box(QPointF(left, area.top() + 3 + (fm.height() - swatch.height()) / 2),
                             swatch);
            ShadeAlarm(painter, box, i == 0, red, blue);
            painter.setPen(QPen(text, 1));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(box);
            painter.drawText(QRectF(box.right() + 4, area.top() + 3,
                                    fm.horizontalAdvance(names[i]) + 2, fm.height()),
                             Qt::AlignLeft, names[i]);
            left += width(names[i]) + spacing;
        }
    }

    // The alarm points: dashed for set, dotted for release.
    painter.save();
    painter.setClipRect(plot);
    const QColor lineColour = LampColour(IDB_LAMP_YELLOW);
    for (const Line& l : lines) {
        painter.setPen(QPen(lineColour, 1.5, l.set ? Qt::DashLine : Qt::DotLine));
        painter.drawLine(QPointF(plot.left(), y(l.value)), QPointF(plot.right(), y(l.value)));
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

    // The alarm points' names, at the left where the oldest readings are (the newest, at the
    // right, are the ones watched), each by its line on a box of the plot's colour, over the
    // readings so that they stay readable.
    const double labelHeight = fm.height() + 2;
    std::vector<double> lineYs;
    for (const Line& l : lines) {
        lineYs.push_back(y(l.value));
    }
    const std::vector<double> tops =
        trend::PlaceLineLabels(lineYs, labelHeight, 2, plot.top() + 2, plot.bottom() - 2);
    QColor labelBox = background.darker(130);
    labelBox.setAlpha(220);
    painter.setPen(lineColour);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const QString label =
            QStringLiteral("%1 %2").arg(lines[i].label, QString::number(lines[i].value, 'g', 6));
        const QRectF box(plot.left() + 4, tops[i], fm.horizontalAdvance(label) + 8, labelHeight);
        painter.fillRect(box, labelBox);
        painter.drawText(box, Qt::AlignCenter, label);
    }
    painter.restore();

    if (!view.hasReadings) {
        painter.setPen(text);
        painter.drawText(plot, Qt::AlignCenter, QStringLiteral("No readings in this span"));
    }
}

std::vector<double> trend::PlaceLineLabels(const std::vector<double>& lineYs, double height,
                                           double gap, double top, double bottom) {
    std::vector<std::size_t> order(lineYs.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return lineYs[a] < lineYs[b]; });
    auto crossesAnother = [&](double labelTop, std::size_t own) {
        for (std::size_t i = 0; i < lineYs.size(); ++i) {
            if (i != own && lineYs[i] > labelTop - gap && lineYs[i] < labelTop + height + gap) {
                return true;
            }
        }
        return false;
    };
    std::vector<double> tops(lineYs.size());
    // Downwards: each label above its line where there is room for it, else below the line.
    double free = top;  // where the next label may start, at the earliest
    for (const std::size_t i : order) {
        const double above = lineYs[i] - gap - height;
        const double below = std::max(lineYs[i] + gap, free);
        const bool belowIsClearer =
            crossesAnother(above, i) && !crossesAnother(below, i) && below + height <= bottom;
        tops[i] = above >= free && !belowIsClearer ? above : below;
        free = tops[i] + height + gap;
    }
    // Upwards: labels pushed out at the bottom go back up, over their line when they must.
    double limit = bottom;  // where the next label must end, at the latest
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        double& t = tops[*it];
        if (t + height > limit) {
            t = limit - height;
            if (t < lineYs[*it] + gap && t + height > lineYs[*it] - gap) {
                t = lineYs[*it] - gap - height;
            }
        }
        limit = t - gap;
    }
    return tops;
}
