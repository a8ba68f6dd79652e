// demo_register.cc - a deterministic sample register.
#include "app/maint/demo_register.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "app/output/csv_line.h"
#include "app/store/field_text.h"

namespace ledgrove {
namespace {

// ---- Calendar: days since 1970-01-01 and back, proleptic Gregorian. ------

std::int64_t days_from_civil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

struct Civil {
    int year;
    unsigned month, day;
};

Civil civil_from_days(std::int64_t z) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<int>(yoe + era * 400 + (m <= 2)), m, d};
}

unsigned weekday(std::int64_t days) {  // 0 Sunday
    return static_cast<unsigned>(((days % 7) + 11) % 7);
}

const std::int64_t kFirstDay = days_from_civil(2006, 1, 1);
const std::int64_t kLastDay = days_from_civil(2020, 12, 31);

// Checks go out on weekdays: a weekend date moves to the Friday before, or
// to the Monday after when that Friday is before the register's first day.
std::int64_t business_day(std::int64_t day) {
    unsigned dow = weekday(day);
    if (dow == 6) return day - 1 >= kFirstDay ? day - 1 : day + 2;
    if (dow == 0) return day - 2 >= kFirstDay ? day - 2 : day + 1;
    return day;
}

std::string digits(std::uint64_t value, int width) {
    std::string text(static_cast<std::size_t>(width), '0');
    for (int i = width - 1; i >= 0 && value; --i, value /= 10)
        text[static_cast<std::size_t>(i)] = static_cast<char>('0' + value % 10);
    return text;
}

std::string stored_date_of(std::int64_t day) {
    Civil c = civil_from_days(day);
    return digits(static_cast<std::uint64_t>(c.year), 4) + digits(c.month, 2) + digits(c.day, 2);
}

// ---- Word lists ----------------------------------------------------------

// Vendor kinds, each with its descriptions and its range of amounts.
enum Kind { kSupplier, kContractor, kUtility, kPerson, kAgency, kProfessional, kKindCount };

using Words = std::array<std::string_view, 24>;

constexpr Words kCompanyFirst = {
    "ACME", "ALLIED", "AMERICAN", "BLUE RIDGE", "CAPITAL", "CENTRAL", "COASTAL", "EAGLE",
    "FIRST", "GREAT LAKES", "HARBOR", "KEYSTONE", "LIBERTY", "METRO", "MIDWEST", "NORTHERN",
    "PACIFIC", "PIONEER", "PREMIER", "RIVERSIDE", "SUMMIT", "TRI-COUNTY", "UNITED", "VALLEY"};

// What a company sells decides what it is paid for.
struct Trade {
    std::string_view word;
    Kind kind;
};
constexpr std::array<Trade, 24> kTrades = {{
    {"SUPPLY", kSupplier},          {"ASPHALT", kContractor},      {"ELECTRIC", kContractor},
    {"PLUMBING", kContractor},      {"OFFICE PRODUCTS", kSupplier}, {"CHEMICAL", kSupplier},
    {"UNIFORM", kSupplier},         {"TIRE", kSupplier},           {"LUMBER", kSupplier},
    {"PAVING", kContractor},        {"FORD", kSupplier},           {"LANDSCAPING", kContractor},
    {"PEST CONTROL", kContractor},  {"ENGINEERING", kProfessional}, {"PRINTING", kProfessional},
    {"FUEL", kSupplier},            {"WASTE SERVICES", kContractor}, {"TECHNOLOGIES", kProfessional},
    {"MEDICAL", kSupplier},         {"AUTO PARTS", kSupplier},     {"ROOFING", kContractor},
    {"SIGN", kSupplier},            {"CONCRETE", kContractor},     {"COMMUNICATIONS", kProfessional},
}};

constexpr std::array<std::string_view, 8> kCompanySuffix = {
    ", INC.", " CO.", ", LLC", " CORP.", "", " & SONS", ", LTD.", " INC"};
constexpr Words kLastNames = {
    "SMITH", "JOHNSON", "WILLIAMS", "BROWN", "JONES", "GARCIA", "MILLER", "DAVIS",
    "RODRIGUEZ", "MARTINEZ", "HERNANDEZ", "LOPEZ", "WILSON", "ANDERSON", "THOMAS", "TAYLOR",
    "MOORE", "JACKSON", "MARTIN", "LEE", "THOMPSON", "WHITE", "O'BRIEN", "VAN DER BERG"};
