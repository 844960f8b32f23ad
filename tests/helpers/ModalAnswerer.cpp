#include "ModalAnswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>

ModalAnswerer::ModalAnswerer()
{
    m_timer.setInterval(5);
    connect(&m_timer, &QTimer::timeout, this, &ModalAnswerer::poll);
    m_timer.start();
}

void ModalAnswerer::answerBox(QMessageBox::StandardButton button)
{
    Answer a;
    a.button = button;
    m_answers.enqueue(a);
}

void ModalAnswerer::chooseFile(const QString &path)
{
    Answer a;
    a.isFile = true;
    a.path = path;
    m_answers.enqueue(a);
}

void ModalAnswerer::clear()
{
    m_answers.clear();
    m_seen.clear();
}

void ModalAnswerer::poll()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (modal == nullptr || modal == m_current || !modal->isVisible())
        return;
    m_current = modal;

    Seen seen;
    seen.className = QString::fromLatin1(modal->metaObject()->className());
    seen.parent = modal->parentWidget();
    seen.hadParent = modal->parentWidget() != nullptr;
    seen.title = modal->windowTitle();
    auto *box = qobject_cast<QMessageBox *>(modal);
    auto *dialog = qobject_cast<QFileDialog *>(modal);
    if (box != nullptr) {
        seen.text = box->text();
        seen.icon = box->icon();
        seen.buttons = box->standardButtons();
    }

    const bool haveAnswer = !m_answers.isEmpty();
    const Answer answer = haveAnswer ? m_answers.dequeue() : Answer();
    if (box != nullptr && haveAnswer && !answer.isFile && box->button(answer.button) != nullptr) {
        seen.answered = true;
        m_seen.append(seen);
        box->button(answer.button)->click();
        return;
    }
    if (dialog != nullptr && haveAnswer && answer.isFile) {
        seen.answered = true;
        m_seen.append(seen);
        if (answer.path.isEmpty()) {
            dialog->reject();
        } else {
            dialog->selectFile(answer.path);
            static_cast<QDialog *>(dialog)->accept();
        }
        return;
    }
    m_seen.append(seen);
    if (auto *d = qobject_cast<QDialog *>(modal))
        d->reject();
    else
        modal->close();
}
