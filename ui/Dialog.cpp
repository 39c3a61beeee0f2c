#include "ui/Dialog.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolTip>
#include <algorithm>
#include <set>

#include "res/Templates.h"
#include "texts/Resource.h"
#include "ui/Bitmaps.h"
#include "ui/DialogLook.h"
#include "ui/MessageBox.h"

namespace ui {
namespace {

// A digits-only edit (ES_NUMBER) refuses each typed character that is not a digit. It judges
// the keystroke, not the resulting text: text set by the program or pasted is left alone, so
// a key filter that puts "-" into the field can still be followed by digits ("-5"). With
// `point` one decimal point is taken too (a pipe of 4.5 in). A character refused is never
// dropped without a sign: a beep and, at the field, the tip Windows shows for such an edit.
class DigitsOnlyFilter : public QObject {
public:
    DigitsOnlyFilter(QLineEdit* edit, bool point) : QObject(edit), edit_(edit), point_(point) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const QString text = static_cast<QKeyEvent*>(event)->text();
            if (!text.isEmpty() && text.at(0).isPrint() && !text.at(0).isDigit() &&
                !(point_ && text.at(0) == u'.' && !WouldHoldTwoPoints())) {
                QApplication::beep();
                QToolTip::showText(edit_->mapToGlobal(QPoint(0, edit_->height())),
                                   point_ ? QStringLiteral("Unacceptable Character\nYou can only "
                                                           "type a number here.")
                                          : QStringLiteral("Unacceptable Character\nYou can only "
                                                           "type digits here."),
                                   edit_);
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    // The point typed would stand beside one already there (a selection typed over aside).
    bool WouldHoldTwoPoints() const {
        QString rest = edit_->text();
        if (edit_->hasSelectedText()) {
            rest.remove(edit_->selectionStart(), edit_->selectedText().size());
        }
        return rest.contains(u'.');
    }

    QLineEdit* edit_;
    bool point_;
};

constexpr const char* kIdProperty = "controlId";
constexpr const char* kCommandProperty = "commandId";
constexpr const char* kCheckedProperty = "menuChecked";

std::set<int>& FailingTemplates() {
    static std::set<int> ids;
    return ids;
}

CDialog::CommandHandler& ApplicationCommands() {
    static CDialog::CommandHandler handler;
    return handler;
}

// "#128" names resource 128 in a template's text.
int ResourceNumber(const char* text) {
    return (text && text[0] == '#') ? QString::fromUtf8(text + 1).toInt() : 0;
}

void ApplyEdge(QFrame* frame, std::uint32_t style) {
    using namespace res;
    if (style & kClientEdge) {
        frame->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    } else if (style & (kSunken | kStaticEdge)) {
        frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        frame->setLineWidth(1);
    } else if (style & kBorder) {
        frame->setFrameStyle(QFrame::Box | QFrame::Plain);
        frame->setLineWidth(1);
    } else {
        frame->setFrameStyle(QFrame::NoFrame);
    }
}

Qt::Alignment HorizontalAlignment(std::uint32_t style) {
    if (style & res::kCenter) {
        return Qt::AlignHCenter;
    }
    if (style & res::kRight) {
        return Qt::AlignRight;
    }
    return Qt::AlignLeft;
}

// Controls that assistive tools would announce alike ("Set Point" in the High Alarm and in the
// Low Alarm frame, "Latched" twice) take the title of the frame around them before their
// name ("High Alarm Set Point"), so a screen reader says which one has the focus.
void NameAlikeControlsByFrame(QWidget* dialog, const std::vector<QGroupBox*>& frames) {
    const auto nameOf = [](const QWidget* w) {
        if (!w->accessibleName().isEmpty()) {
            return w->accessibleName();
        }
        const auto* button = qobject_cast<const QAbstractButton*>(w);
        return button ? WithoutAccessKeys(button->text()) : QString();
    };
    QMap<QString, std::vector<QWidget*>> byName;
    for (QWidget* w : dialog->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (w->focusPolicy() & Qt::TabFocus) {
            if (const QString name = nameOf(w); !name.isEmpty()) {
                byName[name].push_back(w);
            }
        }
    }
    for (auto it = byName.cbegin(); it != byName.cend(); ++it) {
        if (it->size() < 2) {
            continue;
        }
        for (QWidget* w : *it) {
            const QGroupBox* around = nullptr;
            for (const QGroupBox* frame : frames) {
                if (frame->geometry().contains(w->geometry()) &&
                    (!around || around->geometry().contains(frame->geometry()))) {
                    around = frame;
                }
            }
            if (around && !around->title().isEmpty()) {
                w->setAccessibleName(WithoutAccessKeys(around->title()) + u' ' + it.key());
            }
        }
    }
}

// The templates were drawn for "MS Shell Dlg" as MS Sans Serif; where the dialog font is wider
// (Tahoma on Windows since 2000, and under Wine) a one-line static text can come out a few
// pixels short, and the system would wrap its last word out of sight ("Comm Port Setting:").
// Such a text is widened to its width where the dialog has room beside it: inside the client
// area and over no other control (group boxes around it aside).
void WidenShortTexts(QWidget* dialog, const std::vector<QLabel*>& texts, const QRect& client) {
    for (QLabel* label : texts) {
        const int need =
            label->fontMetrics().horizontalAdvance(label->text()) + 2 * label->frameWidth();
        const QRect wider(label->geometry().topLeft(), QSize(need, label->height()));
        if (need <= label->width() || label->text().contains('\n') || !client.contains(wider)) {
            continue;
        }
        const QList<QWidget*> others = dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        const bool free = std::none_of(others.begin(), others.end(), [&](const QWidget* w) {
            return w != label && w->property(kIdProperty).isValid() &&
                   !qobject_cast<const QGroupBox*>(w) && w->geometry().intersects(wider);
        });
        if (free) {
            label->setGeometry(wider);
        }
    }
}

}  // namespace

int ControlId(const QWidget* widget) {
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        const QVariant id = w->property(kIdProperty);
        if (id.isValid()) {
            return id.toInt();
        }
        if (w->isWindow()) {
            break;
        }
    }
    return IDC_STATIC;
}

void SetControlId(QWidget* widget, int id) {
    widget->setProperty(kIdProperty, id);
    widget->setObjectName(QStringLiteral("item%1").arg(id));
}

}  // namespace ui

