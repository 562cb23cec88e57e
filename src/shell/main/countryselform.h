// The country chooser: a small modal dialog in which the user picks the
// phone's country when the phone does not report it, and the per-device file
// (".mmc") that keeps the choice.
#pragma once

#include <QDialog>
#include <QList>
#include <QPair>
#include <QString>

#include <memory>

class AndroidDeviceInfo;
class QDir;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class WinMovable;

namespace Ui {
struct CountrySelForm {
    QLabel* lbTitle = nullptr;
    QLineEdit* txtKW = nullptr;
    QListWidget* ltCountries = nullptr;
    QPushButton* btnOK = nullptr;

    void setupUi(QDialog* dialog);
    void retranslateUi(QDialog* dialog);
};
} // namespace Ui

class CountrySelForm : public QDialog {
    Q_OBJECT

public:
    explicit CountrySelForm(QWidget* parent = nullptr);
    ~CountrySelForm() override;

    // Empty until the dialog was accepted; then the chosen country's MCC.
    QString selectedMcc;

    // False when the country table could not be read (an error box was
    // shown): the dialog then has nothing to offer, and running it ends at
    // once as cancelled.
    bool hasCountries() const { return !m_countries.isEmpty(); }

    // Runs the dialog modally (through the modal-question seam); returns 1
    // when a country was confirmed.
    int run();

    Ui::CountrySelForm* form() const { return ui.get(); }

public slots:
    void accept() override;
    // A country must be picked: Escape and closing do nothing, unless there
    // is nothing to pick.
    void reject() override;
    void kwinput(const QString& keyword);

private:
    void addItem(const QPair<QString, QString>& country);

    std::unique_ptr<Ui::CountrySelForm> ui;
    std::unique_ptr<WinMovable> m_movable;
    QList<QPair<QString, QString>> m_countries; // (MCC, label), in table order
};

// The saved country of a device: "<name>.mmc" in the folder, holding only the
// MCC. The name (the device id) is made into one safe file-name component.
// Write failures are silent; a missing or unreadable file reads as empty.
void writeMccFile(const QString& mcc, const QDir& folder, const QString& name);
QString readMccFile(const QDir& folder, const QString& name);

// Settles the phone's country after a connection: the MCC the phone reported
// when the country table knows it, else the saved choice, else the user's
// choice in the chooser (saved for next time). When the user could not
// choose, the MCC stays empty. GUI thread.
void settleDeviceCountry(AndroidDeviceInfo& device, QWidget* parent);