constexpr Words kFirstNames = {
    "JAMES", "MARY", "ROBERT", "PATRICIA", "JOHN", "JENNIFER", "MICHAEL", "LINDA",
    "DAVID", "ELIZABETH", "WILLIAM", "BARBARA", "RICHARD", "SUSAN", "JOSEPH", "JESSICA",
    "THOMAS", "SARAH", "CHARLES", "KAREN", "DANIEL", "NANCY", "MATTHEW", "LISA"};
constexpr std::array<std::string_view, 12> kPlaces = {
    "SPRINGFIELD", "FRANKLIN", "GREENVILLE", "CLINTON", "MADISON", "GEORGETOWN",
    "SALEM", "FAIRVIEW", "ASHLAND", "BRISTOL", "OAKDALE", "MILFORD"};
constexpr std::array<std::string_view, 12> kMonths = {
    "JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

using Descriptions = std::array<std::string_view, 8>;
constexpr std::array<Descriptions, kKindCount> kDescriptions = {{
    {"OFFICE SUPPLIES", "JANITORIAL SUPPLIES", "PARTS, FLEET MAINTENANCE",
     "UNIFORMS, POLICE DEPT", "COPIER PAPER", "TRAFFIC SIGNS", "FIRST AID SUPPLIES",
     "SAND, SALT AND GRAVEL FOR WINTER ROADS"},
    {"ASPHALT PATCHING", "STORM SEWER REPAIR", "ROOF REPAIR, CITY HALL",
     "ENGINEERING, PHASE 2", "PARK IMPROVEMENTS", "HVAC MAINTENANCE", "TREE REMOVAL",
     "SIDEWALK REPLACEMENT, MAIN STREET PROJ"},
    {"ELECTRIC SERVICE", "WATER SERVICE", "NATURAL GAS", "TELEPHONE SERVICE",
     "INTERNET SERVICE", "STREET LIGHTING", "CELL PHONES", "SEWER CHARGES"},
    {"TRAVEL REIMBURSEMENT", "REFUND, OVERPAYMENT", "MILEAGE, CONFERENCE", "DEPOSIT REFUND",
     "JURY FEE", "TUITION REIMBURSEMENT", "PERMIT FEE REFUND", "ELECTION WORKER"},
    {"PAYROLL TAXES", "HEALTH INSURANCE", "BOND PAYMENT, SERIES 2004",
     "PENSION CONTRIBUTION", "SALES TAX REMITTANCE", "DISPATCH SERVICES, INTERLOCAL",
     "LIBRARY DISTRICT SHARE", "COURT FINES REMITTED"},
    {"LEGAL SERVICES", "CONSULTING SERVICES", "SOFTWARE LICENSE", "COMPUTER EQUIPMENT",
     "TRAINING, REGISTRATION", "PRINTING, ANNUAL REPORT", "AUDIT SERVICES",
     "PROFESSIONAL SERVICES, INVOICE 2011-0457"},
}};

// Typical amounts of a kind: from 10^low to 10^(high+1) cents.
constexpr std::array<std::array<int, 2>, kKindCount> kDecades = {{
    {3, 5}, {4, 7}, {3, 5}, {2, 4}, {5, 7}, {4, 6}}};

template <class List>
std::string_view pick(const List &list, std::uint64_t r) {
    return list[r % list.size()];
}

}  // namespace