using namespace ui;

CDialog::CDialog(int templateId, QWidget* parent)
    : QDialog(parent), templateId_(templateId), template_(res::FindDialogTemplate(templateId)) {}

CDialog::CDialog(const res::DialogTemplate& dialogTemplate, QWidget* parent)
    : QDialog(parent), templateId_(dialogTemplate.id), template_(&dialogTemplate) {}

CDialog::~CDialog() = default;

void CDialog::SetCreateFailure(int templateId, bool fail) {
    if (fail) {
        FailingTemplates().insert(templateId);
    } else {
        FailingTemplates().erase(templateId);
    }
}

void CDialog::SetApplicationCommandHandler(CommandHandler handler) {
    ApplicationCommands() = std::move(handler);
}

int CDialog::DoModal() {
    if (!created_) {
        QWidget* owner = parentWidget();
        if (!owner) {
            owner = QApplication::activeModalWidget();
        }
        if (!owner) {
            owner = QApplication::activeWindow();
        }
        if (owner == this) {
            owner = nullptr;
        }
        if (!BuildWindow(owner)) {
            return -1;
        }
    }
    if (OnInitDialog()) {
        SetInitialFocus();
    }
    return exec();
}

bool CDialog::Create(QWidget* parent) {
    if (created_) {
        return true;
    }
    if (!BuildWindow(parent)) {
        return false;
    }
    setModal(false);
    if (OnInitDialog()) {
        SetInitialFocus();
    }
    if (template_->style & res::kVisible) {
        show();
    }
    return true;
}

void CDialog::SetInitialFocus() {
    // The first control a Tab stops at, in template order; in a group of radios the checked
    // one, as the arrows move the choice from there.
    for (QWidget* w = nextInFocusChain(); w && w != this; w = w->nextInFocusChain()) {
        if (w->window() != this || !(w->focusPolicy() & Qt::TabFocus) || !w->isEnabled() ||
            !w->isVisibleTo(this)) {
            continue;
        }
        if (const auto* radio = qobject_cast<QRadioButton*>(w); radio && radio->group()) {
            if (QAbstractButton* checked = radio->group()->checkedButton();
                checked && checked->isEnabled()) {
                w = checked;
            }
        }
        w->setFocus(Qt::TabFocusReason);
        return;
    }
}

