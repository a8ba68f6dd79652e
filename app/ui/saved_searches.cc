// saved_searches.cc - saved, recent and last searches in QSettings.
#include "app/ui/saved_searches.h"

#include <QSettings>
#include <QVariantMap>

#include "app/ui/ansi_text.h"

namespace ledgrove::ui {
namespace {

inline constexpr const char *kSavedKey = "searches/saved";
inline constexpr const char *kRecentKey = "searches/recent";
inline constexpr const char *kLastKey = "searches/last";
inline constexpr const char *kFiscalStartKey = "summary/fiscalStart";

QSettings settings() { return QSettings(kSettingsOrganization, kSettingsApplication); }

}  // namespace

QStringList criteria_texts(const Criteria &criteria) {
    QStringList texts;
    for (const NamedValue &v : criteria) texts << QString::fromStdString(v.name) + '=' + from_ansi(v.value);
    return texts;
}

Criteria criteria_of(const QStringList &texts) {
    Criteria criteria;
    for (const QString &text : texts) {
        const qsizetype equals = text.indexOf('=');  // no name holds one
        if (equals > 0) criteria.push_back({text.left(equals).toStdString(), to_ansi(text.mid(equals + 1))});
    }
    return criteria;
}

QStringList saved_search_names() {
    QStringList names = settings().value(kSavedKey).toMap().keys();
    names.sort(Qt::CaseInsensitive);
    return names;
}

std::optional<Criteria> saved_search(const QString &name) {
    const QVariantMap saved = settings().value(kSavedKey).toMap();
    if (!saved.contains(name)) return std::nullopt;
    return criteria_of(saved.value(name).toStringList());
}

void save_search(const QString &name, const Criteria &criteria) {
    QSettings kept = settings();
    QVariantMap saved = kept.value(kSavedKey).toMap();
    saved.insert(name, criteria_texts(criteria));
    kept.setValue(kSavedKey, saved);
}

void delete_saved_search(const QString &name) {
    QSettings kept = settings();
    QVariantMap saved = kept.value(kSavedKey).toMap();
    saved.remove(name);
    kept.setValue(kSavedKey, saved);
}

std::vector<Criteria> recent_searches() {
    std::vector<Criteria> recent;
    for (const QVariant &texts : settings().value(kRecentKey).toList()) recent.push_back(criteria_of(texts.toStringList()));
    return recent;
}

void add_recent_search(const Criteria &criteria) {
    QSettings kept = settings();
    const QStringList texts = criteria_texts(criteria);
    QVariantList recent = kept.value(kRecentKey).toList();
    recent.removeAll(QVariant(texts));
    recent.prepend(texts);
    while (recent.size() > kRecentSearches) recent.removeLast();
    kept.setValue(kRecentKey, recent);
    kept.setValue(kLastKey, texts);
}

std::optional<Criteria> last_search() {
    const QVariant last = settings().value(kLastKey);
    if (!last.isValid()) return std::nullopt;
    return criteria_of(last.toStringList());
}

int remembered_fiscal_start() {
    const int month = settings().value(kFiscalStartKey, kDefaultFiscalStart).toInt();
    return month >= 1 && month <= 12 ? month : kDefaultFiscalStart;
}

void remember_fiscal_start(int month) { settings().setValue(kFiscalStartKey, month); }

}  // namespace ledgrove::ui
