// import_mapping_dialog.cc - choosing the columns of a published register.
#include "app/ui/import_mapping_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/maint/import_line.h"
#include "app/output/csv_line.h"
#include "app/search/result_lines.h"
#include "app/ui/ansi_text.h"
#include "app/ui/dialog_template.h"

namespace ledgrove::ui {
namespace {

constexpr char kDelimiter = ',';
constexpr int kLongestShownValue = 30;
constexpr std::size_t kSummaryHeadLines = 24;
constexpr std::size_t kSummaryTailLines = 4;  // rows read, written, skipped, total

const char *const kFieldLabels[kTargetCount] = {"Check ID:",   "Date:",        "Vendor ID:",
                                                "Vendor Name:", "PO Number:",  "Description:",
                                                "Amount:"};

QString utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString shortened(const QString &text) {
    return text.size() > kLongestShownValue ? text.left(kLongestShownValue - 3) + "..." : text;
}

// The core's reasons are phrases ("no column is chosen for the date"); the
// dialog shows them as sentences.
QString as_sentence(QString text) {
    if (text.isEmpty()) return text;
    text[0] = text[0].toUpper();
    if (!text.endsWith('.')) text += '.';
    return text;
}

std::vector<std::string_view> split_lines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t pos = 0;
    std::string_view line;
    while (next_import_line(text, &pos, &line)) lines.push_back(line);
    return lines;
}

}  // namespace

bool is_register_text(std::string_view text) {
    std::size_t pos = 0;
    std::string_view line;
    while (next_import_line(text, &pos, &line)) {
        if (line.find_first_not_of(" \t") == std::string_view::npos) continue;
        if (line.size() <= csv_columns::kAmount) return false;
        for (std::size_t column : kCsvSeparatorColumns)
            if (line[column] != kCsvSeparator) return false;
        // The date's separators sit just after its month and its day.
        using namespace csv_columns;
        return line[kMonth.start + kMonth.width] == '/' && line[kDay.start + kDay.width] == '/';
    }
    return false;
}

ImportMappingDialog::ImportMappingDialog(std::string input, const QString &file_name,
                                         QWidget *parent)
    : QDialog(parent), input_(std::move(input)) {
    setObjectName(QStringLiteral("importMapping"));
    setWindowTitle(QStringLiteral("Import Records"));
    setFont(dialog_font());

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        QStringLiteral("%1 is not in the register's own format. Choose the column that "
                       "holds each field; the rows below show how the register will list them.")
            .arg(QFileInfo(file_name).fileName()),
        this));
    layout->itemAt(0)->widget()->setProperty("wordWrap", true);

    header_ = new QCheckBox(QStringLiteral("The first row names the columns"), this);
    header_->setChecked(true);
    layout->addWidget(header_);

    auto *form = new QFormLayout;
    for (std::size_t t = 0; t < kTargetCount; ++t) {
        boxes_[t] = new QComboBox(this);
        boxes_[t]->setObjectName(QString::fromLatin1(kTargets[t].option));
        form->addRow(QString::fromLatin1(kFieldLabels[t]), boxes_[t]);
    }
    layout->addLayout(form);

    notes_ = new QLabel(this);
    notes_->setWordWrap(true);
    layout->addWidget(notes_);
    problem_ = new QLabel(this);
    problem_->setObjectName(QStringLiteral("problem"));
    problem_->setWordWrap(true);
    problem_->setStyleSheet(QStringLiteral("color: #b00000"));
    layout->addWidget(problem_);

    preview_ = new QPlainTextEdit(this);
    preview_->setReadOnly(true);
    preview_->setLineWrapMode(QPlainTextEdit::NoWrap);
    preview_->setFont(list_font());
    preview_->setMinimumSize(820, 220);
    layout->addWidget(preview_);

    auto *buttons = new QDialogButtonBox(this);
    import_ = buttons->addButton(QStringLiteral("Import"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QDialogButtonBox::Cancel);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &ImportMappingDialog::convert);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    fill_column_boxes();
    connect(header_, &QCheckBox::toggled, this, [this] {
        fill_column_boxes();
        refresh();
    });
    for (QComboBox *box : boxes_)
        connect(box, &QComboBox::currentIndexChanged, this, [this] { refresh(); });
    refresh();
}

