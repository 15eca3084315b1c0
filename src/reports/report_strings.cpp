#include "reports/report_strings.h"

#include "framework/ini_file.h"

#include <utility>

namespace tessaly {

namespace {

std::string lines(std::string text)
{
    for (char& c : text) {
        if (c == '|') {
            c = '\n';
        }
    }
    return text;
}

} // namespace

ReportStrings loadReportStrings(std::string_view iniName, std::string_view userText)
{
    ReportStrings s;
    s.progressUserText = std::string{userText};
    IniFile ini;
    // An unreadable file leaves every text at its default: the report
    // still runs, in its own words.
    static_cast<void>(ini.load(iniName.empty() ? std::string{"WIN.INI"} : std::string{iniName}));
    const std::pair<std::string_view, std::string*> keys[] = {
        {"ProgWinTitlePrvw", &s.progressTitlePreview},
        {"ProgWinTitlePrnt", &s.progressTitlePrint},
        {"ProgWinPctText", &s.progressPercentText},
        {"ProgWinRecText", &s.progressRecordsText},
        {"ProgWinUsrText", &s.progressUserText},
        {"PrinterDlgTitle", &s.printerDialogTitle},
        {"AskPrvwDialogTitle", &s.askPreviewTitle},
        {"AskPrvwDialogText", &s.askPreviewText},
        {"CancelAreYouSureTitle", &s.cancelSureTitle},
        {"CancelAreYouSureText", &s.cancelSureText},
        {"CancelPrvwPartialTitle", &s.cancelPartialTitle},
        {"CancelPrvwPartialText", &s.cancelPartialText},
        {"NoDfltPrtrTitle", &s.noPrinterTitle},
        {"NothingToPrvwTitle", &s.nothingToPreviewTitle},
        {"NothingToPrvwText", &s.nothingToPreviewText},
        {"NothingToPrntTitle", &s.nothingToPrintTitle},
        {"NothingToPrntText", &s.nothingToPrintText},
        {"AsciiOutTitle", &s.asciiOutTitle},
        {"AsciiOutMasks", &s.asciiOutMasks},
        {"DynLblErrTitle", &s.labelErrorTitle},
        {"DynLblErrText1", &s.labelErrorText1},
        {"DynLblErrText2", &s.labelErrorText2},
    };
    for (const auto& [key, target] : keys) {
        if (auto value = ini.value(kReportStringsSection, key)) {
            *target = std::move(*value);
        }
        *target = lines(std::move(*target));
    }
    return s;
}

} // namespace tessaly
