#pragma once
// Dialog templates and menus as tables, in dialog units, in the shape of the program's
// resource script: one row per control (id, kind, text, x, y, width, height, style), rows in
// template order, which is also the tab order. ui/ turns a template into widgets.

#include <cstdint>
#include <span>

namespace res {

enum class ControlKind {
    Text,           // static text; left aligned unless kCenter or kRight
    GroupBox,       // frame with a caption; controls inside it are its siblings
    PushButton,     //
    DefPushButton,  // the dialog's default button
    CheckBox,       // automatic check box
    RadioButton,    // automatic radio button; kGroup starts a new group
    Edit,           // edit field
    DropList,       // drop-down list (combo box without an edit); h is the dropped height
    Bitmap,         // static bitmap; sizes itself to its image; text "#<id>" names the image
    Icon,           // static icon; sizes itself to the icon; text "#<id>" names the icon
};

// Control styles, named after the window styles they stand for.
enum Style : std::uint32_t {
    kNone = 0,
    kHidden = 1u << 0,         // created without WS_VISIBLE
    kDisabled = 1u << 1,       // WS_DISABLED
    kGroup = 1u << 2,          // WS_GROUP: first control of a group (radio groups)
    kTabStop = 1u << 3,        // WS_TABSTOP
    kBorder = 1u << 4,         // WS_BORDER
    kVScroll = 1u << 5,        // WS_VSCROLL
    kHScroll = 1u << 6,        // WS_HSCROLL
    kClientEdge = 1u << 7,     // WS_EX_CLIENTEDGE: sunken 3-D edge
    kStaticEdge = 1u << 8,     // WS_EX_STATICEDGE: thin sunken edge
    kCenter = 1u << 9,         // SS_CENTER / ES_CENTER
    kRight = 1u << 10,         // SS_RIGHT / ES_RIGHT
    kCenterImage = 1u << 11,   // SS_CENTERIMAGE: text centred vertically too
    kSunken = 1u << 12,        // SS_SUNKEN
    kNoPrefix = 1u << 13,      // SS_NOPREFIX: '&' is shown as it is
    kMultiLine = 1u << 14,     // ES_MULTILINE
    kReadOnly = 1u << 15,      // ES_READONLY
    kAutoHScroll = 1u << 16,   // ES_AUTOHSCROLL: no word wrap in a multi-line edit
    kNumber = 1u << 17,        // ES_NUMBER: digits only
    kSort = 1u << 18,          // CBS_SORT: strings added without a position are sorted
    kDecimalPoint = 1u << 19,  // ours, with kNumber: one decimal point is taken as well
};

// Window styles of the dialog itself.
enum DialogStyle : std::uint32_t {
    kPopup = 1u << 0,        // WS_POPUP
    kCaption = 1u << 1,      // WS_CAPTION
    kSysMenu = 1u << 2,      // WS_SYSMENU: system menu and close box
    kModalFrame = 1u << 3,   // DS_MODALFRAME
    kMinimizeBox = 1u << 4,  // WS_MINIMIZEBOX
    kVisible = 1u << 5,      // WS_VISIBLE: a modeless window shows itself when created
    kThickFrame = 1u << 6,   // WS_THICKFRAME: the user sizes the window; the template's size is
                             // its smallest
    kMaximizeBox = 1u << 7,  // WS_MAXIMIZEBOX
};

struct ControlTemplate {
    int id;
    ControlKind kind;
    const char* text;
    int x, y, w, h;
    std::uint32_t style;
};

struct DialogTemplate {
    int id;
    const char* caption;
    int w, h;  // client area in dialog units (below the menu bar)
    std::uint32_t style;
    int menuId;  // 0: no menu
    std::span<const ControlTemplate> controls;
};

// The template with identifier `id`, or nullptr when the program has none.
const DialogTemplate* FindDialogTemplate(int id);

// Menus: one row per item; `popup` names the drop-down menu the item belongs to (rows of the
// same popup are consecutive, popups in menu-bar order). A row with `text` nullptr is a
// separator.
enum MenuState : std::uint32_t {
    kEnabled = 0,
    kChecked = 1u << 0,  // MF_CHECKED
    kGrayed = 1u << 1,   // MF_GRAYED
};

struct MenuItemTemplate {
    const char* popup;
    const char* text;
    int command;
    std::uint32_t state;
};

struct MenuTemplate {
    int id;
    std::span<const MenuItemTemplate> items;
};

// The menu with identifier `id`, or nullptr.
const MenuTemplate* FindMenuTemplate(int id);

}  // namespace res
