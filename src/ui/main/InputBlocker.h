// Keeps a window from taking input while an operation runs, without greying it: it goes on painting, and
// the windows that the operation opens (a password prompt, a question) stay usable.
#pragma once

#include <QObject>

class QWidget;

class InputBlocker : public QObject
{
public:
    explicit InputBlocker(QWidget* window);

    // Holds may nest; input is taken again when the last is released.
    void hold();
    void release();
    bool isHeld() const { return m_holds > 0; }
    // A popup of the window that stays usable while input is held.
    void letThrough(const QWidget* popup) { m_exempt = popup; }

    // One hold for a scope.
    class Scope
    {
    public:
        explicit Scope(InputBlocker& blocker)
            : m_blocker(blocker)
        {
            m_blocker.hold();
        }
        ~Scope() { m_blocker.release(); }
        Q_DISABLE_COPY_MOVE(Scope)

    private:
        InputBlocker& m_blocker;
    };

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Whether input for widget reaches the blocked window: the window itself and the menus and lists that pop up
    // from it.
    bool isBlocked(const QWidget* widget) const;

    QWidget* m_window;
    const QWidget* m_exempt = nullptr;
    int m_holds = 0;
};
