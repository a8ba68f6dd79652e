// dialog_template.cc - widgets from a template table.
#include "app/ui/dialog_template.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <algorithm>

namespace ledgrove::ui {
namespace {

// What a 16-bit dialog manager measured for the average character width.
constexpr const char *kAverageWidthSample = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// A combo box's list shows about one item per 8 dialog units of the height
// its template gives beyond the box itself.
constexpr int kComboBoxUnits = 14, kComboItemUnits = 8;

// Labels taller than one line wrap their text inside the rectangle.
constexpr int kOneLineUnits = 10;

int mul_div(int a, int b, int c) { return static_cast<int>((static_cast<long long>(a) * b + c / 2) / c); }

QWidget *make_control(const ControlTemplate &c, QDialog &dialog, const DialogUnits &units) {
    const QString text = QString::fromLatin1(c.text);
    QRect rect = units.rect(c.x, c.y, c.width, c.height);
    QWidget *widget = nullptr;
    switch (c.kind) {
        case ControlKind::Button:
        case ControlKind::DefaultButton: {
            auto *button = new QPushButton(text, &dialog);
            button->setDefault(c.kind == ControlKind::DefaultButton);
            widget = button;
            break;
        }
        case ControlKind::Label: {
            auto *label = new QLabel(text, &dialog);
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            label->setWordWrap(c.height > kOneLineUnits);
            widget = label;
            break;
        }
        case ControlKind::GroupBox:
            widget = new QGroupBox(text, &dialog);
            break;
        case ControlKind::CheckBox:
            widget = new QCheckBox(text, &dialog);
            break;
        case ControlKind::ComboBox: {
            auto *combo = new QComboBox(&dialog);
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert);
            combo->setMaxVisibleItems(std::max(1, (c.height - kComboBoxUnits) / kComboItemUnits));
            rect.setHeight(units.y(kComboBoxUnits));
            widget = combo;
            break;
        }
        case ControlKind::Edit:
            widget = new QLineEdit(text, &dialog);
            break;
        case ControlKind::List:
            widget = new QListView(&dialog);
            break;
    }
    widget->setGeometry(rect);
    if (c.id != kNoId) widget->setObjectName(object_name(c.id));
    return widget;
}

}  // namespace

QFont dialog_font() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSize(8);
    return font;
}

QFont list_font() {
    QFont font("Courier New", 8);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    return font;
}

QFont report_font() {
    QFont font("Courier", 7, QFont::Bold);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    return font;
}

DialogUnits::DialogUnits(const QFont &font) {
    const QFontMetrics metrics(font);
    base_x_ = (metrics.horizontalAdvance(QString::fromLatin1(kAverageWidthSample)) / 26 + 1) / 2;
    base_y_ = metrics.height();
}

int DialogUnits::x(int units) const { return mul_div(units, base_x_, 4); }
int DialogUnits::y(int units) const { return mul_div(units, base_y_, 8); }

QRect DialogUnits::rect(int x, int y, int width, int height) const {
    return QRect(this->x(x), this->y(y), this->x(width), this->y(height));
}

QString object_name(int id) { return QStringLiteral("id%1").arg(id); }

TemplateControls build_dialog(QDialog &dialog, const DialogTemplate &form,
                              std::span<const ControlTemplate> controls) {
    dialog.setWindowTitle(QString::fromLatin1(form.caption));
    dialog.setFont(dialog_font());
    const DialogUnits units(dialog.font());
    dialog.setFixedSize(units.x(form.width), units.y(form.height));
    TemplateControls made;
    for (const ControlTemplate &c : controls) {
        QWidget *widget = make_control(c, dialog, units);
        if (c.id != kNoId) made.add(c.id, widget);
    }
    return made;
}

}  // namespace ledgrove::ui
