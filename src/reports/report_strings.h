#pragma once

#include <string>
#include <string_view>

namespace tessaly {

// The texts of the reports' progress window and questions, as the user may
// word them in the INI file (section "DISPLAY STRINGS 2.0"). A "|" in a
// text starts a new line; the texts here have it turned into "\n" already.
struct ReportStrings {
    std::string progressTitlePreview = "Generating Report";             // ProgWinTitlePrvw
    std::string progressTitlePrint = "Printing Report";                 // ProgWinTitlePrnt
    std::string progressPercentText = "% Completed";                    // ProgWinPctText
    std::string progressRecordsText = "Records Read";                   // ProgWinRecText
    std::string progressUserText;                                       // ProgWinUsrText
    std::string printerDialogTitle = "Report Destination";              // PrinterDlgTitle
    std::string askPreviewTitle = "Preview";                            // AskPrvwDialogTitle
    std::string askPreviewText = "Do you wish to PREVIEW this Report?"; // AskPrvwDialogText
    std::string cancelSureTitle = "Question";                           // CancelAreYouSureTitle
    std::string cancelSureText = "Are you sure you want to CANCEL this Report?";
    std::string cancelPartialTitle = "Question"; // CancelPrvwPartialTitle
    std::string cancelPartialText =
        "Report Cancellation Requested!\n\nPreview Report generated so far?";
    std::string noPrinterTitle = "WARNING!";       // NoDfltPrtrTitle
    std::string nothingToPreviewTitle = "NOTE..."; // NothingToPrvwTitle
    std::string nothingToPreviewText = "Nothing to Preview.";
    std::string nothingToPrintTitle = "NOTE..."; // NothingToPrntTitle
    std::string nothingToPrintText = "Nothing to Print.";
    std::string asciiOutTitle = "Save to what Filename?";             // AsciiOutTitle
    std::string asciiOutMasks = "Text\n*.TXT\nAll Files\n*.*";        // AsciiOutMasks
    std::string labelErrorTitle = "Problem!";                         // DynLblErrTitle
    std::string labelErrorText1 = "Sorry!\n\n";                       // DynLblErrText1
    std::string labelErrorText2 = "\n\nDoes not support paper type:"; // DynLblErrText2
};

// The report file of the data folder that holds the display strings.
inline constexpr std::string_view kReportIniName = "CPCSRPTS.INI";
inline constexpr std::string_view kReportStringsSection = "DISPLAY STRINGS 2.0";

// Reads the display strings from `iniName` ("WIN.INI" when it is empty),
// each key missing from the file keeping its default; `userText` is the
// report's own progress text, the default of ProgWinUsrText.
ReportStrings loadReportStrings(std::string_view iniName, std::string_view userText = {});

} // namespace tessaly
