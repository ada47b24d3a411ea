#include <QApplication>
#include <QFile>

#include "tagwright_program.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    return tagwright::runTagwright(
        QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString());
}
