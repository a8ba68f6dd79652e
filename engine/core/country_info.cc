// country_info.cc - the code page and country that an index records.
//
// The system's OEM and ANSI code pages are 850 and 1252 on this platform.
// The system's country comes from the locale environment (LC_ALL, then
// LC_CTYPE, then LANG, as the C library resolves the character locale): the
// territory of "language_TERRITORY[.codeset][@modifier]" is looked up in a
// small table of international dialling codes, which is what the country
// number of a locale is.  A locale without a territory ("C", "POSIX") or
// with one missing from the table leaves the country 0.
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "engine/core/collation.h"
#include "engine/core/internal.h"

namespace kvl {
namespace {

struct Territory {
    char code[3];
    uint32_t country;
};

// Canada keeps the number 2 of the older country tables, apart from the US.
constexpr Territory kTerritories[] = {
    {"US", 1},   {"CA", 2},   {"RU", 7},   {"EG", 20},  {"ZA", 27},  {"GR", 30},
    {"NL", 31},  {"BE", 32},  {"FR", 33},  {"ES", 34},  {"HU", 36},  {"IT", 39},
    {"RO", 40},  {"CH", 41},  {"AT", 43},  {"GB", 44},  {"DK", 45},  {"SE", 46},
    {"NO", 47},  {"PL", 48},  {"DE", 49},  {"PE", 51},  {"MX", 52},  {"AR", 54},
    {"BR", 55},  {"CL", 56},  {"CO", 57},  {"VE", 58},  {"MY", 60},  {"AU", 61},
    {"ID", 62},  {"PH", 63},  {"NZ", 64},  {"SG", 65},  {"TH", 66},  {"JP", 81},
    {"KR", 82},  {"VN", 84},  {"CN", 86},  {"TR", 90},  {"IN", 91},  {"PK", 92},
    {"IR", 98},  {"MA", 212}, {"PT", 351}, {"LU", 352}, {"IE", 353}, {"IS", 354},
    {"FI", 358}, {"BG", 359}, {"LT", 370}, {"LV", 371}, {"EE", 372}, {"UA", 380},
    {"RS", 381}, {"HR", 385}, {"SI", 386}, {"CZ", 420}, {"SK", 421}, {"HK", 852},
    {"TW", 886}, {"SA", 966}, {"AE", 971}, {"IL", 972},
};

// The locale name the character functions would use.
std::string_view locale_name() {
    for (const char *variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char *value = std::getenv(variable);
        if (value && *value) return value;
    }
    return {};
}

// "de_DE.UTF-8@euro" -> "DE"; empty when there is no two-letter territory.
std::string_view territory_of(std::string_view locale) {
    size_t start = locale.find('_');
    if (start == std::string_view::npos) return {};
    std::string_view rest = locale.substr(start + 1);
    size_t end = rest.find_first_of(".@");
    rest = rest.substr(0, end);
    return rest.size() == 2 ? rest : std::string_view{};
}

uint32_t system_country() {
    std::string_view territory = territory_of(locale_name());
    if (territory.empty()) return 0;
    for (const Territory &entry : kTerritories)
        if (territory == entry.code) return entry.country;
    return 0;
}

}  // namespace
}  // namespace kvl

extern "C" {

KVL_API uint32_t KvlGetCountryInfo(uint32_t *code_page, uint32_t *country, uint32_t use_oem) {
    if (!code_page || !country) return ERR_NULL_PARAMETER;
    if (*code_page == 0) *code_page = use_oem ? kvl::kOemCodePage : kvl::kAnsiCodePage;
    if (*country == 0) *country = kvl::system_country();
    return ERR_NONE;
}
KVL_ALIAS(KvlGetCountryInfo)

}  // extern "C"
