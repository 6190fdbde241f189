#include "ErrorReport.h"

#include <QMessageBox>

void showErrorReport(QWidget* parent, int number, const QString& description)
{
    QMessageBox box(QMessageBox::Information, QStringLiteral("Tarnwick"),
                    QStringLiteral("Error:") + QString::number(number) + QStringLiteral("\r\n") + description,
                    QMessageBox::Ok, parent);
    box.exec();
}
