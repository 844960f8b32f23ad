#pragma once

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QString>
#include <QTimer>
#include <QVariant>

// Waits for the real modal message boxes and file dialogs that the code under
// test opens, records what they show and answers them in the queued order.
// A modal widget that arrives with no queued answer is recorded and rejected,
// so a test never hangs on an unexpected box.
class ModalAnswerer : public QObject
{
    Q_OBJECT

public:
    struct Seen
    {
        QString className; // "QMessageBox" or "QFileDialog"
        QString title;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        QPointer<QWidget> parent;
        bool answered = false; // false when no answer was queued or it did not fit
    };

    ModalAnswerer();

    // The next message box is answered by clicking `button`.
    void answerBox(QMessageBox::StandardButton button) { m_answers.enqueue(int(button)); }
    // The next file dialog selects `path` and is accepted; an empty path cancels it.
    void chooseFile(const QString &path) { m_answers.enqueue(path); }

    const QList<Seen> &seen() const { return m_seen; }
    void clear() { m_answers.clear(), m_seen.clear(); }

private:
    void poll();

    QTimer m_timer;
    QQueue<QVariant> m_answers; // a button (int) or a file (QString)
    QList<Seen> m_seen;
    QPointer<QWidget> m_current;
};
