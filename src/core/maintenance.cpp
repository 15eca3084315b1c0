#include "core/maintenance.h"

#include "core/maintenance_files.h"
#include "core/tables.h"
#include "framework/text.h"

#include <algorithm>
#include <array>

namespace tessaly {

namespace {

constexpr std::array<std::string_view, 5> kActionNames = {"Fix", "Build", "Pack", "Release",
                                                          "Info"};

} // namespace

std::string_view actionName(MaintenanceAction action)
{
    return kActionNames[static_cast<std::size_t>(action)];
}

std::optional<MaintenanceAction> actionNamed(std::string_view name)
{
    for (std::size_t i = 0; i < kActionNames.size(); ++i) {
        if (text::equalNoCase(name, kActionNames[i])) {
            return static_cast<MaintenanceAction>(i);
        }
    }
    return std::nullopt;
}

std::vector<MaintenanceEntry> maintenanceEntries()
{
    const std::string owner{kOwnerName};
    std::vector<MaintenanceEntry> entries = {
        {false, "ASCII file for import and export", "?", {}, "ASCIIfile", {}},
        {false, "ASCII file for import and export", "?", {}, "Output", {}},
        {false, "CatHTML", "?", {}, "CatHTML", {}},
        {false, "Categories", "?", {}, "Categories", {}},
        {false, "DOS File for Import", "?", {}, "DOSFile", {}},
        {false, "ImportTESSLY", "?", {}, "ImportTESSLY", {}},
        {false, "TESSLY", "?", {}, "TESSLY", owner},
        {false, "URLDetails", "?", {}, "URLDetails", owner},
        {false, "URLKeywords", "?", {}, "URLKeywords", owner},
    };
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto& a, const auto& b) { return a.description < b.description; });
    return entries;
}

void showRepairWarning(UiPort& ui)
{
    ui.showMessage(
        {"Warning", std::string{kRepairWarning}, MessageIcon::Exclamation, ButtonOk, ButtonOk});
}

Maintenance::Maintenance(UiPort& ui, std::string folder, MaintenanceNames names)
    : ui_(ui), folder_(std::move(folder)), names_(std::move(names)),
      clock_([] { return std::time(nullptr); })
{}

void Maintenance::progress(std::string_view action, int percent)
{
    shown_.action = action;
    shown_.percent = std::clamp(percent, 0, 100);
    if (observer_ != nullptr) {
        observer_->show(shown_);
    }
}

bool Maintenance::cancelled()
{
    return observer_ != nullptr && observer_->cancelRequested();
}

std::string Maintenance::fullName(const MaintenanceEntry& entry) const
{
    const std::optional<Located> file = locate(entry.label);
    return file ? file->fullName() : std::string{};
}

MaintenanceSummary Maintenance::run(MaintenanceAction action,
                                    std::vector<MaintenanceEntry>& entries, int highlighted)
{
    MaintenanceSummary summary;
    fixed_.clear();
    std::vector<MaintenanceEntry*> chosen;
    for (MaintenanceEntry& entry : entries) {
        if (entry.tagged) {
            chosen.push_back(&entry);
        }
    }
    if (chosen.empty() && highlighted >= 0 &&
        static_cast<std::size_t>(highlighted) < entries.size()) {
        chosen.push_back(&entries[static_cast<std::size_t>(highlighted)]);
    }
    if (chosen.empty()) {
        return summary;
    }
    if (observer_ != nullptr) {
        observer_->begin();
    }
    int left = static_cast<int>(chosen.size());
    for (MaintenanceEntry* entry : chosen) {
        const FileOutcome outcome = runOne(action, *entry, left, summary);
        --left;
        shown_.filesLeft = left;
        switch (outcome) {
        case FileOutcome::Done:
            ++summary.done;
            break;
        case FileOutcome::Skipped:
            ++summary.skipped;
            break;
        case FileOutcome::Failed:
            ++summary.failed;
            break;
        case FileOutcome::Cancelled:
            ++summary.cancelled;
            break;
        }
        if (observer_ != nullptr) {
            observer_->show(shown_);
            if (outcome == FileOutcome::Cancelled || observer_->cancelRequested()) {
                observer_->clearCancel();
            }
        }
    }
    if (observer_ != nullptr) {
        observer_->end();
    }
    return summary;
}

FileOutcome Maintenance::runOne(MaintenanceAction action, MaintenanceEntry& entry, int filesLeft,
                                MaintenanceSummary& summary)
{
    shown_ = {entry.label, {}, 0, filesLeft};
    progress({}, 0);
    const std::optional<Located> file = locate(entry.label);
    if (!file) {
        return FileOutcome::Skipped; // a label that names no file of ours
    }
    if (file->kind != Located::Kind::Keyed) {
        return lineAction(action, *file, entry);
    }
    switch (action) {
    case MaintenanceAction::Build:
        return build(*file, entry);
    case MaintenanceAction::Pack:
        return pack(*file, entry);
    case MaintenanceAction::Release:
        return release(*file, entry);
    case MaintenanceAction::Info:
        return info(*file, entry);
    case MaintenanceAction::Fix:
        return fix(*file, entry, summary);
    }
    return FileOutcome::Skipped;
}

} // namespace tessaly
