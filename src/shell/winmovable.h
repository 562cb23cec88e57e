// Lets the user drag a frameless window by pressing the left mouse button on
// its background (labels and empty areas; buttons and fields keep their own
// mouse handling). The owner keeps it alive as long as the window.
#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>

class QWidget;

class WinMovable : public QObject {
public:
    explicit WinMovable(QWidget* window);
    ~WinMovable() override;

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_window;
    QPoint m_pressPos;
    bool m_leftHeld = false;
};
