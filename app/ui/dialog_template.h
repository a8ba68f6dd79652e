// dialog_template.h - dialogs built from templates: a table of controls,
// each with its kind, control id, caption and rectangle in dialog units,
// turned into Qt widgets in table order (which is also the tab order).
//
// A control with an id gets the object name "id<number>" ("id1021"), so
// tests and the searches find it by the id the rest of the program uses.
// Dialog units convert to pixels from the dialog font's metrics the way the
// templates were drawn for: a horizontal unit is a quarter of the average
// character width, a vertical unit an eighth of the character height.
#ifndef LEDGROVE_APP_UI_DIALOG_TEMPLATE_H
#define LEDGROVE_APP_UI_DIALOG_TEMPLATE_H

#include <QFont>
#include <QHash>
#include <QRect>
#include <QString>
#include <span>

class QDialog;
class QWidget;

namespace ledgrove::ui {

inline constexpr int kNoId = -1;

enum class ControlKind {
    Button,
    DefaultButton,
    Label,
    GroupBox,
    CheckBox,
    ComboBox,  // editable drop-down; the rectangle's height includes the list
    Edit,
    List,
};

struct ControlTemplate {
    ControlKind kind;
    int id;
    const char *text;
    int x, y, width, height;
};

struct DialogTemplate {
    const char *caption;
    int width, height;
};

// The 8-point sans-serif font of every dialog (the templates' "MS Sans
// Serif" 8) and the fixed-pitch fonts of the result list and the report.
QFont dialog_font();
QFont list_font();    // "Courier New" 8 points
QFont report_font();  // "Courier" 7 points bold

class DialogUnits {
public:
    explicit DialogUnits(const QFont &font);
    int base_x() const { return base_x_; }
    int base_y() const { return base_y_; }
    int x(int units) const;
    int y(int units) const;
    QRect rect(int x, int y, int width, int height) const;

private:
    int base_x_;
    int base_y_;
};

QString object_name(int id);

// The controls of one dialog, by id.
class TemplateControls {
public:
    QWidget *find(int id) const { return by_id_.value(id, nullptr); }
    template <class W>
    W *get(int id) const { return qobject_cast<W *>(find(id)); }
    void add(int id, QWidget *widget) { by_id_.insert(id, widget); }

private:
    QHash<int, QWidget *> by_id_;
};

// Gives the dialog its caption, font and fixed size and creates the
// controls.
TemplateControls build_dialog(QDialog &dialog, const DialogTemplate &form,
                              std::span<const ControlTemplate> controls);

}  // namespace ledgrove::ui

#endif  // LEDGROVE_APP_UI_DIALOG_TEMPLATE_H