DemoRegister::DemoRegister(std::size_t checks, std::uint64_t seed)
    : checks_(checks), state_(seed) {
    const std::size_t count = std::clamp<std::size_t>(checks / 8, 40, 2500);
    vendors_.reserve(count);
    std::uint64_t number = 1000;
    for (std::size_t i = 0; i < count; ++i) {
        Vendor v;
        number += 1 + below(9);
        v.id = digits(number, 6);
        const std::uint64_t sort = below(100);
        if (sort < 25) {
            v.kind = kPerson;
            v.name = std::string(pick(kLastNames, random())) + ", " +
                     std::string(pick(kFirstNames, random()));
            if (chance(40)) v.name += " " + std::string(1, static_cast<char>('A' + below(26))) + ".";
        } else if (sort < 33) {
            v.kind = kAgency;
            v.name = chance(50) ? "CITY OF " + std::string(pick(kPlaces, random()))
                                : std::string(pick(kPlaces, random())) + " COUNTY TREASURER";
        } else if (sort < 38) {
            v.kind = kUtility;
            v.name = std::string(pick(kPlaces, random())) +
                     (chance(50) ? " GAS & ELECTRIC" : " WATER DEPARTMENT");
        } else {
            const Trade &trade = kTrades[below(kTrades.size())];
            v.kind = trade.kind;
            v.name = std::string(pick(kCompanyFirst, random())) + " " + std::string(trade.word) +
                     std::string(pick(kCompanySuffix, random()));
        }
        const auto &range = kDecades[static_cast<std::size_t>(v.kind)];
        v.decade = range[0] + static_cast<int>(below(static_cast<std::uint64_t>(range[1] - range[0] + 1)));
        vendors_.push_back(std::move(v));
    }
}

std::uint64_t DemoRegister::random() {  // splitmix64
    std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

std::uint64_t DemoRegister::below(std::uint64_t bound) { return bound ? random() % bound : 0; }

// A few vendors are paid very often, most now and then.
const DemoRegister::Vendor &DemoRegister::pick_vendor() {
    return vendors_[below(below(vendors_.size()) + 1)];
}

bool DemoRegister::next(CheckRecord &record) {
    if (issued_ >= checks_) return false;
    const std::uint64_t span = static_cast<std::uint64_t>(kLastDay - kFirstDay + 1);
    std::int64_t day = kFirstDay + static_cast<std::int64_t>(issued_ * span / checks_);
    ++issued_;

    const bool by_hand = chance(4);  // written days before it was entered
    if (by_hand) day = std::max(kFirstDay, day - 1 - static_cast<std::int64_t>(below(20)));
    day = business_day(day);
    const int year = civil_from_days(day).year;

    std::string chkid;
    if (year >= 2011 && chance(15)) {
        chkid = "E" + digits(++eft_number_ % 100000, 5);
    } else {
        check_number_ += chance(2) ? 2 + below(3) : 1;  // spoiled stock leaves gaps
        if (check_number_ > 999999) check_number_ = 100000;
        chkid = digits(check_number_, 6);
    }

    const Vendor &vendor = pick_vendor();
    const auto kind = static_cast<std::size_t>(vendor.kind);
    std::string desc(pick(kDescriptions[kind], random()));
    if (vendor.kind == kUtility || chance(10)) {
        Civil c = civil_from_days(day);
        desc += " - " + std::string(kMonths[c.month - 1]) + " " + digits(static_cast<std::uint64_t>(c.year), 4);
    }

    std::uint64_t low = 1;
    for (int i = 0; i < vendor.decade; ++i) low *= 10;
    std::int64_t cents = static_cast<std::int64_t>(low + below(9 * low));
    if (chance(10)) cents -= cents % 100;  // whole dollars
    if (vendor.kind == kPerson && chance(20)) cents = 2500;
    if (chance(2)) {
        cents = -cents;
        desc = chance(50) ? "VOID CHECK " + digits(check_number_ - below(50), 6)
                          : "CREDIT, RETURNED GOODS";
    }

    std::string poid;
    if (!chance(35))
        poid = chance(50) ? digits(static_cast<std::uint64_t>(year % 100), 2) + digits(below(100000), 5)
                          : "PO" + digits(below(1000000), 6);

    record = blank_record();
    set_field(record.CHKID, chkid);
    set_field(record.CHKDATE, stored_date_of(day));
    set_field(record.VENDORID, vendor.id);
    set_field(record.NAME, vendor.name);
    set_field(record.POID, poid);
    set_field(record.DESC, desc);
    set_field(record.AMOUNT, stored_amount(static_cast<double>(cents) / 100.0).value_or(""));
    return true;
}

bool DemoRegister::next_line(std::string &line) {
    CheckRecord record;
    if (!next(record)) return false;
    line = csv_line_from_record(record);
    return true;
}

std::string demo_register_csv(std::size_t checks, std::uint64_t seed) {
    DemoRegister demo(checks, seed);
    std::string text, line;
    while (demo.next_line(line)) text += line;
    return text;
}

}  // namespace ledgrove
