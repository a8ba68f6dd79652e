// control_ids.h - the control ids of the windows and the menus, once for every
// user of them: the Qt dialog names its widgets after them ("id1021"), and
// the searches, the command-line front end and the tests read and write
// controls through them.  Plain constants; nothing here depends on Qt.
#ifndef LEDGROVE_APP_UI_CONTROL_IDS_H
#define LEDGROVE_APP_UI_CONTROL_IDS_H

namespace ledgrove::control {

// Command buttons.
inline constexpr int kReport = 1;  // also the Enter key
inline constexpr int kCancel = 2;  // Escape in a dialog
inline constexpr int kPrint = 1785;
inline constexpr int kExport = 1786;
inline constexpr int kCopyToClipboard = 1048;
inline constexpr int kAdvancedOptions = 1787;
inline constexpr int kDonate = 1050;

// The seven "sort" buttons.
inline constexpr int kSortCheckId = 1034;
inline constexpr int kSortDate = 1035;
inline constexpr int kSortVendorId = 1036;
inline constexpr int kSortVendorName = 1037;
inline constexpr int kSortPoNumber = 1038;
inline constexpr int kSortDescription = 1039;
inline constexpr int kSortAmount = 1040;

// Date range.
inline constexpr int kFromMonth = 1762;
inline constexpr int kFromDay = 1763;
inline constexpr int kFromYear = 1764;
inline constexpr int kToMonth = 1765;
inline constexpr int kToDay = 1766;
inline constexpr int kToYear = 1767;
inline constexpr int kFromStepBack = 1768;
inline constexpr int kFromStepForward = 1769;
inline constexpr int kFromStepDays = 1770;
inline constexpr int kToStepBack = 1771;
inline constexpr int kToStepForward = 1772;
inline constexpr int kToStepDays = 1773;
inline constexpr int kAll = 1774;
inline constexpr int kYears = 1052;

// Date range labels.
inline constexpr int kFromDateLabel = 1007;
inline constexpr int kFromMonthLabel = 1008;
inline constexpr int kFromDayLabel = 1009;
inline constexpr int kFromYearLabel = 1010;
inline constexpr int kToDateLabel = 1011;
inline constexpr int kToMonthLabel = 1012;
inline constexpr int kToDayLabel = 1013;
inline constexpr int kToYearLabel = 1014;

// Options and match texts.
inline constexpr int kSubtotals = 1041;
inline constexpr int kSubtotalByMonth = 1054;
inline constexpr int kCheckIdText = 1005;
inline constexpr int kPoNumberText = 1015;
inline constexpr int kVendorNameText = 1003;
inline constexpr int kVendorIdText = 1006;
inline constexpr int kAmountOperator = 1042;
inline constexpr int kAmountText = 1016;
inline constexpr int kDescriptionText = 1001;
inline constexpr int kMatchCase = 1044;  // the match texts compare with case counting
inline constexpr int kAmountMin = 1790;   // the amount range, both ends included
inline constexpr int kAmountMax = 1791;
inline constexpr int kAnyText = 1792;     // occurs in any of the five texts

// Date presets beside the Years list, and the summary.
inline constexpr int kDatePresets = 1793;
inline constexpr int kSummarizeBy = 1794;
inline constexpr int kFiscalStart = 1795;  // the month a fiscal year starts
inline constexpr int kResultTabs = 1796;   // the lines, or the summary
inline constexpr int kSummaryTable = 1797;
inline constexpr int kSummaryTotal = 1798;
inline constexpr int kSummaryChart = 1799;

// Result list and status.
inline constexpr int kSortCaption = 1043;
inline constexpr int kElapsed = 1031;
inline constexpr int kRecordCount = 1004;
inline constexpr int kUnused = 1017;  // an empty label, never written
inline constexpr int kResultList = 1021;
inline constexpr int kTotalAmount = 1018;

}  // namespace ledgrove::control

// The Advanced Options dialog reuses some numbers of the search window for
// its own buttons.
namespace ledgrove::control::advanced {

inline constexpr int kExportDatabase = 1051;
inline constexpr int kEmptyDatabase = 1052;
inline constexpr int kImportRecords = 1053;
inline constexpr int kReIndexDatabase = 1054;
inline constexpr int kImportantInformation = 1055;

}  // namespace ledgrove::control::advanced

// The About dialog.
namespace ledgrove::control::about {

inline constexpr int kOk = 1;  // also the Enter key
inline constexpr int kDonate = 1049;

}  // namespace ledgrove::control::about

// The printing job's cancel dialog ("Abort"): its one button.
namespace ledgrove::control::abort_job {

inline constexpr int kCancel = 1;

}  // namespace ledgrove::control::abort_job

// The main window's menus: File, View, Searches and Help.
namespace ledgrove::control::menu {

inline constexpr int kAbout = 40001;
inline constexpr int kExit = 40002;
inline constexpr int kAdvancedOptions = 40003;
inline constexpr int kImportRecords = 40004;
inline constexpr int kExportDatabase = 40005;
inline constexpr int kPrint = 40006;
inline constexpr int kLargerText = 40007;
inline constexpr int kSmallerText = 40008;
inline constexpr int kNormalText = 40009;
inline constexpr int kExportLines = 40010;    // CSV, XLSX or JSON
inline constexpr int kExportSummary = 40011;
inline constexpr int kSaveChart = 40012;      // PNG or SVG
inline constexpr int kSaveSearch = 40013;
inline constexpr int kSavedSearches = 40014;  // a submenu: one item per saved search
inline constexpr int kDeleteSearch = 40015;   // a submenu too
inline constexpr int kRecentSearches = 40016;
inline constexpr int kCopyCommand = 40017;

}  // namespace ledgrove::control::menu

#endif  // LEDGROVE_APP_UI_CONTROL_IDS_H
