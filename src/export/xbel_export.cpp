// The type "XBEL": the bookmark exchange file of KDE and of the browsers'
// sync extension, one folder per category and nothing nested, with the
// header line that extension needs before it reads a file.
#include "core/record.h"
#include "core/tables.h"
#include "export/export_writer.h"
#include "framework/text.h"
#include "sync/xbel_document.h"

#include <algorithm>
#include <unordered_map>

namespace tessaly {

namespace {

class XbelWriter final : public ExportWriter {
public:
    explicit XbelWriter(const WriterSetup& setup) : main_(setup.main) {}

    void opening() override {}

    // A category's bookmarks are gathered first, so that any order gives
    // one folder per category and the header can name the highest id.
    void record(const Record& bookmark) override
    {
        const std::string category{text::clip(bookmark.text(BookmarkField::Category))};
        auto [at, added] = folderOf_.try_emplace(text::foldKey(category), folders_.size());
        if (added) {
            folders_.push_back({category, {}});
        }
        const std::string& location = bookmark.text(BookmarkField::Location);
        const std::string& description = bookmark.text(BookmarkField::Description);
        const std::string_view siteInfo = text::clip(bookmark.text(BookmarkField::SiteInfo));
        folders_[at->second].bookmarks.push_back(
            {XbelDocument::escape(location, true),
             XbelDocument::escape(description.empty() ? location : description, false),
             siteInfo.empty() ? std::string{} : XbelDocument::escape(siteInfo, false)});
        ++count_;
    }

    void closing() override
    {
        std::uint64_t id = 0;
        main_->line(XbelDocument::kDeclaration);
        main_->line(XbelDocument::doctype());
        main_->line("<xbel version=\"1.0\">");
        // Bookmarks without a category stand in no folder: no id for one.
        const auto named = std::count_if(folders_.begin(), folders_.end(),
                                         [](const Folder& folder) { return !folder.name.empty(); });
        main_->line(XbelDocument::highestIdLine(count_ + static_cast<std::uint64_t>(named)));
        // Bookmarks without a category stand at the top, the folders after.
        for (const bool inFolder : {false, true}) {
            for (const Folder& folder : folders_) {
                if (folder.name.empty() == inFolder) {
                    continue;
                }
                const std::string indent = inFolder ? "  " : "";
                if (inFolder) {
                    main_->line("<folder id=\"" + std::to_string(++id) + "\"><title>" +
                                XbelDocument::escape(folder.name, false) + "</title>");
                }
                for (const Bookmark& bookmark : folder.bookmarks) {
                    // The site information as the bookmark's note, as the
                    // bookmark file export writes it.
                    main_->line(
                        indent + "<bookmark href=\"" + bookmark.href + "\" id=\"" +
                        std::to_string(++id) + "\"><title>" + bookmark.title + "</title>" +
                        (bookmark.desc.empty() ? "" : "<desc>" + bookmark.desc + "</desc>") +
                        "</bookmark>");
                }
                if (inFolder) {
                    main_->line("</folder>");
                }
            }
        }
        main_->line("</xbel>");
    }

private:
    struct Bookmark {
        std::string href; // each escaped for the file
        std::string title;
        std::string desc;
    };
    struct Folder {
        std::string name;
        std::vector<Bookmark> bookmarks;
    };

    ExportOutput* main_;
    std::vector<Folder> folders_;
    std::unordered_map<std::string, std::size_t> folderOf_; // folded category -> folders_
    std::uint64_t count_ = 0;
};

} // namespace

std::unique_ptr<ExportWriter> makeXbelWriter(const WriterSetup& setup)
{
    return std::make_unique<XbelWriter>(setup);
}

} // namespace tessaly
