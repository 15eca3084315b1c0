#pragma once

#include "import/clipboard_capture.h"

#include <QDialog>
#include <QString>
#include <QTimer>

class QLabel;
class QMimeData;

namespace tessaly {
class Services;
}

namespace tessaly::gui {

// The text of copied data as the capture reads it: the HTML when it is
// offered (it holds the links and their text; the plain text of a copied
// link has only its words), else the plain text; nothing for data a
// password manager marks as secret.
QString capturedText(const QMimeData* data);

// "Monitor Clipboard": while open, every new text copied in any program is
// searched for addresses, and each one not stored yet becomes a bookmark.
// Watches the clipboard's change signal, and every quarter second where a
// platform sends none.
class ClipboardMonitor final : public QDialog {
    Q_OBJECT

public:
    static constexpr const char* kName = "MonitorClipboard";

    ClipboardMonitor(Services& services, QWidget* parent = nullptr);

    // Asks about text already on the clipboard when the window opens.
    void start();
    const QString& status() const;
    int added() const { return capture_.added(); }

private:
    void check();
    void captureText(const QString& text);

    Services& services_;
    ClipboardCapture capture_;
    QString last_;
    QString status_;
    QLabel* statusLabel_ = nullptr;
    QTimer timer_;
};

} // namespace tessaly::gui
