#include "core/warnings.h"

#include "framework/halt.h"
#include "framework/text.h"
#include "framework/utf8.h"

namespace tessaly {

namespace {

constexpr std::size_t kErrorTextWidth = 150;
constexpr std::string_view kEnd = ".  Press OK to end this application.";

struct Shown {
    std::string title;
    std::string text;
    unsigned buttons = ButtonOk;
    Button defaultButton = ButtonOk;
    bool question = false;
    std::string_view haltText; // halts after the box when set
};

std::string clipped(std::string_view s)
{
    return std::string{text::clip(s)};
}

Shown invalidRequest(std::string_view what, std::string_view action)
{
    return {"Invalid Request",
            "This procedure was called to " + std::string{what} + " a record, however " +
                std::string{action} +
                " are not allowed for this procedure.  Press OK to return to the calling "
                "procedure"};
}

// The box of every warning; E is the error text, F and M the arguments.
Shown describe(int number, const std::string& f, const std::string& m, const std::string& e)
{
    const auto yesNo = ButtonYes | ButtonNo;
    const auto yesNoCancel = ButtonYes | ButtonNo | ButtonCancel;
    switch (number) {
    case 1:
        return {"Invalid File", "Error: (" + e + ") accessing " + f + std::string{kEnd},
                ButtonOk,       ButtonOk,
                false,          "Invalid File!"};
    case 2:
        return {"Invalid Key", f + " key file is invalid.  Do you want to rebuild the key?", yesNo,
                ButtonYes, true};
    case 3:
        return {"Key Rebuild Error",
                "Error: (" + e + ") repairing key for " + f + std::string{kEnd},
                ButtonOk,
                ButtonOk,
                false,
                "Error Rebuilding Key!"};
    case 4:
        return {"File Creation Error",
                "Error: (" + e + ") creating " + f + std::string{kEnd},
                ButtonOk,
                ButtonOk,
                false,
                "File Creation Error!"};
    case 5:
        return {"File Creation Error",
                "Error: (" + e + ") opening created file:" + f + std::string{kEnd},
                ButtonOk,
                ButtonOk,
                false,
                "File Creation Error!"};
    case 6:
        return {"Procedure not defined", "The Procedure " + f + " has not been defined."};
    case 7:
        return {"Record Read Error",
                "Unable to read keyed record.  Error: " + e + ".  Insert Aborted"};
    case 8:
        return {"Range Error", "The value of " + f + " must be lower than " + m + "."};
    case 9:
        return {"Range Error", "The value of " + f + " must be higher than " + m + "."};
    case 10:
        return {"Range Error", "The value of " + f + " must be between " + m + "."};
    case 11:
        return {"Field Contents Error",
                "The value for " + f + " must be found in the " + m + " file."};
    case 12:
        return {"Referential Integrity Update Error",
                "This record is referenced from the file " + f +
                    ".  Linking field(s) have been restricted from change and have been reset to "
                    "original values."};
    case 13:
        return {"Referential Integrity Delete Error",
                "This record is referenced from the file " + f +
                    ".  This record cannot be deleted while these references exist."};
    case 14:
        return {"Record Insert Error",
                "An error was experienced during the update of record.  Error: " + e + "."};
    case 16:
        return {"Record Update Error",
                "An error was experienced changing this record.  Do you want to try to save "
                "again?",
                yesNoCancel, ButtonCancel};
    case 17:
        return {"Delete Operation Error", "An error (" + e +
                                              ") was experienced when attempting to delete a "
                                              "record from the file " +
                                              f + "."};
    case 18:
        return {"Record Update Error",
                "An error was experienced deleting this record.  Do you want to try to save "
                "again?",
                yesNoCancel, ButtonCancel};
    case 19:
        return invalidRequest("insert", "inserts");
    case 20:
        return invalidRequest("change", "changes");
    case 21:
        return invalidRequest("delete", "deletions");
    case 22:
        return {"File Creation Not Allowed",
                "The File " + f +
                    " was not found, and creation of the file is not allowed.  Press OK to end "
                    "this application.",
                ButtonOk,
                ButtonOk,
                false,
                "File Creation Error!"};
    case 23:
        return {"Update Cancelled", "Are you sure you want to cancel?", yesNo, ButtonNo, true};
    case 24:
        return {"Duplicate Key Error",
                "Adding this record creates a duplicate entry for the key:" + f};
    case 25:
        return {"Auto Increment Error",
                "Attempts to automatically number this record have failed.  Error: " + e + ".",
                ButtonRetry | ButtonCancel, ButtonCancel};
    case 26:
        return {"File Load Error", f + " File Load Error.  Error: " + e + "."};
    case 27:
        return {"Cancel Request", "Are you certain you want to stop loading " + f + "?",
                ButtonOk | ButtonCancel, ButtonCancel, true};
    case 28:
        return {"File Load Error",
                f + " File Load Error.  The file you've requested contains no text."};
    case 30:
        return {"File Access Error", "File (" + f + ") could not be opened.  Error: " + e + "."};
    case 32:
        return {"Confirm Delete",
                "You've selected to delete the highlighted record.  Press OK to confirm "
                "deletion of this record.",
                ButtonOk | ButtonCancel, ButtonCancel, true};
    case 33:
        return {"Update Cancelled", "Do you want to save the changes to this record?", yesNoCancel,
                ButtonNo, true};
    case 34:
        return {"Transaction Framing Error", "Error: (" + e + ") attempting to frame the " +
                                                 text::lower(f) + " transaction on " + m + ".  " +
                                                 f + " transaction cancelled."};
    case 35:
        return {"Record Retrieval Error", "Error: (" + e +
                                              ") attempting to access a record from the " + f +
                                              " file.  Returning to previous window."};
    case 36:
        return {"View Open Error", "Error: (" + e +
                                       ") attempting to open the current VIEW. Filter and Range "
                                       "Limits ignored."};
    case 37:
        return {"Record Added",
                "This record has been added to the file. Do you want to add another record?", yesNo,
                ButtonYes};
    case 38:
        return {"Record Was Not Updated",
                "This record was changed by another station. Those changes will now be "
                "displayed. Use the Ditto Button or Ctrl+' to recall your changes."};
    default:
        return {"Warning", "Warning " + std::to_string(number) + " is not defined."};
    }
}

} // namespace

std::string Warnings::errorText()
{
    EngineStatus error = engineError_;
    if (savedError_) {
        error = *savedError_;
        savedError_.reset();
    }
    std::string out;
    if (error.code == kOperatingSystemError) {
        out = clipped(error.systemText) + " (" + std::to_string(error.systemCode) + ")";
    } else {
        out = clipped(error.text) + " (" + std::to_string(error.code) + ")";
    }
    return std::string{utf8::prefix(out, kErrorTextWidth)};
}

unsigned Warnings::warn(int number, std::string_view fIn, std::string_view mIn)
{
    const std::string f = clipped(fIn);
    const std::string m = clipped(mIn);
    Shown shown;
    if (number == 15) {
        const EngineStatus& error = savedError_ ? *savedError_ : engineError_;
        const bool failed = error.code != 0 && error.code != 89;
        shown = {"Update Operation Error",
                 failed ? "An error (" + errorText() +
                              ") was experienced when attempting to update a record from the "
                              "file.  Probable Cause: " +
                              f + "."
                        : std::string{"This record was changed by another station."}};
    } else if (number == 29) {
        const bool down = f == "Down";
        shown = {down ? "End of File Error" : "Beginning of File Error",
                 down ? "The end of the viewed file was encountered.  Do you want to start again "
                        "from the beginning?"
                      : "The beginning of the viewed file was encountered.  Do you want to start "
                        "again from the end of the file?",
                 ButtonYes | ButtonNo, ButtonYes, true};
    } else if (number == 31) {
        const bool put = f == "Put";
        shown = {put ? "Process PUT Error" : "Process DELETE Error",
                 (put ? "An error was experienced when making changes to the "
                      : "An error was experienced when deleting a record from the ") +
                     m + " file.  Error: " + errorText()};
    } else {
        const bool usesError = number == 1 || number == 3 || number == 4 || number == 5 ||
                               number == 7 || number == 14 || number == 17 || number == 25 ||
                               number == 26 || number == 30 || number == 34 || number == 35 ||
                               number == 36;
        shown = describe(number, f, m, usesError ? errorText() : std::string{});
    }
    MessageRequest request;
    request.title = shown.title;
    request.text = shown.text;
    request.icon = shown.question ? MessageIcon::Question : MessageIcon::Exclamation;
    request.buttons = shown.buttons;
    request.defaultButton = shown.defaultButton;
    const Button pressed = ui_.showMessage(request);
    if (!shown.haltText.empty()) {
        halt(shown.haltText);
    }
    if (number == 2 && pressed != ButtonYes) {
        halt("Invalid Key!");
    }
    return shown.buttons == ButtonOk ? 0U : static_cast<unsigned>(pressed);
}

void Warnings::halt(std::string_view haltText)
{
    MessageRequest request;
    request.title = "Tessaly 2000";
    request.text = std::string{haltText};
    request.icon = MessageIcon::Stop;
    ui_.showMessage(request);
    ui_.halt(1);
    haltProcess(1); // a port whose halt came back must not let the program run on
}

EngineStatus openFile(RecordFile& file, Warnings& warnings, bool createIfMissing, bool neverCreate,
                      int accessMode, bool shared)
{
    const int mode = shared ? kAccessReadWrite : accessMode;
    const std::string name{file.table().label};
    EngineStatus status = file.open(mode);
    if (status.code == kFileLocked) {
        file.send("Recover=10");
        status = file.open(mode);
    }
    warnings.setEngineError(status);
    switch (status.code) {
    case kNoError:
    case kAlreadyOpen:
        return {};
    case kFileNotFound:
        if (neverCreate) {
            return status;
        }
        if (!createIfMissing) {
            warnings.warn(4, name);
            return status;
        }
        status = file.create();
        if (!status.ok()) {
            warnings.setEngineError(status);
            warnings.warn(4, name);
            return status;
        }
        status = file.open(mode);
        if (!status.ok()) {
            warnings.setEngineError(status);
            warnings.warn(5, name);
        }
        return status;
    case kKeyFileInvalid:
        warnings.warn(2, name); // No ends the program
        status = file.build();
        if (!status.ok()) {
            warnings.setEngineError(status);
            warnings.warn(3, name);
            return status;
        }
        status = file.open(mode);
        warnings.setEngineError(status);
        return status;
    case kInvalidRecordDeclaration:
        warnings.warn(1, name);
        return status;
    default:
        if (warnings.warn(30, name) != 0) {
            warnings.halt("Disk Error");
        }
        return status;
    }
}

} // namespace tessaly
