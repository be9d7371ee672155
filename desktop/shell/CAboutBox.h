// The about box: the program's picture, its name and version, and the
// maker's details.
//
// Threads: window thread only.
#pragma once

#include <QDialog>

namespace shell {

// The maker's support address, which "Contact us..." writes to.
inline const QString kSupportAddress = QStringLiteral("support@brackenloft.example");

// "Version %1" with the program's version.
QString ProgramVersionText();

class CAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit CAboutBox(QWidget* parent = nullptr);
};

} // namespace shell