void CDialog::EndDialog(int result) {
    done(result);
}

bool CDialog::BuildWindow(QWidget* parent) {
    if (!template_ || FailingTemplates().count(templateId_)) {
        return false;
    }
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint;
    if (template_->style & res::kCaption) {
        flags |= Qt::WindowTitleHint;
    }
    if (template_->style & res::kSysMenu) {
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    }
    if (template_->style & res::kMinimizeBox) {
        flags |= Qt::WindowMinimizeButtonHint;
    }
    if (template_->style & res::kMaximizeBox) {
        flags |= Qt::WindowMaximizeButtonHint;
    }
    setParent(parent, flags);
    setWindowTitle(QString::fromUtf8(template_->caption));
    setFont(DialogFont());
    InstallButtonAccessibility();
    baseUnits_ = BaseUnitsOf(font());
    if (template_->menuId) {
        BuildMenu(template_->menuId);
    }
    BuildControls();
    FitWindow();
    created_ = true;
    return true;
}

void CDialog::BuildMenu(int menuId) {
    const res::MenuTemplate* menu = res::FindMenuTemplate(menuId);
    if (!menu) {
        return;
    }
    // The menu belongs to this window, not to the desktop's global menu.
    menuBar_ = new QMenuBar(this);
    menuBar_->setNativeMenuBar(false);
    QMenu* popup = nullptr;
    QString popupTitle;
    for (const res::MenuItemTemplate& row : menu->items) {
        if (!popup || popupTitle != QString::fromUtf8(row.popup)) {
            popupTitle = QString::fromUtf8(row.popup);
            popup = menuBar_->addMenu(popupTitle);
        }
        if (!row.text) {
            popup->addSeparator();
            continue;
        }
        QAction* action = popup->addAction(QString::fromUtf8(row.text));
        const int command = row.command;
        action->setProperty(kCommandProperty, command);
        action->setObjectName(QStringLiteral("command%1").arg(command));
        action->setEnabled(!(row.state & res::kGrayed));
        if (row.state & res::kChecked) {
            action->setCheckable(true);
            action->setChecked(true);
        }
        action->setProperty(kCheckedProperty, bool(row.state & res::kChecked));
        connect(action, &QAction::triggered, this, [this, action, command] {
            // A menu item's check mark is the program's to set: undo Qt's own toggle.
            action->setChecked(action->property(kCheckedProperty).toBool());
            OnCommand(command);
        });
    }
    SetUpMenuKeys(menuBar_);
    menuHeight_ = menuBar_->sizeHint().height();
}

