#include "ui/DialogLook.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyleFactory>
#include <QStyleOptionButton>
#include <QStyleOptionComplex>
#include <QStyleOptionMenuItem>

namespace ui {
namespace {

// A Windows drop-down list: a sunken edge of SM_CXEDGE (2 pixels) on every side and the
// arrow button of a vertical scroll bar's width, SM_CXVSCROLL (17 pixels at 96 dpi), inside
// the right edge. The selected item is drawn in the rest.
constexpr int kListEdge = 2;
constexpr int kListArrowAt96Dpi = 17;

// The etched edge of a group box: the system's button shadow and highlight colours.
const QColor kEtchShadow{160, 160, 160};
const QColor kEtchHighlight{255, 255, 255};
// The caption starts 7 pixels in from the frame's left edge, on a background one pixel wider
// on each side that interrupts the top line.
constexpr int kCaptionIndent = 7;

// The focus frame: a black line with a white line outside it on buttons, check boxes and
// radios (one of the two stands out on the green window, on white and on a button's face;
// it is drawn whenever the control has the focus, not only after a key moved it there),
// and two black lines round an edit or list (their inside is white). Qt's own frame is a thin
// line in the highlight colour that vanishes on the green background.
void DrawFocusRect(QPainter* painter, const QRect& r) {
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setBrush(Qt::NoBrush);
    painter->setPen(QPen(Qt::white, 1));
    painter->drawRect(r.adjusted(-1, -1, 0, 0));
    painter->setPen(QPen(Qt::black, 1));
    painter->drawRect(r.adjusted(0, 0, -1, -1));
    painter->restore();
}

void DrawFocusEdge(QPainter* painter, const QRect& r) {
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setBrush(Qt::NoBrush);
    painter->setPen(QPen(Qt::black, 1));
    painter->drawRect(r.adjusted(0, 0, -1, -1));
    painter->drawRect(r.adjusted(1, 1, -2, -2));
    painter->restore();
}

bool HasFocus(const QStyleOption* option) {
    return (option->state & QStyle::State_HasFocus) && (option->state & QStyle::State_Enabled);
}

class Style : public QProxyStyle {
public:
    explicit Style(QStyle* base) : QProxyStyle(base) {}

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        if (element == PE_FrameFocusRect) {
            DrawFocusRect(painter, option->rect);
            return;
        }
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        if (element == PE_PanelLineEdit && HasFocus(option)) {
            DrawFocusEdge(painter, option->rect);
        }
    }

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        if (element == CE_MenuBarItem && (option->state & State_Selected) && widget &&
            widget->hasFocus()) {
            // The bar in keyboard mode (F10 or Alt) with no menu open yet: show the active
            // title as it shows while its menu is open, as the system does.
            QStyleOptionMenuItem item = *qstyleoption_cast<const QStyleOptionMenuItem*>(option);
            item.state |= State_Sunken;
            QProxyStyle::drawControl(element, &item, painter, widget);
            return;
        }
        if (element == CE_PushButton && HasFocus(option)) {
            // Drawn without the style's own focus look (Fusion's is a faint outline, the
            // Windows style's a dotted frame), then with the frame above, inside the edge.
            QStyleOptionButton button = *qstyleoption_cast<const QStyleOptionButton*>(option);
            button.state &= ~State_HasFocus;
            QProxyStyle::drawControl(element, &button, painter, widget);
            const int inset = 3;
            DrawFocusRect(painter, option->rect.adjusted(inset, inset, -inset, -inset));
            return;
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget) const override {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        if (control == CC_ComboBox && HasFocus(option)) {
            DrawFocusEdge(painter, option->rect);
        }
    }

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returned) const override {
        if (hint == SH_MenuBar_AltKeyNavigation) {
            return 1;  // a press and release of Alt puts the menu bar in keyboard mode
        }
        return QProxyStyle::styleHint(hint, option, widget, returned);
    }

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                         const QWidget* widget) const override {
        if (control != CC_ComboBox) {
            return QProxyStyle::subControlRect(control, option, sub, widget);
        }
        const QRect r = option->rect;
        const int dpi = widget ? widget->logicalDpiX() : 96;
        const int arrow = (kListArrowAt96Dpi * dpi + 48) / 96;
        QRect part;
        switch (sub) {
            case SC_ComboBoxArrow:
                part = QRect(r.right() - kListEdge - arrow + 1, r.top() + kListEdge, arrow,
                             r.height() - 2 * kListEdge);
                break;
            case SC_ComboBoxEditField:
                part = r.adjusted(kListEdge, kListEdge, -kListEdge - arrow, -kListEdge);
                break;
            default:
                return QProxyStyle::subControlRect(control, option, sub, widget);
        }
        return visualRect(option->direction, r, part);
    }
};

