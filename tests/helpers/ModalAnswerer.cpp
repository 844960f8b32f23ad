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

void ModalAnswerer::poll()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (modal == nullptr || modal == m_current || !modal->isVisible())
        return;
    m_current = modal;
    auto *box = qobject_cast<QMessageBox *>(modal);
    auto *dialog = qobject_cast<QFileDialog *>(modal);
    Seen seen;
    seen.className = QString::fromLatin1(modal->metaObject()->className());
    seen.title = modal->windowTitle();
    seen.parent = modal->parentWidget();
    if (box != nullptr)
        seen.text = box->text(), seen.icon = box->icon(), seen.buttons = box->standardButtons();
    const QVariant answer = m_answers.isEmpty() ? QVariant() : m_answers.dequeue();
    const bool isButton = answer.type() == QVariant::Int,
               isFile = answer.type() == QVariant::String;
    QAbstractButton *button = box != nullptr && isButton
                                  ? box->button(QMessageBox::StandardButton(answer.toInt()))
                                  : nullptr;
    seen.answered = button != nullptr || (dialog != nullptr && isFile);
    m_seen.append(seen);
    if (button != nullptr) {
        button->click();
    } else if (seen.answered && !answer.toString().isEmpty()) {
        dialog->selectFile(answer.toString());
        static_cast<QDialog *>(dialog)->accept();
    } else if (auto *d = qobject_cast<QDialog *>(modal)) {
        d->reject();
    } else {
        modal->close();
    }
}