ImportMappingDialog::~ImportMappingDialog() = default;

// Each box offers "(none)" and every column, by its name or, without a
// header, by its number and first value; the guess is preselected.
void ImportMappingDialog::fill_column_boxes() {
    const std::vector<std::string> first_row = read_header(input_, kDelimiter);
    const bool named = header_->isChecked();
    const ColumnMapping guess = named ? guess_mapping(first_row) : ColumnMapping{};
    for (std::size_t t = 0; t < kTargetCount; ++t) {
        QComboBox *box = boxes_[t];
        const QSignalBlocker quiet(box);
        box->clear();
        box->addItem(QString::fromLatin1(kNoColumn));
        for (std::size_t c = 0; c < first_row.size(); ++c) {
            const QString value = shortened(utf8(first_row[c]));
            box->addItem(named ? QStringLiteral("%1: %2").arg(c + 1).arg(value)
                               : QStringLiteral("column %1 (%2)").arg(c + 1).arg(value));
        }
        const std::optional<std::size_t> &column = guess[kTargets[t].target];
        box->setCurrentIndex(column ? static_cast<int>(*column) + 1 : 0);
    }
}

ConvertRequest ImportMappingDialog::request() const {
    ConvertRequest request;
    request.delimiter = kDelimiter;
    request.has_header = header_->isChecked();
    request.name_options = false;  // the choices here are the boxes, not options
    for (std::size_t t = 0; t < kTargetCount; ++t) {
        const int index = boxes_[t]->currentIndex();
        request.columns[t] = index <= 0 ? std::string() : std::to_string(index);
    }
    return request;
}

void ImportMappingDialog::refresh() {
    prepared_ = prepare_conversion(input_, request());
    QStringList notes;
    // The boxes show the columns already; the notes add how dates are read.
    for (const std::string &note : prepared_.notes)
        if (note.rfind("Columns", 0) != 0) notes << utf8(note);
    notes_->setText(notes.join('\n'));
    problem_->setText(as_sentence(utf8(prepared_.error)));
    import_->setEnabled(prepared_.ok());
    if (!prepared_.ok()) {
        preview_->clear();
        return;
    }
    QString text;
    for (const ConvertedRow &row : preview_rows(input_, prepared_, kPreviewRows)) {
        const QString where = QStringLiteral("row %1: ").arg(row.line);
        if (!row.written) {
            text += where + "not a check: " + utf8(row.reason()) + "\n";
            continue;
        }
        text += from_ansi(record_line(row.record)) + "\n";
        for (const RowIssue &issue : row.issues)
            text += "    " + where + utf8(issue_title(issue.kind)) + ": " + utf8(issue.detail) + "\n";
    }
    preview_->setPlainText(text);
}

void ImportMappingDialog::convert() {
    if (!prepared_.ok()) return;
    register_text_.clear();
    report_ = std::make_unique<ConversionReport>(convert_rows(
        input_, prepared_, [this](const ConvertedRow &row) {
            if (row.written) register_text_ += csv_line_from_record(row.record);
        }));
    accept();
}

std::string report_summary(const ConversionReport &report) {
    const std::string text = report.text();
    const std::vector<std::string_view> lines = split_lines(text);
    if (lines.size() <= kSummaryHeadLines + kSummaryTailLines) return text;
    std::string out;
    for (std::size_t i = 0; i < kSummaryHeadLines; ++i) out.append(lines[i]).append("\n");
    out += "...\n";
    for (std::size_t i = lines.size() - kSummaryTailLines; i < lines.size(); ++i)
        out.append(lines[i]).append("\n");
    return out;
}

}  // namespace ledgrove::ui
