// The about dialog: product picture, name, version, rights notice and the
// maker's home page.
#pragma once

#include <QDialog>

#include <memory>

class QGraphicsScene;
class QLabel;
class WinMovable;

class AboutUsForm : public QDialog {
    Q_OBJECT

public:
    explicit AboutUsForm(QWidget* parent = nullptr);
    ~AboutUsForm() override;

    // The maker's home page and the rights notice for a year.
    static QString homePage();
    static QString rightsNotice(int year);

private:
    std::unique_ptr<WinMovable> m_movable;
    QGraphicsScene* m_scene = nullptr;
    QLabel* lbProduct = nullptr;
    QLabel* lbCopyRight = nullptr;
};