// The wheel turns a list only while it has the focus.
class WheelWithFocusOnly : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Wheel) {
            auto* list = qobject_cast<QComboBox*>(watched);
            if (list && !list->hasFocus()) {
                event->ignore();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

// The next enabled, visible item after `current` (wrapping round) whose text begins with
// `letter`; nullptr when none does.
QAction* NextStartingWith(const QList<QAction*>& actions, QAction* current, QChar letter) {
    const qsizetype count = actions.size();
    const qsizetype from = current ? actions.indexOf(current) : -1;
    for (qsizetype step = 1; step <= count; ++step) {
        QAction* action = actions.at((from + step + count) % count);
        if (action->isSeparator() || !action->isVisible() || !action->isEnabled()) {
            continue;
        }
        const QString text = WithoutAccessKeys(action->text());
        if (!text.isEmpty() && text.at(0).toCaseFolded() == letter.toCaseFolded()) {
            return action;
        }
    }
    return nullptr;
}

// A letter in the menu bar (while it is in keyboard mode) or in an open menu moves to the
// next menu or item that begins with it.
class MenuLetters : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) {
            return false;
        }
        const auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        if ((key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) ||
            text.size() != 1 || !text.at(0).isLetterOrNumber()) {
            return false;
        }
        if (auto* bar = qobject_cast<QMenuBar*>(watched)) {
            if (!bar->hasFocus()) {
                return false;  // not in keyboard mode
            }
            if (QAction* next = NextStartingWith(bar->actions(), bar->activeAction(), text.at(0))) {
                bar->setActiveAction(next);  // opens that menu, as an access key does
            }
            return true;
        }
        if (auto* menu = qobject_cast<QMenu*>(watched)) {
            if (QAction* next =
                    NextStartingWith(menu->actions(), menu->activeAction(), text.at(0))) {
                menu->setActiveAction(next);
            }
            return true;
        }
        return false;
    }
};

template <class T>
T* Shared() {
    static T* instance = new T(qApp);
    return instance;
}

// Buttons for assistive tools: every action (press, toggle) is a click, as the system's
// default action of a button is BM_CLICK, so the dialog's click handler runs. The click is
// queued: the action returns at once, as a screen reader expects, even when the click opens
// a modal dialog or message box that runs until the user closes it.
class PressableButton : public QAccessibleWidget {
public:
    explicit PressableButton(QAbstractButton* button) : QAccessibleWidget(button, RoleOf(button)) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty()) {
            return WithoutAccessKeys(button()->text());
        }
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        if (button()->isCheckable()) {
            s.checkable = true;
            s.checked = button()->isChecked();
        }
        if (const auto* push = qobject_cast<const QPushButton*>(button())) {
            s.defaultButton = push->isDefault();
        }
        return s;
    }

    QStringList actionNames() const override {
        QStringList names{pressAction()};
        if (button()->isCheckable()) {
            names << toggleAction();
        }
        return names + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override {
        if (action == pressAction() || action == toggleAction()) {
            // Does nothing while the button is disabled, nor once the button is gone.
            QMetaObject::invokeMethod(button(), &QAbstractButton::click, Qt::QueuedConnection);
            return;
        }
        QAccessibleWidget::doAction(action);
    }

private:
    static QAccessible::Role RoleOf(const QAbstractButton* button) {
        if (qobject_cast<const QRadioButton*>(button)) {
            return QAccessible::RadioButton;
        }
        if (qobject_cast<const QPushButton*>(button)) {
            return QAccessible::PushButton;
        }
        return QAccessible::CheckBox;
    }
    QAbstractButton* button() const { return static_cast<QAbstractButton*>(widget()); }
};

