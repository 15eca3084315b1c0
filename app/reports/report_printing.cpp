#include "reports/report_printing.h"

#include "framework/dates.h"
#include "framework/file_dialogs.h"
#include "framework/picture.h"
#include "framework/ui_port.h"
#include "platform/data_folder.h"
#include "reports/pdf_canvas.h"
#include "reports/report_design_dialog.h"
#include "reports/report_progress_window.h"
#include "reports/report_run.h"

#include <QFileDialog>
#include <QHash>
#include <QHeaderView>
#include <QMessageBox>
#include <QPaintEngine>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QToolBar>

namespace tessaly::gui {

namespace {

// Draws spooled pages with QPainter, in a fixed-pitch type stretched so
// that each character is as wide as the layout measured it.
class PainterCanvas final : public PageCanvas {
public:
    explicit PainterCanvas(QPrinter& printer) : printer_(printer) {}
    ~PainterCanvas() override { end(); }
    PainterCanvas(const PainterCanvas&) = delete;
    PainterCanvas& operator=(const PainterCanvas&) = delete;

    bool failed() const { return failed_; }

    void beginPage(const PageSize& /*size*/) override
    {
        if (failed_) {
            return;
        }
        if (!painter_.isActive()) {
            failed_ = !painter_.begin(&printer_);
        } else {
            failed_ = !printer_.newPage();
        }
        scale_ = printer_.resolution() / 72.0;
    }

    void text(double x, double y, double size, bool bold, std::string_view utf8) override
    {
        if (failed_) {
            return;
        }
        painter_.setFont(font(size, bold));
        painter_.drawText(QPointF(x * scale_, y * scale_),
                          QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
    }

    void rule(double x1, double x2, double y) override
    {
        if (!failed_) {
            painter_.setPen(QPen(Qt::black, 0.5 * scale_));
            painter_.drawLine(QPointF(x1 * scale_, y * scale_), QPointF(x2 * scale_, y * scale_));
        }
    }

    void endPage() override {}

    void end()
    {
        if (painter_.isActive()) {
            painter_.end();
        }
    }

private:
    QFont font(double size, bool bold)
    {
        const QString key = QString::number(size) + (bold ? QStringLiteral("b") : QString{});
        if (const auto found = fonts_.constFind(key); found != fonts_.constEnd()) {
            return *found;
        }
        QFont f(QStringLiteral("Courier"));
        f.setStyleHint(QFont::TypeWriter);
        f.setFixedPitch(true);
        f.setPointSizeF(size);
        f.setBold(bold);
        const double advance = QFontMetricsF(f, &printer_).horizontalAdvance(QLatin1Char('M'));
        const double wanted = characterWidth(size) * scale_;
        if (advance > 0) {
            f.setStretch(qBound(50, qRound(100 * wanted / advance), 200));
        }
        fonts_.insert(key, f);
        return f;
    }

    QPrinter& printer_;
    QPainter painter_;
    QHash<QString, QFont> fonts_;
    double scale_ = 1;
    bool failed_ = false;
};

// Why the printer may not write the file it is set to print to ("Print to
// file"): the check every file the user names passes. Empty when it may,
// or when it prints on paper.
std::string printFileRefusal(const QPrinter& printer)
{
    const QString file = printer.outputFileName();
    if (file.isEmpty()) {
        return {};
    }
    const SystemResult target = userFileTarget(file.toStdString());
    return target.ok()
               ? std::string{}
               : "The report cannot be printed to " + file.toStdString() + ": " + target.text + ".";
}

// Writes the pages as the command line does, to a file the user names.
void savePdf(ReportSpool& pages, const ReportDefinition& report, QWidget* parent)
{
    const QString title = QString::fromStdString(report.title);
    QFileDialog dialog(parent, QObject::tr("Save as PDF"), dialogFolder(QStringLiteral("pdf")),
                       QObject::tr("PDF files (*.pdf);;All files (*)"));
    dialog.selectFile(title + QStringLiteral(".pdf"));
    const QString file = chosenSaveFile(dialog);
    if (file.isEmpty()) {
        return;
    }
    rememberDialogFolder(QStringLiteral("pdf"), file);
    PdfCanvas pdf{file.toStdString()};
    pdf.setPrivate(printsPasswords(report));
    static_cast<void>(pdf.open());
    if (const std::string problem = writePages(pages, pdf, report.title); !problem.empty()) {
        QMessageBox::warning(
            parent, title,
            QObject::tr("%1 could not be written: %2").arg(file, QString::fromStdString(problem)));
    }
}

void preview(ReportSpool& pages, const ReportDefinition& report, QPrinter& printer, QWidget* parent)
{
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setObjectName(QStringLiteral("ReportPreview"));
    QString title = QString::fromStdString(report.title);
    if (printsPasswords(report)) {
        title += QObject::tr(" - passwords will be printed");
    }
    dialog.setWindowTitle(title);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&pages, &dialog](QPrinter* target) {
                         // The preview draws on a picture; only a print
                         // writes the printer's file.
                         const bool printing =
                             target->paintEngine() == nullptr ||
                             target->paintEngine()->type() != QPaintEngine::Picture;
                         if (const std::string refused = printFileRefusal(*target);
                             printing && !refused.empty()) {
                             QMessageBox::warning(&dialog, dialog.windowTitle(),
                                                  QString::fromStdString(refused));
                             return;
                         }
                         PainterCanvas canvas{*target};
                         pages.replay(canvas);
                     });
    if (auto* bar = dialog.findChild<QToolBar*>()) {
        bar->addSeparator();
        QAction* save = bar->addAction(QObject::tr("Save as PDF"));
        save->setObjectName(QStringLiteral("SaveAsPdf"));
        QObject::connect(save, &QAction::triggered, &dialog,
                         [&pages, &report, &dialog] { savePdf(pages, report, &dialog); });
    }
    dialog.exec();
}

QPrinter* sharedPrinter = nullptr;

} // namespace