void CDialog::BuildControls() {
    const int top = menuHeight_;
    QButtonGroup* radios = nullptr;
    std::vector<QGroupBox*> frames;
    std::vector<QLabel*> leftTexts;
    const res::ControlTemplate* previous = nullptr;
    QWidget* previousWidget = nullptr;
    for (const res::ControlTemplate& c : template_->controls) {
        const QRect rect =
            ui::MapDialogRect(QRect(c.x, c.y, c.w, c.h), baseUnits_).translated(0, top);
        const QString text = QString::fromUtf8(c.text ? c.text : "");
        const int id = c.id;
        QWidget* widget = nullptr;
        if (c.kind != res::ControlKind::RadioButton) {
            radios = nullptr;
        }
        switch (c.kind) {
            case res::ControlKind::Text: {
                auto* label = new QLabel(text, this);
                if (HorizontalAlignment(c.style) == Qt::AlignLeft) {
                    leftTexts.push_back(label);
                }
                label->setTextFormat(Qt::PlainText);
                label->setAlignment(
                    HorizontalAlignment(c.style) |
                    ((c.style & res::kCenterImage) ? Qt::AlignVCenter : Qt::AlignTop));
                // Static text wraps at word breaks unless it is centred vertically, which makes
                // it a single line.
                label->setWordWrap(!(c.style & res::kCenterImage));
                ApplyEdge(label, c.style);
                widget = label;
                break;
            }
            case res::ControlKind::GroupBox: {
                auto* box = new GroupFrame(text, this);
                // A group box is a frame drawn behind its neighbours and takes no clicks.
                box->setAttribute(Qt::WA_TransparentForMouseEvents);
                box->setFocusPolicy(Qt::NoFocus);
                frames.push_back(box);
                widget = box;
                break;
            }
            case res::ControlKind::PushButton:
            case res::ControlKind::DefPushButton: {
                auto* button = new DialogPushButton(text, this);
                button->setAutoDefault(true);
                button->setDefault(c.kind == res::ControlKind::DefPushButton);
                connect(button, &QPushButton::clicked, this, [this, id] { OnCommand(id); });
                widget = button;
                break;
            }
            case res::ControlKind::CheckBox: {
                auto* box = new DialogCheckBox(text, this);
                connect(box, &QCheckBox::clicked, this, [this, id] { OnCommand(id); });
                widget = box;
                break;
            }
            case res::ControlKind::RadioButton: {
                auto* radio = new DialogRadioButton(text, this);
                // Radios form one group up to the next control that starts a group.
                if (!radios || (c.style & res::kGroup)) {
                    radios = new QButtonGroup(this);
                    radios->setExclusive(true);
                }
                radios->addButton(radio);
                connect(radio, &QRadioButton::clicked, this, [this, id] { OnCommand(id); });
                widget = radio;
                break;
            }
            case res::ControlKind::Edit: {
                if (c.style & res::kMultiLine) {
                    auto* edit = new QPlainTextEdit(text, this);
                    edit->setReadOnly(c.style & res::kReadOnly);
                    edit->setTabChangesFocus(true);
                    edit->setLineWrapMode((c.style & res::kAutoHScroll)
                                              ? QPlainTextEdit::NoWrap
                                              : QPlainTextEdit::WidgetWidth);
                    edit->setVerticalScrollBarPolicy(
                        (c.style & res::kVScroll) ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
                    edit->setHorizontalScrollBarPolicy(
                        (c.style & res::kHScroll) ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
                    ApplyEdge(edit, c.style);
                    widget = edit;
                } else {
                    auto* edit = new QLineEdit(text, this);
                    edit->setReadOnly(c.style & res::kReadOnly);
                    edit->setAlignment(HorizontalAlignment(c.style) | Qt::AlignVCenter);
                    edit->setFrame(c.style & (res::kBorder | res::kClientEdge | res::kStaticEdge));
                    if (c.style & res::kNumber) {
                        edit->installEventFilter(
                            new DigitsOnlyFilter(edit, c.style & res::kDecimalPoint));
                    }
                    widget = edit;
                }
                break;
            }
            case res::ControlKind::DropList: {
                auto* combo = new QComboBox(this);
                combo->setEditable(false);
                SetUpDropList(combo);
                combo->setProperty("sorted", bool(c.style & res::kSort));
                // The template's height is the dropped list's; the closed box is as high as
                // the font makes it.
                const int closed = combo->sizeHint().height();
                const int rows = (rect.height() - closed) / std::max(1, fontMetrics().height());
                combo->setMaxVisibleItems(std::max(1, rows));
                connect(combo, &QComboBox::activated, this, [this, id] { OnSelChange(id); });
                widget = combo;
                SetControlId(widget, id);
                widget->setGeometry(rect.x(), rect.y(), rect.width(), closed);
                break;
            }
            case res::ControlKind::Bitmap:
            case res::ControlKind::Icon: {
                auto* label = new QLabel(this);
                label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
                widget = label;
                break;
            }
        }
        if (c.kind == res::ControlKind::PushButton || c.kind == res::ControlKind::DefPushButton ||
            c.kind == res::ControlKind::CheckBox || c.kind == res::ControlKind::RadioButton ||
            c.kind == res::ControlKind::Edit) {
            widget->setStyle(DialogStyle());  // its focus frame shows on the green window
        }
        if (c.kind != res::ControlKind::DropList) {
            SetControlId(widget, id);
            widget->setGeometry(rect);
        }
        if (c.kind == res::ControlKind::Bitmap) {
            if (const int image = ResourceNumber(c.text)) {
                SetBitmap(static_cast<QLabel*>(widget), image);
            }
        } else if (c.kind == res::ControlKind::Icon) {
            // A static icon takes the size of a large icon.
            auto* label = static_cast<QLabel*>(widget);
            label->setPixmap(IconResource(ResourceNumber(c.text)).pixmap(32, 32));
            label->resize(32, 32);
        }
        // An edit or list is named after the static text just before it in the template, as
        // the system names a control without text of its own for assistive tools.
        const bool named = c.kind == res::ControlKind::Edit || c.kind == res::ControlKind::DropList;
        if (named && previous && previous->kind == res::ControlKind::Text && previous->text) {
            const QString label = QString::fromUtf8(previous->text);
            widget->setAccessibleName(
                (previous->style & res::kNoPrefix) ? label : WithoutAccessKeys(label));
            // Qt's tools on Linux name a list by its value and its label by this relation.
            static_cast<QLabel*>(previousWidget)->setBuddy(widget);
        }
        previous = &c;
        previousWidget = widget;
        if (c.style & res::kHidden) {
            widget->hide();
        }
        if (c.style & res::kDisabled) {
            widget->setEnabled(false);
        }
    }
    for (QGroupBox* frame : frames) {
        frame->lower();
    }
    WidenShortTexts(this, leftTexts, GetClientRect());
    NameAlikeControlsByFrame(this, frames);
}

void CDialog::FitWindow() {
    const QRect client = ui::MapDialogRect(QRect(0, 0, template_->w, template_->h), baseUnits_);
    if (menuBar_) {
        menuBar_->setGeometry(0, 0, client.width(), menuHeight_);
    }
    const QSize size(client.width(), menuHeight_ + client.height() + barsHeight_);
    if (template_->style & res::kThickFrame) {
        // A sizing frame: the template's size is the smallest, and a size the user chose stays.
        setMinimumSize(size);
        resize(created_ ? this->size().expandedTo(size) : size);
        return;
    }
    setFixedSize(size);
}

QRect CDialog::GetClientRect() const {
    if (!template_) {
        return QRect();
    }
    const QRect client = ui::MapDialogRect(QRect(0, 0, template_->w, template_->h), baseUnits_);
    return client.translated(0, menuHeight_);
}

QRect CDialog::MapDialogRect(const QRect& du) const {
    return ui::MapDialogRect(du, baseUnits_).translated(0, menuHeight_);
}

void CDialog::RepositionBars() {
    const QRect client = GetClientRect();
    int y = client.bottom() + 1;
    barsHeight_ = 0;
    for (QObject* child : children()) {
        auto* bar = qobject_cast<QWidget*>(child);
        if (!bar) {
            continue;
        }
        const int id = bar->property(kIdProperty).toInt();
        if (id < AFX_IDW_CONTROLBAR_FIRST || id > AFX_IDW_CONTROLBAR_LAST) {
            continue;
        }
        const int height = bar->sizeHint().height();
        bar->setGeometry(0, y, client.width(), height);
        y += height;
        barsHeight_ += height;
    }
    FitWindow();
}

QWidget* CDialog::GetDlgItem(int id) const {
    for (QWidget* w : findChildren<QWidget*>()) {
        const QVariant value = w->property(kIdProperty);
        if (value.isValid() && value.toInt() == id && w->window() == this) {
            return w;
        }
    }
    return nullptr;
}

QString CDialog::GetDlgItemText(int id) const {
    QWidget* w = GetDlgItem(id);
    if (auto* label = qobject_cast<QLabel*>(w)) {
        return label->text();
    }
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        return edit->text();
    }
    if (auto* edit = qobject_cast<QPlainTextEdit*>(w)) {
        return edit->toPlainText();
    }
    if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        return button->text();
    }
    if (auto* box = qobject_cast<QGroupBox*>(w)) {
        return box->title();
    }
    if (auto* combo = qobject_cast<QComboBox*>(w)) {
        return combo->currentText();
    }
    return QString();
}

