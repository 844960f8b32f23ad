#pragma once

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QString>
#include <QTimer>

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
        bool hadParent = false;
        bool answered = false; // false when no answer was queued or it did not fit
    };

    ModalAnswerer();

    // The next message box is answered by clicking `button`.
    void answerBox(QMessageBox::StandardButton button);
    // The next file dialog selects `path` and is accepted; an empty path cancels it.
    void chooseFile(const QString &path);

    const QList<Seen> &seen() const { return m_seen; }
    int unanswered() const { return m_answers.size(); }
    void clear();

private:
    struct Answer
    {
        bool isFile = false;
        QMessageBox::StandardButton button = QMessageBox::NoButton;
        QString path;
    };

    void poll();

    QTimer m_timer;
    QQueue<Answer> m_answers;
    QList<Seen> m_seen;
    QPointer<QWidget> m_current;
};
