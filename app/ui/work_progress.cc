// work_progress.cc - the observers behind the progress dialog.
#include "app/ui/work_progress.h"

#include <QCoreApplication>
#include <QLocale>
#include <QProgressDialog>
#include <algorithm>

namespace ledgrove::ui {
namespace {

// Work that ends sooner than this shows no dialog at all.
constexpr int kShowAfterMs = 400;

}  // namespace

WorkProgress::WorkProgress(QWidget *owner, const QString &title)
    : dialog_(std::make_unique<QProgressDialog>(owner)) {
    dialog_->setWindowTitle(title);
    dialog_->setObjectName(QStringLiteral("progress"));
    dialog_->setWindowModality(Qt::ApplicationModal);
    dialog_->setCancelButton(nullptr);  // the core's steps run to their end
    dialog_->setRange(0, 100);
    dialog_->setMinimumDuration(kShowAfterMs);
    dialog_->setAutoClose(false);
    dialog_->setAutoReset(false);
    dialog_->setMinimumWidth(360);
    dialog_->setValue(0);
}

WorkProgress::~WorkProgress() = default;

void WorkProgress::show(int percent, const QString &label) {
    dialog_->setLabelText(label);
    dialog_->setValue(std::clamp(percent, 0, 100));
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

QString WorkProgress::label() const { return dialog_->labelText(); }
int WorkProgress::value() const { return dialog_->value(); }

ImportObserver WorkProgress::import_observer() {
    return [this](const ImportProgress &p) { show(import_progress_percent(p), import_progress_text(p)); };
}

RebuildObserver WorkProgress::rebuild_observer() {
    return [this](const RebuildProgress &p) {
        show(rebuild_progress_percent(p), rebuild_progress_text(p));
    };
}

QString import_progress_text(const ImportProgress &p) {
    return QStringLiteral("Importing records: %1 lines read")
        .arg(QLocale(QLocale::English, QLocale::UnitedStates).toString(static_cast<qulonglong>(p.lines)));
}

int import_progress_percent(const ImportProgress &p) {
    if (p.file_size == 0) return 0;
    return static_cast<int>(std::min<std::uint64_t>(p.bytes_read, p.file_size) * 100 / p.file_size);
}

QString rebuild_progress_text(const RebuildProgress &p) {
    return QStringLiteral("Rebuilding index %1 of %2: %3")
        .arg(p.step + 1)
        .arg(p.steps)
        .arg(QString::fromLatin1(p.file_name));
}

int rebuild_progress_percent(const RebuildProgress &p) {
    if (p.steps == 0) return 100;
    const std::uint32_t percent = std::min<std::uint32_t>(p.percent, 100);
    return static_cast<int>((p.step * 100 + percent) / p.steps);
}

}  // namespace ledgrove::ui
