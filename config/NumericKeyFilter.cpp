#include "config/NumericKeyFilter.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QLineEdit>
#include <algorithm>

#include "rules/CalculateFormulas.h"
#include "ui/Dialog.h"

namespace {

// The filter reads an edit into a buffer of 32 characters.
constexpr int kKeyTextChars = 31;

bool Contains(const std::vector<int>& ids, int id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

bool IsDecimalPoint(int key, Qt::KeyboardModifiers modifiers) {
    // The keypad's decimal key reports a comma on layouts that write one.
    return key == Qt::Key_Period || (key == Qt::Key_Comma && (modifiers & Qt::KeypadModifier));
}

}  // namespace

KeyOutcome JudgeNumericKey(int key, Qt::KeyboardModifiers modifiers, int controlId, KeyFocus focus,
                           const EditState& state, const NumericKeyRules& rules) {
    if (modifiers & Qt::AltModifier) {
        return {};
    }
    if (key == Qt::Key_Space && focus == KeyFocus::kButton) {
        return {};
    }
    const bool isEdit = focus == KeyFocus::kEdit;
    switch (key) {
        case Qt::Key_0:
        case Qt::Key_1:
        case Qt::Key_2:
        case Qt::Key_3:
        case Qt::Key_4:
        case Qt::Key_5:
        case Qt::Key_6:
        case Qt::Key_7:
        case Qt::Key_8:
        case Qt::Key_9:
        case Qt::Key_Delete:
        case Qt::Key_Backspace:
        case Qt::Key_Tab:
        case Qt::Key_Backtab:  // Shift+Tab: still the Tab key
        case Qt::Key_End:
        case Qt::Key_Home:
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
            return {};
        default:
            break;
    }

    const QString& text = state.text;
    const int start = state.start;
    const int end = state.end;

    if (IsDecimalPoint(key, modifiers)) {
        if (text.mid(start, end - start).contains(QLatin1Char('.'))) {
            return {};  // typing over the selected point keeps a single one
        }
        if (Contains(rules.onePointEdits, controlId) && text.contains(QLatin1Char('.'))) {
            return {true, std::nullopt};
        }
        return {};
    }

    if (key == Qt::Key_Minus) {
        if (!isEdit) {
            return {true, std::nullopt};
        }
        if (start == 0 && end == text.size()) {
            return {true, EditState{QStringLiteral("-"), 1, 1}};
        }
        if (Contains(rules.signToggleEdits, controlId)) {
            const double value = TextToDouble(text.toStdString(), kKeyTextChars);
            const QString negated = QString::asprintf("%0.6f", -value);
            // The selection follows the sign: one character right when a "-" appeared, one
            // left when it went.
            const int newEnd = negated.contains(QLatin1Char('-')) ? end + 1 : end - 1;
            return {true, EditState{negated, newEnd - (end - start), newEnd}};
        }
        return {true, std::nullopt};  // the text and its selection stay as they are
    }

    return {true, std::nullopt};
}

bool NumericKeyFilter(QWidget* receiver, const QKeyEvent& key, bool apply,
                      const NumericKeyRules& rules) {
    auto* edit = qobject_cast<QLineEdit*>(receiver);
    EditState state;
    if (edit) {
        state.text = edit->text().left(kKeyTextChars);
        if (edit->hasSelectedText()) {
            state.start = edit->selectionStart();
            state.end = edit->selectionEnd();
        } else {
            state.start = state.end = edit->cursorPosition();
        }
    }
    const KeyFocus focus = edit != nullptr                            ? KeyFocus::kEdit
                           : qobject_cast<QAbstractButton*>(receiver) ? KeyFocus::kButton
                                                                      : KeyFocus::kOther;
    const KeyOutcome outcome =
        JudgeNumericKey(key.key(), key.modifiers(), ui::ControlId(receiver), focus, state, rules);
    if (apply && edit && outcome.edit) {
        const EditState& now = *outcome.edit;
        if (edit->text() != now.text) {
            edit->setText(now.text);
        }
        const int length = static_cast<int>(now.text.size());
        const int end = std::clamp(now.end, 0, length);
        // A start before the text deselects, leaving the caret where setting the text put it.
        const int start = now.start < 0 ? end : std::clamp(now.start, 0, end);
        if (start == end) {
            edit->setCursorPosition(now.start < 0 ? 0 : end);
        } else {
            edit->setSelection(start, end - start);  // the caret ends at `end`
        }
    }
    return outcome.swallow;
}