QAccessibleInterface* ButtonFactory(const QString& className, QObject* object) {
    // Only the dialogs' own buttons, asked for by their own class names.
    if (className.startsWith(QLatin1String("ui::Dialog"))) {
        if (auto* button = qobject_cast<QAbstractButton*>(object)) {
            return new PressableButton(button);
        }
    }
    return nullptr;
}

}  // namespace

QStyle* DialogStyle() {
    static QStyle* style = [] {
        auto* s = new Style(QStyleFactory::create(QApplication::style()->name()));
        s->setParent(qApp);
        return s;
    }();
    return style;
}

void SetUpDropList(QComboBox* list) {
    list->setStyle(DialogStyle());
    // A click or Tab gives the focus; the wheel alone never does.
    list->setFocusPolicy(Qt::StrongFocus);
    list->installEventFilter(Shared<WheelWithFocusOnly>());
}

void SetUpMenuKeys(QMenuBar* bar) {
    bar->setStyle(DialogStyle());
    bar->installEventFilter(Shared<MenuLetters>());
    for (QAction* action : bar->actions()) {
        if (QMenu* menu = action->menu()) {
            menu->installEventFilter(Shared<MenuLetters>());
        }
    }
}

void ActivateMenuBar(QMenuBar* bar) {
    // The menu bar enters (or leaves) its keyboard mode on a press and release of Alt, which
    // it watches for on its window: F10 is the same request, delivered as a key would be.
    QWidget* target = QApplication::focusWidget();
    if (!target || target->window() != bar->window()) {
        target = bar->window();
    }
    QKeyEvent override(QEvent::ShortcutOverride, Qt::Key_Alt, Qt::AltModifier);
    override.ignore();
    QCoreApplication::sendEvent(target, &override);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Alt, Qt::AltModifier);
    QCoreApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Alt, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &release);
}

void GroupFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QFontMetrics metrics(font());
    // The frame's top line runs through the middle of the caption.
    const int top = metrics.height() / 2 - 1;
    // EDGE_ETCHED: a shadow line with a highlight line just inside it at the top and left,
    // and just outside it at the bottom and right.
    const int w = width() - 2;
    const int h = height() - top - 2;
    painter.setPen(kEtchShadow);
    painter.drawRect(0, top, w, h);
    painter.setPen(kEtchHighlight);
    painter.drawRect(1, top + 1, w, h);
    const QString caption = title();
    if (caption.isEmpty()) {
        return;
    }
    const int textWidth = metrics.horizontalAdvance(caption);
    painter.fillRect(kCaptionIndent - 1, 0, textWidth + 2, metrics.height(),
                     palette().color(QPalette::Window));
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.drawText(QRect(kCaptionIndent, 0, textWidth, metrics.height()),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, caption);
}

void InstallButtonAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(ButtonFactory);
        return true;
    }();
    (void)installed;
}

QString WithoutAccessKeys(const QString& text) {
    QString plain;
    plain.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('&') && i + 1 < text.size()) {
            ++i;  // "&x" is x, "&&" is "&"
        }
        plain += text.at(i);
    }
    return plain;
}

int MessageTextWidth(const QScreen* screen) {
    if (!screen) {
        screen = QGuiApplication::primaryScreen();
    }
    return screen ? screen->geometry().width() * 5 / 8 : 640;
}

QString WrapMessageText(const QString& text, const QFontMetrics& metrics, int width) {
    QStringList out;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (metrics.horizontalAdvance(line) <= width) {
            out << line;
            continue;
        }
        QString current;
        for (const QString& word : line.split(QLatin1Char(' '))) {
            const QString joined = current.isEmpty() ? word : current + QLatin1Char(' ') + word;
            if (metrics.horizontalAdvance(joined) <= width) {
                current = joined;
                continue;
            }
            if (!current.isEmpty()) {
                out << current;
            }
            current = word;
            // A word wider than a line is broken where it reaches the edge.
            while (metrics.horizontalAdvance(current) > width && current.size() > 1) {
                qsizetype fits = 1;
                while (fits < current.size() &&
                       metrics.horizontalAdvance(current.left(fits + 1)) <= width) {
                    ++fits;
                }
                out << current.left(fits);
                current = current.mid(fits);
            }
        }
        out << current;
    }
    return out.join(QLatin1Char('\n'));
}

}  // namespace ui
