// import_mapping_dialog.h - "Import Records" for a register as public
// bodies publish it: an ordinary CSV file with a header row.  The dialog
// guesses which column feeds which field from the header, lets the user
// change each choice, and shows the first rows as the register will list
// them (with every value that had to change, and the rows that cannot be
// checks) before anything is written.  "Import" converts every row into
// the register CSV lines that the import reads.
//
// The conversion is app/maint/convert's; this is only its front.
#ifndef LEDGROVE_APP_UI_IMPORT_MAPPING_DIALOG_H
#define LEDGROVE_APP_UI_IMPORT_MAPPING_DIALOG_H

#include <QDialog>
#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "app/maint/convert/conversion.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace ledgrove::ui {

inline constexpr std::size_t kPreviewRows = 12;
inline constexpr const char *kNoColumn = "(none)";

// Whether a file's text is already in the register's own line format (the
// separators at their fixed columns), so it imports as it stands.
bool is_register_text(std::string_view text);

class ImportMappingDialog : public QDialog {
    Q_OBJECT

public:
    ImportMappingDialog(std::string input, const QString &file_name, QWidget *parent = nullptr);
    ~ImportMappingDialog() override;

    QComboBox *column_box(Target target) const { return boxes_[static_cast<std::size_t>(target)]; }
    QCheckBox *header_box() const { return header_; }
    QPlainTextEdit *preview() const { return preview_; }
    QLabel *problem() const { return problem_; }
    QPushButton *import_button() const { return import_; }

    // After "Import": the register CSV lines and the conversion's report.
    const std::string &register_text() const { return register_text_; }
    const ConversionReport &report() const { return *report_; }

private:
    void fill_column_boxes();
    ConvertRequest request() const;
    void refresh();
    void convert();

    std::string input_;
    std::array<QComboBox *, kTargetCount> boxes_{};
    QCheckBox *header_ = nullptr;
    QLabel *notes_ = nullptr;
    QLabel *problem_ = nullptr;
    QPlainTextEdit *preview_ = nullptr;
    QPushButton *import_ = nullptr;
    PreparedConversion prepared_;
    std::string register_text_;
    std::unique_ptr<ConversionReport> report_;
};

// The report shortened for a message box: its first lines and its closing
// count lines.
std::string report_summary(const ConversionReport &report);

}  // namespace ledgrove::ui

#endif  // LEDGROVE_APP_UI_IMPORT_MAPPING_DIALOG_H
