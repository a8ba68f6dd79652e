// saved_searches.h - what the window keeps between runs besides its size:
// searches saved under a name, the last ten searches run, the last one
// (restored at start-up), and the month a fiscal year starts.  All in the
// program's QSettings.
//
// A search is kept as its criteria by name (search_parameters.h: the names
// and value texts of the command line and the web), one "name=value" text
// each: the same table reads them back, so the window, the settings and
// "Copy as command" never spell a criterion two ways.  Texts are kept as
// the characters they stand for, not as code-page bytes.
#ifndef LEDGROVE_APP_UI_SAVED_SEARCHES_H
#define LEDGROVE_APP_UI_SAVED_SEARCHES_H

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "app/search/search_parameters.h"

namespace ledgrove::ui {

inline constexpr const char *kSettingsOrganization = "Ledgrove";
inline constexpr const char *kSettingsApplication = "Ledgrove";
inline constexpr int kRecentSearches = 10;

using Criteria = std::vector<NamedValue>;

// The criteria as settings keep them, and back.
QStringList criteria_texts(const Criteria &criteria);
Criteria criteria_of(const QStringList &texts);

// By name, in the order of their names.
QStringList saved_search_names();
std::optional<Criteria> saved_search(const QString &name);
void save_search(const QString &name, const Criteria &criteria);
void delete_saved_search(const QString &name);

// The latest first; a search run again moves to the front.  Adding one also
// makes it the last search.
std::vector<Criteria> recent_searches();
void add_recent_search(const Criteria &criteria);
std::optional<Criteria> last_search();

int remembered_fiscal_start();  // July until set
void remember_fiscal_start(int month);

}  // namespace ledgrove::ui

#endif  // LEDGROVE_APP_UI_SAVED_SEARCHES_H