void CDialog::SetDlgItemText(int id, const QString& text) {
    QWidget* w = GetDlgItem(id);
    if (auto* label = qobject_cast<QLabel*>(w)) {
        label->setText(text);
    } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        edit->setText(text);
    } else if (auto* edit = qobject_cast<QPlainTextEdit*>(w)) {
        edit->setPlainText(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        button->setText(text);
    } else if (auto* box = qobject_cast<QGroupBox*>(w)) {
        box->setTitle(text);
    }
}

bool CDialog::IsDlgButtonChecked(int id) const {
    auto* button = GetDlgItemAs<QAbstractButton>(id);
    return button && button->isChecked();
}

void CDialog::CheckDlgButton(int id, bool checked) {
    auto* button = GetDlgItemAs<QAbstractButton>(id);
    if (!button) {
        return;
    }
    button->setChecked(checked);
    // In a group of radios the focus sits on the checked one (the arrows move both): a choice
    // the program makes, such as the module's setting read after the dialog opened, takes
    // the focus along when another radio of its group has it.
    QWidget* focus = this->focusWidget();
    if (checked && button->group() && focus != button && qobject_cast<QRadioButton*>(focus) &&
        button->group()->buttons().contains(static_cast<QAbstractButton*>(focus))) {
        button->setFocus(Qt::OtherFocusReason);
    }
}