void setReportPrinter(QPrinter* printer)
{
    sharedPrinter = printer;
}

QPrinter& reportPrinter()
{
    static QPrinter fallback;
    return sharedPrinter != nullptr ? *sharedPrinter : fallback;
}

void printReport(Database& database, UiPort& ui, const ReportDefinition& report, QPrinter& printer,
                 QWidget* parent, std::optional<std::string> query,
                 std::optional<std::vector<std::int64_t>> positions)
{
    // The layout measures from the paper's corner, with margins of its own.
    printer.setFullPage(true);
    printer.setPageOrientation(report.landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    const QSizeF paper = printer.pageLayout().pageSize().size(QPageSize::Point);
    ReportRequest request;
    request.report = &report;
    request.query = std::move(query);
    request.positions = std::move(positions);
    request.layout.page = {paper.width(), paper.height()};
    request.layout.date = format(dates::today(), "@d4");
    ReportProgressWindow progress{parent};
    request.progress = &progress;
    ReportRun run = runReport(database, ui, request);
    if (!run.output) {
        return;
    }
    if (run.preview) {
        preview(*run.pages, report, printer, parent);
        return;
    }
    if (const std::string refused = printFileRefusal(printer); !refused.empty()) {
        ui.showMessage({report.title, refused, MessageIcon::Exclamation, ButtonOk, ButtonOk});
        return;
    }
    PainterCanvas canvas{printer};
    const bool replayed = run.pages->replay(canvas);
    canvas.end();
    if (!replayed) {
        ui.showMessage({report.title, run.pages->error(), MessageIcon::Stop, ButtonOk, ButtonOk});
    } else if (canvas.failed()) {
        ui.showMessage({run.strings.noPrinterTitle,
                        "The report could not be sent to the printer \"" +
                            printer.printerName().toStdString() +
                            "\". Choose a printer with Print Setup.",
                        MessageIcon::Exclamation, ButtonOk, ButtonOk});
    }
}

void printCategoryList(Database& database, UiPort& ui, const QHeaderView& header, QWidget* parent)
{
    const ReportDefinition* categories = findFixedReport("Categories");
    if (categories == nullptr) {
        return;
    }
    ReportDefinition report = *categories;
    // The list's columns are the report's, in the same order: name, then
    // description (the explorer's list shows the name only).
    std::vector<ReportColumn> shown;
    for (int visual = 0; visual < header.count(); ++visual) {
        const int logical = header.logicalIndex(visual);
        if (!header.isSectionHidden(logical) &&
            static_cast<std::size_t>(logical) < report.columns.size()) {
            shown.push_back(report.columns[static_cast<std::size_t>(logical)]);
        }
    }
    if (shown.empty()) {
        return;
    }
    report.columns = std::move(shown);
    printReport(database, ui, report, reportPrinter(), parent, std::string{});
}

void printDesignedReport(Database& database, UiPort& ui, QPrinter& printer, QWidget* parent)
{
    ReportDesignDialog dialog{parent};
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    if (const std::optional<ReportDefinition> report = dialog.report()) {
        printReport(database, ui, *report, printer, parent);
    }
}

} // namespace tessaly::gui
