#pragma once

#include <QDialog>

class QLineEdit;

namespace tessaly {
class Services;
}

namespace tessaly::gui {

// "Import from Tessaly Database": copies the location information of an
// earlier version's database (a file named URL_L.TPS) into the bookmark
// file. Stays open for further runs; the lists refresh when it closes.
class ImportOldDialog final : public QDialog {
    Q_OBJECT

public:
    static constexpr const char* kName = "ImportTESSLY";

    ImportOldDialog(Services& services, QWidget* parent = nullptr);

    QLineEdit* fileEntry() const { return file_; }

    void done(int result) override;

private:
    void browse();
    void importFile();

    Services& services_;
    QLineEdit* file_ = nullptr;
};

} // namespace tessaly::gui
