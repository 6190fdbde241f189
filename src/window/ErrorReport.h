#pragma once

#include <QString>

class QWidget;

// "Error:", the error's number, a line break and its description, in a
// message box with the information icon and the program's name as title.
void showErrorReport(QWidget* parent, int number, const QString& description);
