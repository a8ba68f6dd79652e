// advanced_options_dialog.cc - the dialog's template and its buttons.
#include "app/ui/advanced_options_dialog.h"

#include <QPushButton>

#include "app/ui/control_ids.h"
#include "app/ui/maintenance.h"

namespace ledgrove::ui {
namespace {

using namespace control::advanced;
using K = ControlKind;

constexpr DialogTemplate kAdvancedDialog = {"Advanced Options", 263, 114};

constexpr ControlTemplate kAdvancedControls[] = {
    {K::Button, kExportDatabase, "Export Database", 7, 7, 63, 14},
    {K::Button, kEmptyDatabase, "Empty Database", 7, 35, 63, 14},
    {K::Button, kImportRecords, "Import Records", 7, 63, 63, 14},
    {K::Button, kReIndexDatabase, "ReIndex Database", 7, 91, 63, 14},
    {K::Button, kImportantInformation, "Important Information", 177, 93, 79, 14},
    {K::Label, kNoId,
     "Ledgrove can be used to manage Check Register data in an ongoing fashion. ", 95, 15, 150,
     19},
    {K::Label, kNoId,
     "Here you can export the entire database for external management. You can import new "
     "records, or empty the database and start over.",
     95, 33, 150, 35},
    {K::Label, kNoId,
     "You can also Re-Index the database, in case the index files are damaged.", 95, 70, 150,
     19},
};

}  // namespace

AdvancedOptionsDialog::AdvancedOptionsDialog(Maintenance &maintenance, QWidget *owner)
    : QDialog(owner), maintenance_(maintenance) {
    setObjectName(QStringLiteral("advancedOptions"));
    controls_ = build_dialog(*this, kAdvancedDialog, kAdvancedControls);
    for (int id : {kExportDatabase, kEmptyDatabase, kImportRecords, kReIndexDatabase,
                   kImportantInformation}) {
        auto *button = controls_.get<QPushButton>(id);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, id] { command(id); });
    }
}

void AdvancedOptionsDialog::command(int id) {
    switch (id) {
        case kExportDatabase: return maintenance_.export_database();
        case kEmptyDatabase: return maintenance_.empty_database();
        case kImportRecords: return maintenance_.import_records();
        case kReIndexDatabase: return maintenance_.reindex_database();
        case kImportantInformation: return maintenance_.important_information();
        case control::kCancel: return reject();
        default: return;
    }
}

AdvancedOptionsDialog *shown_advanced_options(QWidget *owner) {
    if (!owner) return nullptr;
    for (AdvancedOptionsDialog *dialog : owner->findChildren<AdvancedOptionsDialog *>())
        if (dialog->isVisible()) return dialog;
    return nullptr;
}

}  // namespace ledgrove::ui
