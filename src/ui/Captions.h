// Applies a caption table (Texts.h) to a window: each row names a control by objectName and
// gives its text in every interface language. One function serves every window, so a new
// language needs a new column in the tables and nothing here.
#pragma once

#include "config/Texts.h"

#include <QString>

#include <functional>
#include <span>

class QWidget;

namespace halvex {

// A table text for the screen (the tables are UTF-8).
QString CaptionText(const TCaptionText& row, TLanguage language);

// A control of `root`'s own window by objectName, depth first. Child windows (the dialogs
// are children of the main window and reuse names like Button1) are not entered. Null
// when there is none.
QWidget* FindControl(QWidget* root, const QString& name);

// Sets one caption: `item` >= 0 is an item of a radio group or a drop-down list (replaced in
// place, so the selection stays) or a page of a tab widget; kToolTipItem is the control's
// tooltip; -1 is the title of a group box or radio group, or the text of a button, check box or
// label, and renames the control (NameAfterCaption). Other kinds of control, and an item row for a
// control that has no items, are left alone.
void SetControlCaption(QWidget* control, int item, const QString& text);

// Names a control for accessibility after what the user reads: a group box or radio group
// after its own title (not the frame around it), the edit box a label is the buddy of (and
// the spinner tied to that edit) after the label, an edit box no label names after the
// frame it stands in. Names are the captions without surrounding blanks.
void NameAfterCaption(QWidget* control);
// NameAfterCaption for every control of `root`'s own window.
void NameControls(QWidget* root);

// Sets the captions of `root`'s controls for `language`, then names every control of the
// window after its caption (NameControls), so the names follow the language. A row naming `root`
// itself sets its window title. Rows for which `skip` returns true are left alone; rows naming a
// control that does not exist are ignored.
void ApplyCaptionTexts(QWidget* root, std::span<const TCaptionText> texts, TLanguage language,
                       const std::function<bool(const TCaptionText&)>& skip = {});

} // namespace halvex
