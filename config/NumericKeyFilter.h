#pragma once
// The configuration dialogs' numeric key filter. The dialogs filter every key pressed in them
// before the focused control sees it: digits and the editing keys pass, "." and "-" follow
// the rules below, everything else is swallowed (letters, Space, Enter, Escape, function
// keys), so Enter never presses "OK" and Escape never closes the dialog.

#include <QString>
#include <optional>
#include <vector>

class QKeyEvent;
class QWidget;

// Which edits take part in the "." and "-" rules.
struct NumericKeyRules {
    // A second "." is swallowed here, unless the selection holds the first one.
    std::vector<int> onePointEdits;
    // "-" with anything less than the whole text selected negates the value here.
    std::vector<int> signToggleEdits;
};

// An edit's text as the filter reads it (the first 31 characters) and its selection
// [start, end).
struct EditState {
    QString text;
    int start = 0;
    int end = 0;

    bool operator==(const EditState&) const = default;
};

struct KeyOutcome {
    bool swallow = false;
    // The text and selection the edit gets (only with the key swallowed).
    std::optional<EditState> edit;
};

// What has the focus when a key arrives: an edit (text to change), a button, check box or
// radio (Space presses it), or anything else (a list, the dialog itself).
enum class KeyFocus { kEdit, kButton, kOther };

// The filter's verdict on one key press in control `controlId` of kind `focus`.
//  - digits (main keys and keypad), Delete, Backspace, Tab, Home, End, arrows: pass;
//  - "." (main or keypad): pass when the selection holds a "."; swallowed in a one-point
//    edit whose text has one; else pass;
//  - "-" (main or keypad), always swallowed: with the whole text selected (or the field
//    empty) the text becomes "-" with the caret after it; else in a sign-toggle edit the
//    value, negated, is written back with "%0.6f" and the selection moves one character to
//    the right if the new text has a "-", to the left if not; else nothing changes;
//  - Space on a button, check box or radio: pass, so the keyboard alone can press it;
//  - any other key (letters, Space elsewhere, Enter, Escape): swallowed, so a slip in an edit
//    neither closes the dialog nor sends.
// Keys held with Alt pass untouched: the system sends them as WM_SYSKEYDOWN, which the
// filter never looks at. Keys are judged by what Qt reports, so a shifted digit arrives as
// its punctuation mark and is swallowed.
KeyOutcome JudgeNumericKey(int key, Qt::KeyboardModifiers modifiers, int controlId, KeyFocus focus,
                           const EditState& state, const NumericKeyRules& rules);

// The filter for one key at `receiver` (see ui::KeyFilter): judges it and, with `apply`,
// writes the outcome into the edit. Returns whether the key is swallowed.
bool NumericKeyFilter(QWidget* receiver, const QKeyEvent& key, bool apply,
                      const NumericKeyRules& rules);