void CDialog::ShowItem(int id, bool show) {
    if (QWidget* w = GetDlgItem(id)) {
        w->setVisible(show);
    }
}

QAction* CDialog::MenuItem(int command) const {
    if (!menuBar_) {
        return nullptr;
    }
    for (QAction* action : menuBar_->findChildren<QAction*>()) {
        const QVariant value = action->property(kCommandProperty);
        if (value.isValid() && value.toInt() == command) {
            return action;
        }
    }
    return nullptr;
}

void CDialog::CheckMenuItem(int command, bool checked) {
    if (QAction* action = MenuItem(command)) {
        // An item without its check mark shows nothing in that place, not an empty box.
        action->setCheckable(checked);
        action->setChecked(checked);
        action->setProperty(kCheckedProperty, checked);
    }
}

bool CDialog::IsMenuItemChecked(int command) const {
    const QAction* action = MenuItem(command);
    return action && action->isChecked();
}

void CDialog::EnableMenuItem(int command, bool enabled) {
    if (QAction* action = MenuItem(command)) {
        action->setEnabled(enabled);
    }
}

bool CDialog::IsMenuItemEnabled(int command) const {
    const QAction* action = MenuItem(command);
    return action && action->isEnabled();
}

QTimer* CDialog::SetTimer(int id, int intervalMs, const QString& name) {
    QTimer*& timer = timers_[id];
    if (!timer) {
        timer = new QTimer(this);
        timer->setProperty("timerId", id);
        connect(timer, &QTimer::timeout, this, [this, id] { OnTimer(id); });
    }
    timer->setObjectName(name);
    timer->start(intervalMs);
    return timer;
}

void CDialog::KillTimer(int id) {
    if (QTimer* t = Timer(id)) {
        t->stop();
    }
}

QTimer* CDialog::Timer(int id) const {
    const auto it = timers_.find(id);
    return it == timers_.end() ? nullptr : it->second;
}

void CDialog::MapCommand(int id, std::function<void()> handler) {
    commands_[id] = std::move(handler);
}

void CDialog::MapSelChange(int id, std::function<void()> handler) {
    selChanges_[id] = std::move(handler);
}

bool CDialog::OnCommand(int id) {
    try {
        const auto it = commands_.find(id);
        if (it != commands_.end()) {
            it->second();
            return true;
        }
        if (id == IDOK) {
            OnOK();
            return true;
        }
        if (id == IDCANCEL) {
            OnCancel();
            return true;
        }
        return ApplicationCommands() && ApplicationCommands()(id);
    } catch (const InvalidArgument&) {
        ReportInvalidArgument(this);
        return true;
    }
}

void CDialog::OnSelChange(int id) {
    const auto it = selChanges_.find(id);
    if (it == selChanges_.end()) {
        return;
    }
    try {
        it->second();
    } catch (const InvalidArgument&) {
        ReportInvalidArgument(this);
    }
}

void CDialog::accept() {
    OnCommand(IDOK);
}

void CDialog::reject() {
    OnCommand(IDCANCEL);
}

void CDialog::keyPressEvent(QKeyEvent* event) {
    if (menuBar_ && event->key() == Qt::Key_F10 && event->modifiers() == Qt::NoModifier) {
        ActivateMenuBar(menuBar_);
        return;
    }
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        for (QPushButton* button : findChildren<QPushButton*>()) {
            if (button->isDefault() && button->isVisible() && button->window() == this) {
                QDialog::keyPressEvent(event);
                return;
            }
        }
        // No default button: the dialog manager still sends IDOK.
        OnCommand(IDOK);
        return;
    }
    QDialog::keyPressEvent(event);
}

void CDialog::setVisible(bool visible) {
    if (visible && !isVisible()) {
        OnCtlColor();
    }
    QDialog::setVisible(visible);
}
